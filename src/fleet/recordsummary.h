// What the fleet needs of one measurement record (final value, voltage, ratios, judgments,
// curve signs, start time, phase), and the cache of these summaries in the workspace database,
// so that the fleet of a large store opens without looking at every point again.
//
// A summary is filed under the record's content key (recordcodec::ContentKey: start time,
// voltage, data number and the points) and a stamp: a hash of the record's other fields the
// summary depends on (final value, criteria, used points, triggers, phase, ...) and of the
// analysis limits. An edit that changes the summary, or new limits, changes the stamp, so a
// stale row is never used; rows of records no longer in the store are pruned after a build.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/phasebalance.h"
#include "analysis/thresholds.h"
#include "model/customerdb.h"
#include "workspace/sqlitedb.h"

namespace fleet {

struct RecordSummary {
    bool dated = false; // StartTime valid
    double start = 0.0; // OLE date of StartTime
    analysis::Phase phase = analysis::Phase::None;
    double testVoltage = 0.0;        // kV
    double finalValue = UNSET_VALUE; // μA, the stored LastCurrent
    double seikyokuRatio = UNSET_VALUE;
    double jyakutenRatio = UNSET_VALUE;
    // Judgments of final value, 成極比, 弱点比: nothing when the value is unset or hidden.
    std::optional<Judgment> judgments[3];
    int kickCount = 0; // trigger kicks and spikes
    bool gradualRise = false;
    bool lowPolarization = false; // the combined rule
    bool stepUsable = false;      // takes part in a step test (used points and a final value)

    bool operator==(const RecordSummary&) const = default;
};

// The summary of one record under the limits t.
RecordSummary SummarizeRecord(const CMeasRecord& r, const AnalysisThresholds& t);

// Summarises records[i] into out[i] (resized to match) on up to `threads` threads (0: one per
// core), taking blocks of records in turn so that done (when given) counts evenly. Stops early
// when stop becomes true; false then.
bool SummarizeAll(const std::vector<const CMeasRecord*>& records, const AnalysisThresholds& t,
                  std::vector<RecordSummary>& out, const std::atomic<bool>* stop = nullptr,
                  std::atomic<std::size_t>* done = nullptr, unsigned threads = 0);

// The stamp the summary is filed under beside the content key.
int64_t SummaryStamp(const CMeasRecord& r, const AnalysisThresholds& t);

// Creates the cache's table where it is missing (idempotent).
void CreateRecordSummaryTable(sqlite::Db& db);

// The rows of the cache in memory, looked up by content key and stamp.
class SummaryCache {
public:
    struct Key {
        std::string contentKey; // 32 bytes
        int64_t stamp = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };

    // Reads every row of the table (created where missing).
    void Load(sqlite::Db& db);
    const RecordSummary* Find(const Key& key) const;
    void Insert(const Key& key, const RecordSummary& s) { m_rows[key] = s; }
    std::size_t Size() const { return m_rows.size(); }

    // Writes rows to the table in one transaction.
    static void Store(sqlite::Db& db, const std::vector<std::pair<Key, RecordSummary>>& rows);
    // Removes the rows whose key is not in live; returns how many.
    static int Prune(sqlite::Db& db, const std::vector<Key>& live);

private:
    std::unordered_map<Key, RecordSummary, KeyHash> m_rows;
};

// Where a record is in the tree, with its cache key.
struct RecordSlot {
    int customer = 0, cable = 0, set = 0;
    std::size_t record = 0;
    SummaryCache::Key key;
};

// The recordSlots and keys of every record of the tree, in tree order.
std::vector<RecordSlot> KeyTree(const CCustomerDB& tree, const AnalysisThresholds& t);

} // namespace fleet
