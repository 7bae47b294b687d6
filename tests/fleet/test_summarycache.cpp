// The record summary cache: rows read back equal to what was computed, edits and new limits
// miss the cache, rows of removed records are pruned.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "analysis/explain.h"
#include "fleet/fleetjob.h"
#include "fleettesthelp.h"
#include "workspace/workspace.h"

using namespace fleet;
using fleettest::add;
using fleettest::record;

namespace {

CCustomerDB smallTree()
{
    CCustomerDB tree;
    add(tree, "A", "c1", "s1", record("2024/01/31", 10, 20, CabKindR));
    add(tree, "A", "c1", "s1", record("2024/01/31", 20, 70, CabKindR));
    add(tree, "A", "c2", "s1", record("2023/05/01", 10, 150));
    // A record with kicks and a curve that rises: the flags must survive the table.
    CMeasRecord r;
    r.TestVoltage = 6;
    r.TriggerLevel = 5;
    r.StartTime = *OleDateTime::parse("2024/02/01 09:00:00");
    sample::addPoints(r, 3000, [](int i) { return i % 500 == 250 ? 30.0 : 1.0 + i * 0.002; });
    r.RecalcFinalAndTriggers(-1, 10);
    add(tree, "B", "c3", "s1", r);
    CMeasRecord undated = record("2024/01/01", 3, 1);
    undated.StartTime = {};
    add(tree, "B", "c3", "s2", undated);
    return tree;
}

std::size_t rowCount(sqlite::Db& db)
{
    sqlite::Stmt s(db, "SELECT COUNT(*) FROM record_summary");
    s.Step();
    return static_cast<std::size_t>(s.Int(0));
}

} // namespace

TEST(SummaryCache, BuildsOnceThenReadsBackEqualMissesEditsAndPrunes)
{
    fleettest::TempDir dir;
    sqlite::Db db;
    db.Open((dir.path / "w.sqlite").string(), true);
    CCustomerDB tree = smallTree();
    const AnalysisThresholds t;

    SummaryCache cache;
    cache.Load(db);
    SummaryLookup first;
    ASSERT_TRUE(CollectSummaries(tree, t, cache, &db, first));
    ASSERT_EQ(first.recordSlots.size(), 5u);
    EXPECT_EQ(rowCount(db), 5u);
    const RecordSummary& kicked = first.summaries[3];
    EXPECT_GT(kicked.kickCount, 0);
    EXPECT_TRUE(kicked.gradualRise);
    EXPECT_FALSE(first.summaries[4].dated);

    // A fresh cache from the table gives every summary without computing one.
    SummaryCache again;
    again.Load(db);
    const SummaryLookup hit = LookUpSummaries(tree, t, again);
    EXPECT_TRUE(hit.missing.empty());
    EXPECT_EQ(hit.summaries, first.summaries);

    // Criteria edited on one record: its stamp changes, that record alone is computed again,
    // with the new judgment; the old row goes.
    CMeasData& s1 = tree.customers.At(0).cables.At(0).sets.At(0);
    CMeasRecord edited = s1.Records()[1];
    edited.Condition.LastCurrentMax = 60;
    s1.RemoveRecordAt(1);
    s1.InsertRecord(edited);
    const SummaryLookup afterEdit = LookUpSummaries(tree, t, again);
    ASSERT_EQ(afterEdit.missing.size(), 1u);
    SummaryLookup rebuilt;
    ASSERT_TRUE(CollectSummaries(tree, t, again, &db, rebuilt));
    EXPECT_EQ(rebuilt.summaries[afterEdit.missing[0]].judgments[0], Judgment::Bad);
    EXPECT_EQ(rowCount(db), 5u);

    // A removed cable's rows are pruned at the next build.
    tree.customers.At(1).cables.RemoveAt(0);
    SummaryLookup smaller;
    ASSERT_TRUE(CollectSummaries(tree, t, again, &db, smaller));
    EXPECT_EQ(rowCount(db), 3u);

    // New analysis limits: every stamp changes.
    AnalysisThresholds other = t;
    other.spikeFactor = 3;
    EXPECT_EQ(LookUpSummaries(tree, other, again).missing.size(), 3u);
}

TEST(SummaryCache, StoppedBuildKeepsNothingHalfWritten)
{
    fleettest::TempDir dir;
    sqlite::Db db;
    db.Open((dir.path / "w.sqlite").string(), true);
    const CCustomerDB tree = smallTree();
    SummaryCache cache;
    cache.Load(db);
    SummaryLookup out;
    EXPECT_FALSE(CollectSummaries(tree, {}, cache, &db, out,
                                  [](std::size_t, std::size_t) { return false; }));
    EXPECT_EQ(rowCount(db), 0u);
}

TEST(FleetJob, WorkerBuildsTheSameFleetFromCopiesAndFillsTheCache)
{
    fleettest::TempDir dir;
    CCustomerDB tree = smallTree();
    const std::string store = (dir.path / "MXR.dat").string();
    ws::Workspace w;
    ASSERT_TRUE(w.Open(store, true).usable());
    const Day asOf = *ParseDay("2024-12-15");
    FleetBuildOutcome expected = MakeFleet(tree, nullptr, {}, {}, asOf);

    std::atomic<bool> ended{false};
    auto job = std::make_unique<FleetJob>(tree, &w, AnalysisThresholds{}, FleetSettings{}, asOf);
    EXPECT_EQ(job->Total(), 5u);
    tree = CCustomerDB(); // the job keeps what it needs
    job->Start([&] { ended = true; });
    const FleetBuildOutcome got = job->Finish();
    EXPECT_TRUE(ended);
    ASSERT_TRUE(got.complete);
    EXPECT_EQ(got.computed, 5u);
    ASSERT_EQ(got.plans.size(), expected.plans.size());
    for (std::size_t i = 0; i < got.plans.size(); ++i) {
        EXPECT_EQ(got.plans[i].cable, expected.plans[i].cable);
        EXPECT_EQ(got.plans[i].score, expected.plans[i].score);
        EXPECT_EQ(got.plans[i].nextDue, expected.plans[i].nextDue);
    }
    EXPECT_EQ(rowCount(w.Db()), 5u);
    // The next job finds everything cached.
    FleetJob again(smallTree(), &w, {}, {}, asOf);
    EXPECT_EQ(again.Total(), 0u);
}

// The summary's judgments follow the judgment explanations: hidden and unset values have none.
TEST(RecordSummary, JudgmentsAreThoseOfTheExplanations)
{
    std::vector<CMeasRecord> records;
    for (double finalValue : {20.0, 70.0, 150.0}) {
        CMeasRecord r = record("2024/01/31", 10, finalValue);
        for (int show : {0, 1}) {
            r.ShowSeikyoku = r.ShowJyakuten = show;
            for (double ratio : {UNSET_VALUE, 0.7, 3.0, 7.0}) {
                r.SeikyokuRatio = r.JyakutenRatio = ratio;
                records.push_back(r);
            }
        }
    }
    CMeasRecord unset = record("2024/01/31", 10, 1);
    unset.LastCurrent = UNSET_VALUE;
    records.push_back(unset);
    for (const CMeasRecord& r : records) {
        const RecordSummary s = SummarizeRecord(r, {});
        const auto e = analysis::ExplainJudgments(r);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(s.judgments[i], e[i].judgment) << i << " " << e[i].text;
    }
}
