// The retest plan and the health score on a generated fleet with known answers.
#include <gtest/gtest.h>

#include "fleettesthelp.h"

using namespace fleet;
using fleettest::add;
using fleettest::day;
using fleettest::record;

TEST(FleetCalendar, AddMonthsKeepsTheDayOrTakesTheMonthsLastDay)
{
    struct Case {
        const char* from;
        int months;
        const char* to;
    };
    const Case cases[] = {
        {"2024-01-31", 1, "2024-02-29"},                                   // leap year
        {"2023-01-31", 1, "2023-02-28"}, {"2024-02-29", 12, "2025-02-28"}, // from a leap day
        {"2023-08-31", 6, "2024-02-29"}, // across the year end into a leap February
        {"2024-10-31", 1, "2024-11-30"}, {"2024-05-12", 12, "2025-05-12"},
        {"2024-12-15", 3, "2025-03-15"}, {"2020-02-29", 48, "2024-02-29"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsoText(AddMonths(day(c.from), c.months)), c.to) << c.from << " + " << c.months;
}

TEST(FleetCalendar, ParseDayTakesRealDatesOnly)
{
    EXPECT_EQ(IsoText(*ParseDay("2024/2/3")), "2024-02-03");
    for (const char* bad :
         {"2024-02-30", "2023-02-29", "2024-13-01", "2024-01", "2024-01-01x", "", "yesterday"})
        EXPECT_FALSE(ParseDay(bad).has_value()) << bad;
    // The OLE day of 2024-02-29 10:00 is that day.
    EXPECT_EQ(IsoText(DayOfOle(OleDateTime::parse("2024/02/29 23:59:59")->date)), "2024-02-29");
}

namespace {

// The generated fleet: one customer "K" with seven cables, each showing one rule.
struct Fleet {
    CCustomerDB tree;
    std::vector<RecordSlot> recordSlots;
    std::vector<RecordSummary> summaries;
    std::vector<ws::CableRegisterEntry> entries;

    Fleet()
    {
        // good: tested on a month end, default interval.
        add(tree, "K", "good", "2024-01", record("2024/01/31", 10, 20));
        // caution: 注意 shortens 12 → 6 months from 31 Aug to 29 Feb.
        add(tree, "K", "caution", "2023-08", record("2023/08/31", 10, 70));
        // long: the register's 24 months from a leap day.
        add(tree, "K", "long", "2024-02", record("2024/02/29", 10, 20));
        // untested: a cable without records.
        sample::setAt(tree, "K", "untested", "empty");
        // unbalance: R 1, S 1, T 10 μA at 10 kV → 225 %.
        add(tree, "K", "unbalance", "R", record("2024/06/10", 10, 1, CabKindR));
        add(tree, "K", "unbalance", "S", record("2024/06/10", 10, 1, CabKindS));
        add(tree, "K", "unbalance", "T", record("2024/06/10", 10, 10, CabKindT));
        // growth: 2 → 4 μA at 10 kV over two years → 50 % a year.
        add(tree, "K", "growth", "2022", record("2022/05/12", 10, 2));
        add(tree, "K", "growth", "2024", record("2024/05/12", 10, 4));
        // knee: steps 1, 2, 3 kV with 1, 2, 6 μA → a knee at 3 kV (2.0 × the line).
        for (auto [kv, ua] : {std::pair{1.0, 1.0}, {2.0, 2.0}, {3.0, 6.0}})
            add(tree, "K", "knee", "steps", record("2024/03/01", kv, ua));
        // older caution, newer good: only the latest test counts.
        add(tree, "K", "recovered", "old", record("2023/03/01", 10, 70));
        add(tree, "K", "recovered", "new", record("2024/03/01", 10, 20));

        ws::CableRegisterEntry e;
        e.customer = "K";
        e.cable = "LONG"; // register names compare as the tree compares them
        e.intervalMonths = 24;
        entries.push_back(e);
        recordSlots = KeyTree(tree, AnalysisThresholds{});
        for (const RecordSlot& s : recordSlots)
            summaries.push_back(SummarizeRecord(RecordAt(tree, s), AnalysisThresholds{}));
    }

    std::vector<CablePlan> build(Day asOf, const FleetSettings& settings = {},
                                 std::optional<int> customerInterval = std::nullopt)
    {
        FleetInputs in;
        in.tree = &tree;
        in.recordSlots = &recordSlots;
        in.summaries = &summaries;
        in.registerEntries = entries;
        in.customerInterval = [=](const std::string&) { return customerInterval; };
        return BuildFleet(in, settings, AnalysisThresholds{}, asOf);
    }
};

const CablePlan& find(const std::vector<CablePlan>& plans, const char* cable)
{
    for (const CablePlan& p : plans)
        if (p.cable == cable)
            return p;
    throw std::runtime_error(cable);
}

} // namespace

TEST(FleetPlan, DueDatesStatusAndShorteningOfTheGeneratedFleet)
{
    Fleet f;
    const auto plans = f.build(day("2024-12-15"));
    struct Expect {
        const char* cable;
        const char* lastTest;
        int base, interval;
        IntervalSource source;
        const char* nextDue;
        DueStatus status;
        const char* reasons;
    };
    const Expect expects[] = {
        {"good", "2024-01-31", 12, 12, IntervalSource::Default, "2025-01-31", DueStatus::DueSoon,
         ""},
        {"caution", "2023-08-31", 12, 6, IntervalSource::Default, "2024-02-29", DueStatus::Overdue,
         "注意のため周期 12 → 6 か月"},
        {"long", "2024-02-29", 24, 24, IntervalSource::Register, "2026-02-28", DueStatus::Planned,
         ""},
        {"unbalance", "2024-06-10", 12, 6, IntervalSource::Default, "2024-12-10",
         DueStatus::Overdue, "不平衡率 225 %のため周期 12 → 6 か月"},
        {"growth", "2024-05-12", 12, 6, IntervalSource::Default, "2024-11-12", DueStatus::Overdue,
         "最終値の増加 年 50 %のため周期 12 → 6 か月"},
        {"knee", "2024-03-01", 12, 12, IntervalSource::Default, "2025-03-01", DueStatus::Planned,
         ""},
        {"recovered", "2024-03-01", 12, 12, IntervalSource::Default, "2025-03-01",
         DueStatus::Planned, ""},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.cable);
        const CablePlan& p = find(plans, e.cable);
        ASSERT_TRUE(p.lastTest);
        EXPECT_EQ(IsoText(*p.lastTest), e.lastTest);
        EXPECT_EQ(p.baseInterval, e.base);
        EXPECT_EQ(p.interval, e.interval);
        EXPECT_EQ(p.source, e.source);
        EXPECT_EQ(IsoText(*p.nextDue), e.nextDue);
        EXPECT_EQ(p.status, e.status);
        EXPECT_EQ(p.ReasonText(), e.reasons);
    }
    const CablePlan& untested = find(plans, "untested");
    EXPECT_EQ(untested.status, DueStatus::Untested);
    EXPECT_FALSE(untested.nextDue);
    EXPECT_FALSE(untested.score);
    EXPECT_EQ(untested.ReasonText(), "試験記録なし");

    // The warning window's edge: 47 days before good's due date is 期限間近 with 60 days,
    // 予定 with 30; the due day itself is still 期限間近, the day after 期限切れ.
    FleetSettings narrow;
    narrow.plan.warningDays = 30;
    EXPECT_EQ(find(f.build(day("2024-12-15"), narrow), "good").status, DueStatus::Planned);
    EXPECT_EQ(find(f.build(day("2025-01-31")), "good").status, DueStatus::DueSoon);
    EXPECT_EQ(find(f.build(day("2025-02-01")), "good").status, DueStatus::Overdue);
    EXPECT_EQ(find(f.build(day("2025-02-01")), "good").daysLeft, -1);
}

TEST(FleetPlan, IntervalComesFromRegisterThenCustomerThenDefaultAndShortestRuleWins)
{
    Fleet f;
    FleetSettings s;
    s.plan.defaultIntervalMonths = 36;
    s.plan.cautionFactor = 0.75;
    auto plans = f.build(day("2024-12-15"), s, 24);
    EXPECT_EQ(find(plans, "long").source, IntervalSource::Register);
    EXPECT_EQ(find(plans, "good").source, IntervalSource::Customer);
    EXPECT_EQ(find(plans, "good").interval, 24);
    EXPECT_EQ(find(plans, "caution").ReasonText(), "注意のため周期 24 → 18 か月");
    plans = f.build(day("2024-12-15"), s);
    EXPECT_EQ(find(plans, "good").interval, 36);

    // Two rules on one cable: 不良 (× 0.25) and unbalance (× 0.5); the shorter interval
    // decides and both are told. The floor of a month stops a factor below it.
    Fleet g;
    add(g.tree, "K", "unbalance", "T2", record("2024/06/10", 10, 150, CabKindT));
    g.recordSlots = KeyTree(g.tree, {});
    g.summaries.clear();
    for (const RecordSlot& slot : g.recordSlots)
        g.summaries.push_back(SummarizeRecord(RecordAt(g.tree, slot), {}));
    const auto gPlans = g.build(day("2024-12-15"));
    const CablePlan& p = find(gPlans, "unbalance");
    EXPECT_EQ(p.worst, Judgment::Bad);
    EXPECT_EQ(p.interval, 3);
    EXPECT_EQ(p.ReasonText(), "不良のため周期 12 → 3 か月、不平衡率 294 %のため周期 12 → 6 か月");
    EXPECT_EQ(p.PhaseJudgmentText(), "Ｒ:良 Ｓ:良 Ｔ:不良");
    FleetSettings tiny;
    tiny.plan.defaultIntervalMonths = 2;
    tiny.plan.minIntervalMonths = 1;
    EXPECT_EQ(find(g.build(day("2024-12-15"), tiny), "unbalance").interval, 1);
}

TEST(FleetScore, ContributionsAndRankingOrder)
{
    Fleet f;
    const auto plans = f.build(day("2024-12-15"));
    // Lowest score first; equal scores by next due date; untested last.
    std::vector<std::string> order;
    for (const CablePlan& p : plans)
        order.push_back(p.cable);
    EXPECT_EQ(order, (std::vector<std::string>{"unbalance", "growth", "knee", "caution", "good",
                                               "recovered", "long", "untested"}));
    EXPECT_EQ(plans.front().rank, 1);

    struct Expect {
        const char* cable;
        double score;
        std::vector<std::string> lines;
    };
    const Expect expects[] = {
        {"unbalance", 70, {"不平衡率 225 % … −30"}},
        {"growth", 80, {"最終値の増加 年 50 % (10.00 kV, 2022/05/12 → 2024/05/12) … −20"}},
        {"knee", 80, {"屈曲点 3.00 kV (2.0 倍) … −20"}},
        {"caution", 85, {"判定 注意 … −15"}},
        {"good", 100, {}},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.cable);
        const CablePlan& p = find(plans, e.cable);
        ASSERT_TRUE(p.score);
        EXPECT_EQ(*p.score, e.score);
        std::vector<std::string> lines;
        for (const Contribution& c : p.contributions)
            lines.push_back(c.Line());
        EXPECT_EQ(lines, e.lines);
    }
    EXPECT_EQ(find(plans, "growth").trend, Trend::Worse);
    EXPECT_EQ(find(plans, "good").trend, Trend::None);

    // Weights come from the settings; a weight of 0 takes nothing off.
    FleetSettings s;
    s.weights.unbalance = 0;
    s.weights.caution = 50;
    const auto reweighed = f.build(day("2024-12-15"), s);
    EXPECT_EQ(*find(reweighed, "unbalance").score, 100);
    EXPECT_TRUE(find(reweighed, "unbalance").contributions.empty());
    EXPECT_EQ(reweighed.front().cable, "caution");
}

TEST(FleetPlan, DueByMonthCountsTheNextTwelveMonths)
{
    Fleet f;
    const Day asOf = day("2024-12-15");
    const auto months = DueByMonth(f.build(asOf), asOf);
    ASSERT_EQ(months.size(), 12u);
    EXPECT_EQ(months[0].year, 2024);
    EXPECT_EQ(months[0].month, 12);
    EXPECT_EQ(months[0].overdue, 3); // caution, unbalance, growth
    EXPECT_EQ(months[1].dueSoon, 1); // good, 2025-01
    EXPECT_EQ(months[3].planned, 2); // knee and recovered, 2025-03
    EXPECT_EQ(months[11].month, 11);
    int total = 0;
    for (const MonthDue& m : months)
        total += m.overdue + m.dueSoon + m.planned;
    EXPECT_EQ(total, 6); // long (2026) and untested fall outside
}
