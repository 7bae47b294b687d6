// The archive stream primitives of the data store.
#include "store/archive.h"

#include "model/safefile.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace mxrstore {

ArchiveReader::ArchiveReader(std::string_view bytes)
    : m_p(reinterpret_cast<const unsigned char*>(bytes.data())), m_end(m_p + bytes.size())
{
}

ArchiveReader::ArchiveReader(int fd, uint64_t size, std::size_t bufferSize)
    : m_buf(static_cast<std::size_t>(
          std::min<uint64_t>(bufferSize, std::max<uint64_t>(size, 64)))),
      m_fd(fd), m_unread(size)
{
    m_p = m_end = m_buf.data();
}

void ArchiveReader::refill(std::size_t need)
{
    std::size_t have = static_cast<std::size_t>(m_end - m_p);
    if (m_fd < 0 || have + m_unread < need)
        throw ArchiveFailure(ArchiveFailure::Kind::EndOfFile);
    std::memmove(m_buf.data(), m_p, have);
    while (have < need) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<uint64_t>(m_buf.size() - have, m_unread));
        const ssize_t r = ::read(m_fd, m_buf.data() + have, want);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw FileFailure(errno, false);
        }
        if (r == 0) // the file shrank since it was opened
            throw ArchiveFailure(ArchiveFailure::Kind::EndOfFile);
        have += static_cast<std::size_t>(r);
        m_unread -= static_cast<uint64_t>(r);
    }
    m_p = m_buf.data();
    m_end = m_p + have;
}

void ArchiveReader::ReadBytes(char* dst, std::size_t n)
{
    if (n > Remaining())
        throw ArchiveFailure(ArchiveFailure::Kind::EndOfFile);
    const std::size_t inBuffer = std::min(n, static_cast<std::size_t>(m_end - m_p));
    std::memcpy(dst, m_p, inBuffer);
    m_p += inBuffer;
    dst += inBuffer;
    n -= inBuffer;
    if (n == 0)
        return;
    if (n < m_buf.size() / 2) { // small rest: through the buffer
        refill(n);
        std::memcpy(dst, m_p, n);
        m_p += n;
        return;
    }
    while (n > 0) { // large rest: straight into the destination
        const ssize_t r = ::read(m_fd, dst, n);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw FileFailure(errno, false);
        }
        if (r == 0)
            throw ArchiveFailure(ArchiveFailure::Kind::EndOfFile);
        dst += r;
        n -= static_cast<std::size_t>(r);
        m_unread -= static_cast<uint64_t>(r);
    }
}

uint32_t ArchiveReader::ReadCount(uint64_t minElementBytes)
{
    uint32_t n = ReadU16();
    if (n == 0xFFFF)
        n = ReadU32();
    if (minElementBytes > 0 && n > Remaining() / minElementBytes)
        throw ArchiveFailure(ArchiveFailure::Kind::BadCount);
    return n;
}

// The length prefix: one byte below 0xFF, else uint16 below 0xFFFE, else (0xFFFF) uint32
// below 0xFFFFFFFF, else uint64. The uint16 0xFFFE marks the 16-bit form, whose own length
// prefix follows; a second marker there is not a valid stream.
uint64_t ArchiveReader::readLength(bool& wide, bool allowWide)
{
    const uint8_t b = ReadU8();
    if (b < 0xFF)
        return b;
    const uint16_t w = ReadU16();
    if (w == 0xFFFE) {
        if (!allowWide)
            throw ArchiveFailure(ArchiveFailure::Kind::BadLength);
        wide = true;
        return readLength(wide, false);
    }
    if (w < 0xFFFF)
        return w;
    const uint32_t d = ReadU32();
    if (d < 0xFFFFFFFFu)
        return d;
    return ReadU64();
}

std::string ArchiveReader::ReadText()
{
    bool wide = false;
    const uint64_t n = readLength(wide, true);
    if (n > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
        throw ArchiveFailure(ArchiveFailure::Kind::BadLength);
    const uint64_t bytes = wide ? 2 * n : n;
    if (bytes > Remaining())
        throw ArchiveFailure(ArchiveFailure::Kind::EndOfFile);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    ReadBytes(text.data(), text.size());
    if (wide)
        return Utf16ToCp932(reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<std::size_t>(n));
    return text;
}

void ArchiveReader::ReadValue(CDataValue& value)
{
    const int32_t tag = ReadI32();
    if (CDataValue::isTextTag(tag))
        value.setText(tag, ReadText());
    else
        value.setRaw(tag, ReadU64());
}

namespace {

constexpr std::size_t kPointBytes = 8 + 4 + 8; // elapsed, tag, payload

} // namespace

void ArchiveReader::ReadPoints(std::vector<CMeasPoint>& points, uint32_t count)
{
    // The caller checked the count against the bytes left, so the array can be sized for all
    // points at once. A failure part way leaves the points read so far.
    points.reserve(points.size() + count);
    std::size_t left = count;
    while (left > 0) {
        // Whole numeric points go straight from the buffer into the reserved array; a text
        // value (its length varies) or a point split across the buffer's end is read on its own.
        const std::size_t whole =
            std::min(left, static_cast<std::size_t>(m_end - m_p) / kPointBytes);
        const unsigned char* in = m_p;
        const unsigned char* const end = in + whole * kPointBytes;
        for (; in != end; in += kPointBytes) {
            double elapsed;
            int32_t tag;
            uint64_t payload;
            std::memcpy(&tag, in + 8, 4);
            if (CDataValue::isTextTag(tag)) [[unlikely]]
                break;
            std::memcpy(&elapsed, in, 8);
            std::memcpy(&payload, in + 12, 8);
            points.push_back(CMeasPoint{CDataValue::Raw(tag, payload), elapsed});
        }
        left -= static_cast<std::size_t>(in - m_p) / kPointBytes;
        m_p = in;
        if (left == 0)
            break;
        CMeasPoint& p = points.emplace_back();
        p.elapsed = ReadF64();
        ReadValue(p.value);
        --left;
    }
}

ArchiveWriter::ArchiveWriter(int fd, std::size_t bufferSize) : m_buf(bufferSize), m_fd(fd) {}

ArchiveWriter::ArchiveWriter(std::string& out, std::size_t bufferSize)
    : m_buf(bufferSize), m_out(&out)
{
}

void ArchiveWriter::Flush()
{
    if (m_out) {
        m_out->append(reinterpret_cast<const char*>(m_buf.data()), m_used);
        m_used = 0;
        return;
    }
    if (!safefile::WriteAll(m_fd,
                            std::string_view(reinterpret_cast<const char*>(m_buf.data()), m_used)))
        throw FileFailure(errno, true);
    m_used = 0;
}

void ArchiveWriter::WriteBytes(const void* data, std::size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        if (m_used == m_buf.size())
            Flush();
        const std::size_t chunk = std::min(n, m_buf.size() - m_used);
        std::memcpy(m_buf.data() + m_used, p, chunk);
        m_used += chunk;
        p += chunk;
        n -= chunk;
    }
}

void ArchiveWriter::WriteCount(uint64_t n)
{
    if (n < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(n));
    } else {
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(n));
    }
}

void ArchiveWriter::WriteText(std::string_view text)
{
    const uint64_t n = text.size();
    if (n < 0xFF) {
        WriteU8(static_cast<uint8_t>(n));
    } else {
        WriteU8(0xFF);
        if (n < 0xFFFE) {
            WriteU16(static_cast<uint16_t>(n));
        } else {
            WriteU16(0xFFFF);
            if (n < 0xFFFFFFFFu) {
                WriteU32(static_cast<uint32_t>(n));
            } else {
                WriteU32(0xFFFFFFFFu);
                WriteU64(n);
            }
        }
    }
    WriteBytes(text.data(), text.size());
}

void ArchiveWriter::WriteValue(const CDataValue& value)
{
    WriteI32(value.tag());
    if (value.isText())
        WriteText(value.text());
    else
        WriteU64(value.payload());
}

void ArchiveWriter::WritePoints(const std::vector<CMeasPoint>& points)
{
    constexpr std::size_t kPointBytes = 8 + 4 + 8;
    for (const CMeasPoint& p : points) {
        if (p.value.isText()) {
            WriteF64(p.elapsed);
            WriteValue(p.value);
            continue;
        }
        if (m_buf.size() - m_used < kPointBytes)
            Flush();
        unsigned char* out = m_buf.data() + m_used;
        const int32_t tag = p.value.tag();
        const uint64_t payload = p.value.payload();
        std::memcpy(out, &p.elapsed, 8);
        std::memcpy(out + 8, &tag, 4);
        std::memcpy(out + 12, &payload, 8);
        m_used += kPointBytes;
    }
}

std::string Utf16ToCp932(const unsigned char* in, std::size_t units)
{
    std::string out;
    if (units == 0)
        return out;
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) // no converter: keep what ASCII there is
    {
        for (std::size_t i = 0; i < units; ++i) {
            const unsigned u = in[2 * i] | (in[2 * i + 1] << 8);
            out.push_back(u < 0x80 ? static_cast<char>(u) : '?');
        }
        return out;
    }
    out.reserve(units * 2);
    char* inPtr = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
    std::size_t inLeft = units * 2;
    char buf[4096];
    while (inLeft > 0) {
        char* outPtr = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<std::size_t>(outPtr - buf));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // No CP932 form, or a broken surrogate: one '?' for the offending character
            // (a surrogate pair is one character).
            out.push_back('?');
            const auto* u = reinterpret_cast<const unsigned char*>(inPtr);
            const bool pair = inLeft >= 4 && (u[1] & 0xFC) == 0xD8 && (u[3] & 0xFC) == 0xDC;
            const std::size_t skip = std::min<std::size_t>(pair ? 4 : 2, inLeft);
            inPtr += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace mxrstore
