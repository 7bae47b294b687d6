// Encoding, content keys and hashes of records for the shared database.
#include "store/recordcodec.h"

#include <cstring>

#include "model/namedlist.h"
#include "store/archive.h"
#include "store/storeformat.h"

namespace recordcodec {
namespace {

constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;

uint64_t mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

template <class T> void append(std::string& s, T v)
{
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    s.append(b, sizeof v);
}

} // namespace

uint64_t Hash64(std::string_view bytes, uint64_t seed)
{
    uint64_t h = mix(seed ^ (bytes.size() * kMul));
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        h = (h ^ mix(w)) * kMul + 0x632BE59BD9B4E019ull;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    return mix(h ^ tail ^ (bytes.size() - i));
}

std::string EncodeRecord(const CMeasRecord& record)
{
    std::string out;
    out.reserve(record.Points.size() * 20 + 256);
    mxrstore::ArchiveWriter w(out);
    mxrstore::WriteRecord(w, record);
    w.Flush();
    return out;
}

CMeasRecord DecodeRecord(std::string_view bytes)
{
    mxrstore::ArchiveReader r(bytes);
    CMeasRecord record;
    mxrstore::ReadRecord(r, record);
    return record;
}

std::string ContentKey(const CMeasRecord& record)
{
    std::string points;
    points.reserve(record.Points.size() * 20 + 8);
    {
        mxrstore::ArchiveWriter w(points);
        w.WriteCount(record.Points.size());
        w.WritePoints(record.Points);
        w.Flush();
    }
    std::string key;
    append(key, record.StartTime.status);
    append(key, record.StartTime.date);
    append(key, record.TestVoltage);
    append(key, record.DataNo);
    append(key, Hash64(points, 1));
    return key;
}

std::string NameKey(std::string_view name)
{
    // Names that the customer tree holds as one compare equal here too.
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(FoldNameByte(static_cast<unsigned char>(c)));
    return key;
}

std::string RecordPathKey(std::string_view customer, std::string_view cable, std::string_view set,
                          std::string_view contentKey)
{
    std::string key;
    for (std::string_view name : {customer, cable, set}) {
        append(key, static_cast<uint32_t>(name.size()));
        key += NameKey(name);
    }
    key += contentKey;
    return key;
}

} // namespace recordcodec
