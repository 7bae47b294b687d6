// The job report's core: which records a visit takes, the cables' overall judgments and the
// totals, and the summary CSV.
#include <gtest/gtest.h>

#include "analysis/jobsummary.h"
#include "analysistesthelp.h"

using namespace analysis;
using analysistest::addSet;
using analysistest::step;
using analysistest::u8;

namespace {

CCable& addCable(CCustomer& c, const std::string& utf8Name)
{
    const std::string name = *cp932::fromUtf8(utf8Name);
    CCable& cable = c.cables.At(c.cables.FindOrInsert(name));
    cable.name = name;
    return cable;
}

// K1/A: two records on 05-12 and one on 05-13; K1/B: one on 04-01 and one without a date;
// K2/A: one on 05-12.
CCustomer visitCustomer()
{
    CCustomer c;
    CCable& k1 = addCable(c, "K1");
    CMeasData& a = addSet(k1, "A");
    a.AppendRecord(step(6.6, 0.5, CabKindR, "2024/05/12 10:00:00"));
    a.AppendRecord(step(10.0, 0.7, CabKindR, "2024/05/12 10:20:00"));
    a.AppendRecord(step(12.0, 0.9, CabKindR, "2024/05/13 09:00:00"));
    CMeasData& b = addSet(k1, "B");
    b.AppendRecord(step(6.6, 0.5, CabKindS, "2024/04/01 10:00:00"));
    b.AppendRecord(step(10.0, 0.5, CabKindS, nullptr));
    addSet(addCable(c, "K2"), "A").AppendRecord(step(6.6, 20.0, CabKindThreePhase, "2024/05/12 11:00:00"));
    return c;
}

std::optional<CalendarTime> day(int m, int d)
{
    return CalendarTime{2024, m, d};
}

} // namespace

TEST(JobSelection, TakesTheChosenSetsWithinTheDays)
{
    const CCustomer c = visitCustomer();
    struct Case {
        const char* what;
        JobSelection selection;
        std::vector<std::string> expected; // "cable/set/index"
    };
    const Case cases[] = {
        {"one day, every set", {day(5, 12), day(5, 12), {}}, {"K1/A/0", "K1/A/1", "K2/A/0"}},
        {"two days", {day(5, 12), day(5, 13), {}}, {"K1/A/0", "K1/A/1", "K1/A/2", "K2/A/0"}},
        {"open end", {day(5, 13), std::nullopt, {}}, {"K1/A/2"}},
        {"a set name in every cable", {day(5, 12), day(5, 12), {{"", "A"}}},
         {"K1/A/0", "K1/A/1", "K2/A/0"}},
        {"one cable's set", {day(5, 12), day(5, 12), {{"K2", "A"}}}, {"K2/A/0"}},
        // Without dates the undated record belongs to its set; with them it stays out.
        {"a set without dates", {std::nullopt, std::nullopt, {{"K1", "B"}}}, {"K1/B/0", "K1/B/1"}},
        {"a set within dates", {day(1, 1), day(12, 31), {{"K1", "b"}}}, {"K1/B/0"}},
        {"nothing that day", {day(6, 1), day(6, 1), {}}, {}},
    };
    for (const Case& t : cases) {
        std::vector<std::string> got;
        for (const JobRecord& r : SelectJobRecords(c, t.selection))
            got.push_back(r.cable->name + "/" + r.set->name + "/" + std::to_string(r.index));
        EXPECT_EQ(got, t.expected) << t.what;
    }
    const std::vector<JobSetRef> sets = SetsMeasuredBetween(c, day(5, 12), day(5, 13));
    EXPECT_EQ(sets, (std::vector<JobSetRef>{{"K1", "A"}, {"K2", "A"}}));
}

TEST(JobSummary, JudgesEachCableByItsWorstRecordAndCountsThem)
{
    const CCustomer c = visitCustomer();
    const JobSummary s = SummarizeJob(SelectJobRecords(c, {day(5, 12), day(5, 13), {}}), {});
    ASSERT_EQ(s.rows.size(), 4u);
    // K2's final value of 20 μA is above the default upper limit of 10.
    ASSERT_EQ(s.cables.size(), 2u);
    EXPECT_EQ(s.cables[1].overall, Judgment::Bad);
    EXPECT_EQ(s.rows[3].judgments[0], Judgment::Bad);
    EXPECT_EQ(u8(s.rows[3].phase), "３相一括");
    EXPECT_EQ(s.rows[3].finalValue, "20.000");
    // K1's final values (0.5 to 0.9 μA) lie below the lower limit of 1: 良.
    EXPECT_EQ(s.rows[0].judgments[0], Judgment::Good);
    EXPECT_EQ(s.cableTotals[static_cast<int>(Judgment::Bad)], 1);
    EXPECT_EQ(s.recordTotals[0] + s.recordTotals[1] + s.recordTotals[2] + s.unjudged, 4);
    EXPECT_EQ(u8(JobDateRangeText(s)), "2024/05/12～2024/05/13");

    EXPECT_EQ(WorseJudgment(Judgment::Caution, Judgment::Bad), Judgment::Bad);
    EXPECT_EQ(WorseJudgment(std::nullopt, Judgment::Good), Judgment::Good);
    EXPECT_EQ(WorseJudgment(Judgment::Caution, std::nullopt), Judgment::Caution);
}

TEST(JobSummary, CsvQuotesOnlyFieldsThatNeedIt)
{
    CCustomer c;
    addSet(addCable(c, "K,1 \"north\""), "A").AppendRecord(step(6.6, 0.5));
    const std::string csv = JobSummaryCsv(SummarizeJob(SelectJobRecords(c, {}), {}));
    EXPECT_NE(csv.find("\r\n1,\"K,1 \"\"north\"\"\",A,2024/05/12,"), std::string::npos) << csv;
}
