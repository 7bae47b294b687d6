// Reading and writing the customer tree in the data store's stream layout.
#include "store/storeformat.h"

#include <utility>

namespace mxrstore {
namespace {

// Smallest number of bytes each element can take in the stream, used to reject counts that
// the rest of the file cannot hold before anything is allocated for them.
constexpr uint64_t kMinText = 1;
constexpr uint64_t kMinValue = 4 + kMinText; // a text tag with an empty text
constexpr uint64_t kMinPoint = 8 + kMinValue;
constexpr uint64_t kMinTrigger = 16 + kMinValue;
constexpr uint64_t kMinCondition = 4 + 6 * 8 + kMinText + 8 * 8 + 2 * kMinText;
constexpr uint64_t kMinCount = 2;

uint64_t minRecordBytes(int32_t version)
{
    return 4 + (version >= kVersion ? 8 : 0) + 12 + 2 * kMinCount + 12 + 6 * 8 + kMinCondition;
}

uint64_t minSetBytes(int32_t version)
{
    return kMinText + (version >= kVersion ? 8 : 0) + kMinCount;
}

constexpr uint64_t kMinCable = kMinText + kMinCount;
constexpr uint64_t kMinCustomer = kMinText + kMinCount;

void readCondition(ArchiveReader& in, CTestCondition& c)
{
    c.CabKind = in.ReadI32();
    c.CurrentR = in.ReadF64();
    c.CurrentS = in.ReadF64();
    c.CurrentT = in.ReadF64();
    c.ShisuZetuen = in.ReadF64();
    c.CabSectionalArea = in.ReadF64();
    c.CabLength = in.ReadF64();
    c.Weather = in.ReadText();
    c.Temperature = in.ReadF64();
    c.Humidity = in.ReadF64();
    c.SeikyokuMin = in.ReadF64();
    c.SeikyokuMax = in.ReadF64();
    c.JyakutenMin = in.ReadF64();
    c.JyakutenMax = in.ReadF64();
    c.LastCurrentMin = in.ReadF64();
    c.LastCurrentMax = in.ReadF64();
    c.Remarks = in.ReadText();
    c.Shindan = in.ReadText();
}

void readRecord(ArchiveReader& in, int32_t version, CMeasRecord& r)
{
    r.UsedPoints = in.ReadI32();
    if (version >= kVersion) {
        r.ShowSeikyoku = in.ReadI32();
        r.ShowJyakuten = in.ReadI32();
    }
    r.StartTime.status = in.ReadI32();
    r.StartTime.date = in.ReadF64();

    const uint32_t pointCount = in.ReadCount(kMinPoint);
    r.Points.reserve(pointCount);
    in.ReadPoints(r.Points, pointCount);
    const uint32_t triggerCount = in.ReadCount(kMinTrigger);
    r.Triggers.reserve(triggerCount);
    for (uint32_t i = 0; i < triggerCount; ++i) {
        CTriggerEvent& e = r.Triggers.emplace_back();
        e.start = in.ReadF64();
        e.stop = in.ReadF64();
        in.ReadValue(e.maximum);
    }
    r.DataNo = in.ReadI32();
    r.StatusFlag = in.ReadI32();
    r.RangeFlag = in.ReadI32();
    r.TestVoltage = in.ReadF64();
    r.LastCurrent = in.ReadF64();
    r.TriggerLevel = in.ReadF64();
    r.SeikyokuRatio = in.ReadF64();
    r.JyakutenRatio = in.ReadF64();
    r.Reserved = in.ReadF64();
    readCondition(in, r.Condition);
}

void readSet(ArchiveReader& in, int32_t version, CMeasData& set)
{
    set.name = in.ReadText();
    if (version >= kVersion) {
        set.ShowSeikyoku = in.ReadI32();
        set.ShowJyakuten = in.ReadI32();
    }
    const uint32_t count = in.ReadCount(minRecordBytes(version));
    auto& records = set.Records();
    records.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        readRecord(in, version, records.emplace_back());
    // All records of one set share the condition block of the first.
    for (std::size_t i = 1; i < records.size(); ++i)
        records[i].Condition = records[0].Condition;
}

// The entries of one list as read; they go into the list together (see AssignFrom), so that
// an entry whose name equals one read before (ASCII case aside) replaces it, name included.
template <class T, class ReadOne>
void readList(ArchiveReader& in, uint64_t minBytes, CNamedList<T>& list, ReadOne readOne)
{
    const uint32_t count = in.ReadCount(minBytes);
    std::vector<T> entries(count);
    for (T& e : entries)
        readOne(e);
    list.AssignFrom(std::move(entries));
}

void readCable(ArchiveReader& in, int32_t version, CCable& cable)
{
    cable.name = in.ReadText();
    readList(in, minSetBytes(version), cable.sets,
             [&](CMeasData& set) { readSet(in, version, set); });
}

void readCustomer(ArchiveReader& in, int32_t version, CCustomer& customer)
{
    customer.name = in.ReadText();
    readList(in, kMinCable, customer.cables, [&](CCable& cable) { readCable(in, version, cable); });
}

void writeRecord(ArchiveWriter& out, const CMeasRecord& r)
{
    out.WriteI32(r.UsedPoints);
    out.WriteI32(r.ShowSeikyoku);
    out.WriteI32(r.ShowJyakuten);
    out.WriteI32(r.StartTime.status);
    out.WriteF64(r.StartTime.date);
    out.WriteCount(r.Points.size());
    out.WritePoints(r.Points);
    out.WriteCount(r.Triggers.size());
    for (const CTriggerEvent& e : r.Triggers) {
        out.WriteF64(e.start);
        out.WriteF64(e.stop);
        out.WriteValue(e.maximum);
    }
    out.WriteI32(r.DataNo);
    out.WriteI32(r.StatusFlag);
    out.WriteI32(r.RangeFlag);
    out.WriteF64(r.TestVoltage);
    out.WriteF64(r.LastCurrent);
    out.WriteF64(r.TriggerLevel);
    out.WriteF64(r.SeikyokuRatio);
    out.WriteF64(r.JyakutenRatio);
    out.WriteF64(r.Reserved);
    const CTestCondition& c = r.Condition;
    out.WriteI32(c.CabKind);
    out.WriteF64(c.CurrentR);
    out.WriteF64(c.CurrentS);
    out.WriteF64(c.CurrentT);
    out.WriteF64(c.ShisuZetuen);
    out.WriteF64(c.CabSectionalArea);
    out.WriteF64(c.CabLength);
    out.WriteText(c.Weather);
    out.WriteF64(c.Temperature);
    out.WriteF64(c.Humidity);
    out.WriteF64(c.SeikyokuMin);
    out.WriteF64(c.SeikyokuMax);
    out.WriteF64(c.JyakutenMin);
    out.WriteF64(c.JyakutenMax);
    out.WriteF64(c.LastCurrentMin);
    out.WriteF64(c.LastCurrentMax);
    out.WriteText(c.Remarks);
    out.WriteText(c.Shindan);
}

} // namespace

HeaderResult ReadHeader(ArchiveReader& in, int32_t& version)
{
    version = 0;
    if (in.ReadText() != kSignature)
        return HeaderResult::BadSignature;
    version = in.ReadI32();
    if (version != kVersion && version != kOldVersion)
        return HeaderResult::BadVersion;
    return HeaderResult::Ok;
}

void ReadBody(ArchiveReader& in, int32_t version, CCustomerDB& db)
{
    std::array<int32_t, 6> comm;
    for (int32_t& v : comm)
        v = in.ReadI32();
    db.comm = CCommSetting::FromArray(comm);
    // Customers read completely before a failure are kept; the one being read is not.
    const uint32_t count = in.ReadCount(kMinCustomer);
    std::vector<CCustomer> customers;
    customers.reserve(count);
    try {
        for (uint32_t i = 0; i < count; ++i)
            readCustomer(in, version, customers.emplace_back());
    } catch (...) {
        customers.pop_back();
        db.customers.AssignFrom(std::move(customers));
        throw;
    }
    db.customers.AssignFrom(std::move(customers));
}

void WriteStore(ArchiveWriter& out, const CCustomerDB& db)
{
    out.WriteText(kSignature);
    out.WriteI32(kVersion);
    for (int32_t v : db.comm.ToArray())
        out.WriteI32(v);
    out.WriteCount(static_cast<uint64_t>(db.customers.Count()));
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& customer = db.customers.At(c);
        out.WriteText(customer.name);
        out.WriteCount(static_cast<uint64_t>(customer.cables.Count()));
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            out.WriteText(cable.name);
            out.WriteCount(static_cast<uint64_t>(cable.sets.Count()));
            for (int s = 0; s < cable.sets.Count(); ++s) {
                const CMeasData& set = cable.sets.At(s);
                out.WriteText(set.name);
                out.WriteI32(set.ShowSeikyoku);
                out.WriteI32(set.ShowJyakuten);
                out.WriteCount(set.RecordCount());
                for (const CMeasRecord& r : set.Records())
                    writeRecord(out, r);
            }
        }
    }
    out.Flush();
}

void WriteRecord(ArchiveWriter& out, const CMeasRecord& record)
{
    writeRecord(out, record);
}

void ReadRecord(ArchiveReader& in, CMeasRecord& record)
{
    readRecord(in, kVersion, record);
}

} // namespace mxrstore
