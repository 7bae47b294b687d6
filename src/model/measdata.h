// CMeasData: one named measurement data set, its records kept ascending by test voltage,
// and the computations that span the records of a set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/measrecord.h"

class CMeasData {
public:
    std::string name; // CP932
    int32_t ShowSeikyoku = 1;
    int32_t ShowJyakuten = 1;

    std::size_t RecordCount() const { return m_records.size(); }
    CMeasRecord& RecordAt(std::size_t i) { return m_records.at(i); }
    const CMeasRecord& RecordAt(std::size_t i) const { return m_records.at(i); }
    std::vector<CMeasRecord>& Records() { return m_records; }
    const std::vector<CMeasRecord>& Records() const { return m_records; }

    // Inserts a copy at its place by test voltage (binary search; an equal voltage goes before
    // the equal record the search met). Returns the index.
    std::size_t InsertRecord(const CMeasRecord& record);
    // Appends in stored order, as a file is read (the file's order is kept as it is).
    void AppendRecord(CMeasRecord record) { m_records.push_back(std::move(record)); }
    void RemoveRecordAt(std::size_t i)
    {
        m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(i));
    }
    void RemoveAllRecords() { m_records.clear(); }

    // Clears the name, flags and records (the state of a free slot).
    void Clear() { *this = CMeasData(); }

    bool operator==(const CMeasData&) const = default;

private:
    std::vector<CMeasRecord> m_records;
};

// Recomputes SeikyokuRatio and JyakutenRatio of every record of the set in stored order.
void RecalcRatios(CMeasData& set);

// Copies one condition block into every record of the set.
void ApplyCondition(CMeasData& set, const CTestCondition& condition);
