// Record summaries and their cache table.
#include "fleet/recordsummary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <unordered_set>

#include "analysis/analysistext.h"
#include "analysis/curvesigns.h"
#include "analysis/explain.h"
#include "store/recordcodec.h"

namespace fleet {
namespace {

constexpr const char* kTable = R"sql(
CREATE TABLE IF NOT EXISTS record_summary (
    content_key BLOB NOT NULL,
    stamp INTEGER NOT NULL,
    dated INTEGER NOT NULL,
    start REAL NOT NULL,
    phase INTEGER NOT NULL,
    test_voltage REAL NOT NULL,
    final_value REAL NOT NULL,
    seikyoku REAL NOT NULL,
    jyakuten REAL NOT NULL,
    judgments INTEGER NOT NULL,
    kicks INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    PRIMARY KEY (content_key, stamp)
) WITHOUT ROWID;
)sql";

// The three judgments in one number: two bits each, 0 none, 1 良, 2 注意, 3 不良.
int packJudgments(const RecordSummary& s)
{
    int v = 0;
    for (int i = 0; i < 3; ++i)
        v |= (s.judgments[i] ? static_cast<int>(*s.judgments[i]) + 1 : 0) << (2 * i);
    return v;
}

void unpackJudgments(int v, RecordSummary& s)
{
    for (int i = 0; i < 3; ++i) {
        const int j = (v >> (2 * i)) & 3;
        s.judgments[i] = j ? std::optional<Judgment>(static_cast<Judgment>(j - 1)) : std::nullopt;
    }
}

enum Flags { kDated = 1, kRise = 2, kLowPolarization = 4, kStepUsable = 8 };

class StampWriter {
public:
    void add(double v) { append(&v, sizeof v); }
    void add(int64_t v) { append(&v, sizeof v); }
    void add(const std::string& s)
    {
        add(static_cast<int64_t>(s.size()));
        m_bytes += s;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    void append(const void* p, std::size_t n) { m_bytes.append(static_cast<const char*>(p), n); }
    std::string m_bytes;
};

} // namespace

RecordSummary SummarizeRecord(const CMeasRecord& r, const AnalysisThresholds& t)
{
    RecordSummary s;
    s.dated = r.StartTime.status == OleDateTime::Valid && r.StartTime.toCalendar().has_value();
    s.start = s.dated ? r.StartTime.date : 0.0;
    s.phase = analysis::RecordPhase(r);
    s.testVoltage = r.TestVoltage;
    s.finalValue = r.LastCurrent;
    s.seikyokuRatio = r.SeikyokuRatio;
    s.jyakutenRatio = r.JyakutenRatio;
    // The judgments as the explanations give them (analysis::ExplainJudgment), without their
    // texts: none for a value that is hidden or unset.
    if (analysis::text::isValue(r.LastCurrent))
        s.judgments[0] = r.JudgeLastCurrent();
    if (r.ShowSeikyoku != 0 && analysis::text::isValue(r.SeikyokuRatio))
        s.judgments[1] = r.JudgeSeikyoku();
    if (r.ShowJyakuten != 0 && analysis::text::isValue(r.JyakutenRatio))
        s.judgments[2] = r.JudgeJyakuten();
    const analysis::CurveSigns signs = analysis::FindCurveSigns(r, t);
    s.kickCount = signs.kickCount;
    s.gradualRise = signs.gradualRise;
    s.lowPolarization = signs.lowPolarization;
    s.stepUsable = r.UsedPoints > 0 && !r.Points.empty() &&
                   analysis::text::isValue(r.LastCurrent) && std::isfinite(r.TestVoltage);
    return s;
}

bool SummarizeAll(const std::vector<const CMeasRecord*>& records, const AnalysisThresholds& t,
                  std::vector<RecordSummary>& out, const std::atomic<bool>* stop,
                  std::atomic<std::size_t>* done, unsigned threads)
{
    constexpr std::size_t kBlock = 64;
    out.assign(records.size(), RecordSummary{});
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(
        std::min<std::size_t>(threads, (records.size() + kBlock - 1) / kBlock));
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    auto work = [&] {
        for (;;) {
            if (stop && stop->load()) {
                stopped = true;
                return;
            }
            const std::size_t first = next.fetch_add(kBlock);
            if (first >= records.size())
                return;
            const std::size_t last = std::min(records.size(), first + kBlock);
            for (std::size_t i = first; i < last; ++i)
                out[i] = SummarizeRecord(*records[i], t);
            if (done)
                *done += last - first;
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread& h : helpers)
        h.join();
    return !stopped;
}

int64_t SummaryStamp(const CMeasRecord& r, const AnalysisThresholds& t)
{
    StampWriter w;
    w.add(int64_t{1}); // layout of the summary; raise it when the summary changes meaning
    for (double v : {t.unbalanceLimitPercent, t.spikeFactor, t.spikeWindowSeconds, t.spikeMinDelta,
                     t.riseWindowMinutes, t.riseSlopePercentPerMinute, t.kneeFactor})
        w.add(v);
    w.add(int64_t{t.triggValidSec});
    for (double v : {r.LastCurrent, r.TriggerLevel, r.SeikyokuRatio, r.JyakutenRatio})
        w.add(v);
    for (int64_t v : {int64_t{r.UsedPoints}, int64_t{r.ShowSeikyoku}, int64_t{r.ShowJyakuten},
                      int64_t{r.StatusFlag}, int64_t{r.Condition.CabKind}})
        w.add(v);
    const CTestCondition& c = r.Condition;
    for (double v : {c.SeikyokuMin, c.SeikyokuMax, c.JyakutenMin, c.JyakutenMax, c.LastCurrentMin,
                     c.LastCurrentMax})
        w.add(v);
    w.add(static_cast<int64_t>(r.Triggers.size()));
    for (const CTriggerEvent& e : r.Triggers) {
        w.add(e.start);
        w.add(e.stop);
        w.add(e.maximum.toDouble());
    }
    return static_cast<int64_t>(recordcodec::Hash64(w.bytes(), 7));
}

void CreateRecordSummaryTable(sqlite::Db& db)
{
    db.Exec(kTable);
}

std::size_t SummaryCache::KeyHash::operator()(const Key& k) const
{
    // The whole key: records of equal points (or equal start times) must not share a bucket.
    return static_cast<std::size_t>(
        recordcodec::Hash64(k.contentKey, static_cast<uint64_t>(k.stamp)));
}

void SummaryCache::Load(sqlite::Db& db)
{
    CreateRecordSummaryTable(db);
    m_rows.clear();
    sqlite::Stmt s(db, "SELECT content_key, stamp, start, phase, test_voltage, final_value, "
                       "seikyoku, jyakuten, judgments, kicks, flags FROM record_summary");
    while (s.Step()) {
        Key k{s.Text(0), s.Int(1)};
        RecordSummary r;
        r.start = s.Real(2);
        r.phase = static_cast<analysis::Phase>(s.Int(3));
        r.testVoltage = s.Real(4);
        r.finalValue = s.Real(5);
        r.seikyokuRatio = s.Real(6);
        r.jyakutenRatio = s.Real(7);
        unpackJudgments(static_cast<int>(s.Int(8)), r);
        r.kickCount = static_cast<int>(s.Int(9));
        const int64_t flags = s.Int(10);
        r.dated = flags & kDated;
        r.gradualRise = flags & kRise;
        r.lowPolarization = flags & kLowPolarization;
        r.stepUsable = flags & kStepUsable;
        m_rows.emplace(std::move(k), r);
    }
}

const RecordSummary* SummaryCache::Find(const Key& key) const
{
    const auto it = m_rows.find(key);
    return it == m_rows.end() ? nullptr : &it->second;
}

void SummaryCache::Store(sqlite::Db& db, const std::vector<std::pair<Key, RecordSummary>>& rows)
{
    CreateRecordSummaryTable(db);
    sqlite::Transaction tx(db);
    sqlite::Stmt s(db, "INSERT OR REPLACE INTO record_summary (content_key, stamp, dated, start, "
                       "phase, test_voltage, final_value, seikyoku, jyakuten, judgments, kicks, "
                       "flags) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    for (const auto& [k, r] : rows) {
        s.BindBlob(1, k.contentKey).Bind(2, k.stamp).Bind(3, int64_t{r.dated});
        s.BindReal(4, r.start).Bind(5, static_cast<int64_t>(r.phase));
        s.BindReal(6, r.testVoltage).BindReal(7, r.finalValue);
        s.BindReal(8, r.seikyokuRatio).BindReal(9, r.jyakutenRatio);
        s.Bind(10, int64_t{packJudgments(r)}).Bind(11, int64_t{r.kickCount});
        s.Bind(12, int64_t{(r.dated ? kDated : 0) | (r.gradualRise ? kRise : 0) |
                           (r.lowPolarization ? kLowPolarization : 0) |
                           (r.stepUsable ? kStepUsable : 0)});
        s.Run();
        s.Reset();
    }
    tx.Commit();
}

int SummaryCache::Prune(sqlite::Db& db, const std::vector<Key>& live)
{
    CreateRecordSummaryTable(db);
    std::unordered_set<Key, KeyHash> keep(live.begin(), live.end());
    std::vector<Key> stale;
    {
        sqlite::Stmt s(db, "SELECT content_key, stamp FROM record_summary");
        while (s.Step()) {
            Key k{s.Text(0), s.Int(1)};
            if (!keep.count(k))
                stale.push_back(std::move(k));
        }
    }
    if (stale.empty())
        return 0;
    sqlite::Transaction tx(db);
    sqlite::Stmt d(db, "DELETE FROM record_summary WHERE content_key=? AND stamp=?");
    for (const Key& k : stale) {
        d.BindBlob(1, k.contentKey).Bind(2, k.stamp);
        d.Run();
        d.Reset();
    }
    tx.Commit();
    return static_cast<int>(stale.size());
}

std::vector<RecordSlot> KeyTree(const CCustomerDB& tree, const AnalysisThresholds& t)
{
    std::vector<RecordSlot> out;
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& cu = tree.customers.At(c);
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            for (int p = 0; p < ca.sets.Count(); ++p) {
                const CMeasData& set = ca.sets.At(p);
                const auto& records = set.Records();
                for (std::size_t i = 0; i < records.size(); ++i)
                    out.push_back(
                        {c,
                         k,
                         p,
                         i,
                         {recordcodec::ContentKey(records[i]), SummaryStamp(records[i], t)}});
            }
        }
    }
    return out;
}

} // namespace fleet
