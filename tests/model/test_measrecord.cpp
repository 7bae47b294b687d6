// Final value, trigger events, ratios and judgments.
#include <gtest/gtest.h>

#include <cmath>

#include "model/cp932text.h"
#include "model/measdata.h"

namespace {

CMeasRecord recordWith(std::vector<std::pair<double, double>> points, double voltage = 1.0,
                       double trigger = 5.0)
{
    CMeasRecord r;
    r.TestVoltage = voltage;
    r.TriggerLevel = trigger;
    for (auto [t, v] : points)
        r.Points.push_back({CDataValue(v), t});
    return r;
}

TEST(MeasPoint, IsSmall)
{
    EXPECT_LE(sizeof(CMeasPoint), 32u);
}

TEST(RecalcFinalAndTriggers, EmptyRecord)
{
    CMeasRecord r;
    r.RecalcFinalAndTriggers(-1, 10);
    EXPECT_EQ(r.LastCurrent, 0.0);
    EXPECT_TRUE(r.Triggers.empty());
    EXPECT_EQ(r.UsedPoints, 0);
}

TEST(RecalcFinalAndTriggers, EventsSkipValidPeriodAndRunToLastUsedPoint)
{
    // High values up to 10 s are ignored; an event 12-14 s; one still open at the end.
    CMeasRecord r =
        recordWith({{2, 99}, {10, 99}, {12, 6}, {13, 8}, {14, 5}, {15, 1}, {16, 7}, {17, 9}});
    r.RecalcFinalAndTriggers(-1, 10);
    ASSERT_EQ(r.Triggers.size(), 2u);
    EXPECT_EQ(r.Triggers[0].start, 12);
    EXPECT_EQ(r.Triggers[0].stop, 14);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 8);
    EXPECT_EQ(r.Triggers[1].start, 16);
    EXPECT_EQ(r.Triggers[1].stop, 17);
    EXPECT_EQ(r.Triggers[1].maximum.toDouble(), 9);
    EXPECT_EQ(r.LastCurrent, 9);

    // Lowering the used points shortens both the final value and the trigger list.
    r.RecalcFinalAndTriggers(5, 10);
    EXPECT_EQ(r.UsedPoints, 5);
    EXPECT_EQ(r.LastCurrent, 5);
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_EQ(r.Triggers[0].stop, 14);
}

TEST(RecalcRatios, PolarizationAndWeakPoint)
{
    CMeasData set;
    set.InsertRecord(recordWith({{30, 4}, {60, 3}, {120, 2}}, 2.0));
    set.InsertRecord(recordWith({{30, 4}, {60, 3}, {120, 0}}, 4.0)); // final value exactly 0
    set.InsertRecord(recordWith({{30, 4}, {59, 3}}, 1.0));           // never reaches 60 s
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    const auto& rs = set.Records();
    EXPECT_EQ(rs[0].TestVoltage, 1.0);
    EXPECT_EQ(rs[0].SeikyokuRatio, UNSET_VALUE);
    EXPECT_EQ(rs[0].JyakutenRatio, UNSET_VALUE);
    EXPECT_DOUBLE_EQ(rs[1].SeikyokuRatio, 1.5);
    EXPECT_DOUBLE_EQ(rs[1].JyakutenRatio, (2.0 / 2.0) / (4.0 / 0.001));
    EXPECT_DOUBLE_EQ(rs[2].SeikyokuRatio, 3 / 0.001);
    EXPECT_EQ(rs[2].JyakutenRatio, UNSET_VALUE);
}

TEST(Judgment, Bands)
{
    struct Case {
        double v;
        Judgment high, low;
    } cases[] = {{0.5, Judgment::Bad, Judgment::Good},
                 {0.7, Judgment::Caution, Judgment::Good},
                 {1.0, Judgment::Good, Judgment::Good},
                 {5.0, Judgment::Good, Judgment::Caution},
                 {10.0, Judgment::Good, Judgment::Bad}};
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeHighIsGood(c.v, 0.5, 1.0), c.high) << c.v;
        EXPECT_EQ(JudgeLowIsGood(c.v, 1.0, 10.0), c.low) << c.v;
    }
    // Inverted limits: the minimum side wins.
    EXPECT_EQ(JudgeHighIsGood(1.0, 2.0, 0.5), Judgment::Bad);
    EXPECT_EQ(JudgeLowIsGood(1.0, 2.0, 0.5), Judgment::Good);
    EXPECT_EQ(cp932::toUtf8(JudgmentWord(Judgment::Caution)), "注意");
}

TEST(RecalcFinalAndTriggers, ValidPeriodBoundaryAndLimits)
{
    // At exactly TriggValidSec a point is still ignored, however high; the first point after
    // it may start an event. A point inside the valid period does not end an event either.
    CMeasRecord r = recordWith({{10.0, 1000}, {10.2, 5}, {10.4, 4}});
    r.RecalcFinalAndTriggers(-1, 10);
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_EQ(r.Triggers[0].start, 10.2);
    EXPECT_EQ(r.Triggers[0].stop, 10.2);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 5);
    EXPECT_EQ(r.Triggers[0].maximum.tag(), CDataValue::Double);

    r.RecalcFinalAndTriggers(-1, 11);
    EXPECT_TRUE(r.Triggers.empty());

    // A count beyond the points, or below -1, uses all points instead of reading past them.
    r.RecalcFinalAndTriggers(50, 10);
    EXPECT_EQ(r.UsedPoints, 3);
    EXPECT_EQ(r.LastCurrent, 4);
    r.RecalcFinalAndTriggers(0, 10);
    EXPECT_EQ(r.UsedPoints, 0);
    EXPECT_EQ(r.LastCurrent, 0.0);
    EXPECT_TRUE(r.Triggers.empty());
}

TEST(RecalcFinalAndTriggers, EventOpenAtLastUsedPointAndFinalZero)
{
    CMeasRecord r = recordWith({{11, 6}, {12, 7}, {13, 0}});
    r.RecalcFinalAndTriggers(2, 10);
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_EQ(r.Triggers[0].start, 11);
    EXPECT_EQ(r.Triggers[0].stop, 12);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 7);

    // The point that ends an event still raises its maximum, but not its stop.
    r = recordWith({{11, 6}, {12, 4}}, 1.0, 5.0);
    r.Points[1].value = CDataValue(4.5);
    r.RecalcFinalAndTriggers(-1, 10);
    ASSERT_EQ(r.Triggers.size(), 1u);
    EXPECT_EQ(r.Triggers[0].stop, 11);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 6);

    r = recordWith({{11, 6}, {12, 0}});
    r.RecalcFinalAndTriggers(-1, 10);
    EXPECT_EQ(r.LastCurrent, 0.0);
}

TEST(RecalcRatios, RecordsWithoutPointsOrAlone)
{
    CMeasData set;
    set.InsertRecord(recordWith({}, 1.0));
    set.InsertRecord(recordWith({{60, 3}, {120, 2}}, 2.0));
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    set.RecordAt(0).SeikyokuRatio = 7; // stale values are cleared
    set.RecordAt(0).JyakutenRatio = 7;
    RecalcRatios(set);
    EXPECT_EQ(set.RecordAt(0).LastCurrent, 0.0);
    EXPECT_EQ(set.RecordAt(0).SeikyokuRatio, UNSET_VALUE);
    EXPECT_EQ(set.RecordAt(0).JyakutenRatio, UNSET_VALUE);
    EXPECT_DOUBLE_EQ(set.RecordAt(1).SeikyokuRatio, 1.5);
    EXPECT_EQ(set.RecordAt(1).JyakutenRatio, UNSET_VALUE); // last record

    CMeasData single;
    single.InsertRecord(recordWith({{60, 3}, {120, 2}}, 2.0));
    single.RecordAt(0).RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(single);
    EXPECT_DOUBLE_EQ(single.RecordAt(0).SeikyokuRatio, 1.5);
    EXPECT_EQ(single.RecordAt(0).JyakutenRatio, UNSET_VALUE);

    CMeasData empty;
    RecalcRatios(empty); // nothing to do, nothing to break
}

TEST(RecalcRatios, NextRecordWithZeroVoltageAndFinalValue)
{
    CMeasData set;
    set.AppendRecord(recordWith({{60, 4}, {120, 2}}, 2.0));
    set.AppendRecord(recordWith({{60, 4}, {120, 0}}, 0.0)); // y = 0 / 0.001 = 0 -> 0.001
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).JyakutenRatio, (2.0 / 2.0) / 0.001);
    EXPECT_DOUBLE_EQ(set.RecordAt(1).SeikyokuRatio, 4 / 0.001);
}

TEST(RecalcRatios, LoweredUsedPointsStillFindOneMinuteOverAllPoints)
{
    CMeasData set;
    set.AppendRecord(recordWith({{30, 8}, {60, 6}, {120, 3}}, 1.0));
    set.AppendRecord(recordWith({{60, 2}, {120, 1}}, 2.0));
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 2.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).JyakutenRatio, (1.0 / 3) / (2.0 / 1));

    set.RecordAt(0).RecalcFinalAndTriggers(1, 10); // final point at 30 s
    RecalcRatios(set);
    EXPECT_EQ(set.RecordAt(0).LastCurrent, 8);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 6.0 / 8.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).JyakutenRatio, (1.0 / 8) / (2.0 / 1));
}

TEST(ValueAtTime, SearchesAllPoints)
{
    CMeasRecord r = recordWith({{30, 8}, {59.8, 7}, {60.2, 6}, {90, 5}});
    r.UsedPoints = 1;
    double v = -1;
    EXPECT_TRUE(r.ValueAtTime(60.0, v));
    EXPECT_EQ(v, 6);
    EXPECT_TRUE(r.ValueAtTime(30.0, v));
    EXPECT_EQ(v, 8);
    EXPECT_FALSE(r.ValueAtTime(90.1, v));
    EXPECT_EQ(v, 5); // the last point's value

    CMeasRecord empty;
    v = -1;
    EXPECT_FALSE(empty.ValueAtTime(0.0, v));
    EXPECT_EQ(v, -1); // untouched
}

TEST(PeakValues, UsedPointsOnly)
{
    CMeasRecord r = recordWith({{0, 3}, {1, 9}, {2, 4}, {3, 50}});
    r.UsedPoints = 3;
    double maxValue = 5, maxTime = 10;
    r.PeakValues(false, maxValue, maxTime);
    EXPECT_EQ(maxValue, 9);
    EXPECT_EQ(maxTime, 10); // only raised, never lowered

    maxValue = 100;
    maxTime = 100;
    r.PeakValues(true, maxValue, maxTime); // starts from point 0
    EXPECT_EQ(maxValue, 9);
    EXPECT_EQ(maxTime, 2);

    r.UsedPoints = 0;
    r.PeakValues(true, maxValue, maxTime);
    EXPECT_EQ(maxValue, 9);
    EXPECT_EQ(maxTime, 2);

    r.UsedPoints = 1000; // more than the record holds
    r.PeakValues(true, maxValue, maxTime);
    EXPECT_EQ(maxValue, 50);
    EXPECT_EQ(maxTime, 3);
}

// Points only a damaged or crafted store holds: a time or value that is not finite, or a time
// no measurement reaches. Each is placed among valid points at 20, 40, 70 and 80 s.
struct CraftedPoint {
    const char* what;
    double t, v;
};
const CraftedPoint kCrafted[] = {
    {"NaN time", NAN, 99},
    {"+Inf time", INFINITY, 99},
    {"-Inf time", -INFINITY, 99},
    {"time 1e12 s", 1e12, 99},
    {"time -1e12 s", -1e12, 99},
    {"NaN value", 65, NAN},
    {"+Inf value", 65, INFINITY},
    {"-Inf value", 65, -INFINITY},
    {"time just past the bound", kMaxElapsedSeconds * 1.0001, 99},
};

TEST(InvalidPoints, AreSkippedByEveryComputation)
{
    for (const CraftedPoint& c : kCrafted) {
        SCOPED_TRACE(c.what);
        CMeasRecord r = recordWith({{20, 4}, {40, 3}, {c.t, c.v}, {70, 2}, {80, 1}});
        r.RecalcFinalAndTriggers(-1, 10);
        EXPECT_EQ(r.LastCurrent, 1);
        EXPECT_TRUE(r.Triggers.empty()) << "99 µA is above the trigger setting of 5";

        double maxValue = 0, maxTime = 0;
        r.PeakValues(true, maxValue, maxTime);
        EXPECT_EQ(maxValue, 4);
        EXPECT_EQ(maxTime, 80);
        // Invalid as the first point too: peak values start from the first valid one.
        CMeasRecord first = recordWith({{c.t, c.v}, {20, 4}, {30, 3}});
        first.UsedPoints = 3;
        maxValue = maxTime = -1;
        first.PeakValues(true, maxValue, maxTime);
        EXPECT_EQ(maxValue, 4);
        EXPECT_EQ(maxTime, 30);

        double atMinute = 0;
        ASSERT_TRUE(r.ValueAtTime(60.0, atMinute));
        EXPECT_EQ(atMinute, 2);

        CMeasData set;
        set.AppendRecord(r);
        RecalcRatios(set);
        EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 2.0);
    }
    // The bound itself is a time a user can enter.
    EXPECT_TRUE(IsValidPoint({CDataValue(1.0), kMaxElapsedSeconds}));
}

TEST(InvalidPoints, AnInvalidFinalPointLeavesNoFinalValueOrRatios)
{
    for (const CraftedPoint& c : kCrafted) {
        SCOPED_TRACE(c.what);
        CMeasData set;
        set.AppendRecord(recordWith({{60, 4}, {70, 3}, {80, 2}}, 1.0));
        set.AppendRecord(recordWith({{60, 4}, {70, 3}, {c.t, c.v}}, 2.0));
        for (CMeasRecord& r : set.Records())
            r.RecalcFinalAndTriggers(-1, 10);
        RecalcRatios(set);
        const CMeasRecord& bad = set.RecordAt(1);
        EXPECT_EQ(bad.LastCurrent, UNSET_VALUE);
        EXPECT_EQ(bad.SeikyokuRatio, UNSET_VALUE);
        EXPECT_EQ(set.RecordAt(0).JyakutenRatio, UNSET_VALUE) << "built on the next final value";
        EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 2.0);
    }
}

TEST(Judgment, RecordUsesItsOwnCriteria)
{
    CMeasRecord r;
    r.Condition.SeikyokuMin = 2.0; // inverted: the minimum side wins
    r.Condition.SeikyokuMax = 1.0;
    r.Condition.JyakutenMin = 3.0;
    r.Condition.JyakutenMax = 2.0;
    r.Condition.LastCurrentMin = 5.0;
    r.Condition.LastCurrentMax = 4.0;
    struct Case {
        double v;
        Judgment seikyoku, jyakuten, last;
    } cases[] = {
        {1.5, Judgment::Bad, Judgment::Good, Judgment::Good},
        {2.0, Judgment::Bad, Judgment::Good, Judgment::Good},
        {2.5, Judgment::Good, Judgment::Good, Judgment::Good},
        {3.5, Judgment::Good, Judgment::Bad, Judgment::Good},
        {5.5, Judgment::Good, Judgment::Bad, Judgment::Bad},
    };
    for (const auto& c : cases) {
        r.SeikyokuRatio = r.JyakutenRatio = r.LastCurrent = c.v;
        EXPECT_EQ(r.JudgeSeikyoku(), c.seikyoku) << c.v;
        EXPECT_EQ(r.JudgeJyakuten(), c.jyakuten) << c.v;
        EXPECT_EQ(r.JudgeLastCurrent(), c.last) << c.v;
    }
}

TEST(Condition, CabKindFromText)
{
    struct Case {
        std::string text;
        int32_t code;
    } cases[] = {
        {cp932::lit("３相一括"), 1},
        {cp932::lit("Ｒ相"), 2},
        {cp932::lit("Ｓ相"), 3},
        {cp932::lit("Ｔ相"), 4},
        {"None", 0},
        {"", 0},
        {cp932::lit("R相"), 0},
        {cp932::lit("Ｒ相 "), 0},
        {"\x82", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CabKindFromText(c.text), c.code) << cp932::toUtf8(c.text);
    for (int32_t code = 1; code <= 4; ++code)
        EXPECT_EQ(CabKindFromText(CabKindText(code)), code);
}

TEST(Condition, FromDefaults)
{
    DefaultConditionTexts t;
    t.CabKind = cp932::lit("Ｓ相");
    t.Shindan = cp932::lit("直流漏れ電流法");
    t.CurrentR = "1.5";
    t.CurrentS = "x";
    t.CurrentT = " 2";
    t.CabSectionalArea = "325";
    t.CabLength = "1200.5m";
    t.SeikyokuMin = "0.6";
    t.SeikyokuMax = "1.2";
    t.JyakutenMin = "1.1";
    t.JyakutenMax = "4";
    t.LastCurrentMin = "0.5";
    t.LastCurrentMax = "";
    struct Case {
        const char* text;
        double value;
    } insulation[] = {{"---", UNSET_VALUE}, {"", UNSET_VALUE}, {"100", 100.0}, {"abc", 0.0}};
    for (const auto& ins : insulation) {
        t.ShisuZetuen = ins.text;
        const CTestCondition c = ConditionFromDefaults(t);
        EXPECT_EQ(c.ShisuZetuen, ins.value) << ins.text;
        EXPECT_EQ(c.CabKind, CabKindS);
        EXPECT_EQ(c.Shindan, t.Shindan);
        EXPECT_EQ(c.CurrentR, 1.5);
        EXPECT_EQ(c.CurrentS, 0.0);
        EXPECT_EQ(c.CurrentT, 2.0);
        EXPECT_EQ(c.CabSectionalArea, 325.0);
        EXPECT_EQ(c.CabLength, 1200.5);
        EXPECT_EQ(c.SeikyokuMin, 0.6);
        EXPECT_EQ(c.SeikyokuMax, 1.2);
        EXPECT_EQ(c.JyakutenMin, 1.1);
        EXPECT_EQ(c.JyakutenMax, 4.0);
        EXPECT_EQ(c.LastCurrentMin, 0.5);
        EXPECT_EQ(c.LastCurrentMax, 0.0); // atof of an empty text
        // Not taken from the settings: the initial values stay.
        EXPECT_EQ(c.Weather, "");
        EXPECT_EQ(c.Temperature, 0.0);
        EXPECT_EQ(c.Humidity, 0.0);
        EXPECT_EQ(c.Remarks, "");
    }
    EXPECT_EQ(ConditionFromDefaults({}).CabKind, CabKindNone);
}

TEST(DataValue, NumericValueOfEveryTag)
{
    struct Case {
        int32_t tag;
        uint64_t payload;
        double value;
    } cases[] = {
        {CDataValue::Empty, 0x4045000000000000, 0.0},
        {CDataValue::Int16, 0xFFFE, -2.0},
        {CDataValue::Int16, 0xAAAA00000000007B, 123.0}, // only the low two bytes count
        {CDataValue::UInt16, 0xFFFE, 65534.0},
        {CDataValue::Bool, 2, 1.0},
        {CDataValue::Bool, 0x100000000, 0.0}, // an int: the upper bytes are not part of it
        {CDataValue::Int32, 0xFFFFFFFF, -1.0},
        {CDataValue::UInt32, 0xFFFFFFFF, 4294967295.0}, // -1 read as unsigned
        {CDataValue::UInt32, 0x80000000, 2147483648.0},
        {CDataValue::Long, 0xFFFFFF85, -123.0},
        {CDataValue::ULong, 0xFFFFFF85, 4294967173.0},
        {CDataValue::Double, 0x4045000000000000, 42.0},
        {CDataValue::Date, 0x40E2E52000000000, 38697.0},
        {12, 0x4045000000000000, 0.0}, // unknown tags are kept but have no number
        {-1, 0x4045000000000000, 0.0},
    };
    for (const auto& c : cases) {
        CDataValue v;
        v.setRaw(c.tag, c.payload);
        EXPECT_EQ(v.toDouble(), c.value) << "tag " << c.tag;
        EXPECT_EQ(v.payload(), c.payload) << "tag " << c.tag; // kept as read
    }

    CDataValue text;
    text.setText(CDataValue::Text, " 12.5uA");
    EXPECT_EQ(text.toDouble(), 12.5);
    text.setText(CDataValue::Text, "---");
    EXPECT_EQ(text.toDouble(), 0.0);
    text.setText(CDataValue::TextNoNumber, "12.5");
    EXPECT_EQ(text.toDouble(), 0.0);
}

TEST(DataValue, CopiesAndKindChanges)
{
    CDataValue a;
    a.setText(CDataValue::TextNoNumber, cp932::lit("表示"));
    CDataValue b(a);
    CDataValue c;
    c.setDouble(3.0);
    c = a;
    a.setText(CDataValue::Text, "9");
    EXPECT_EQ(b.tag(), CDataValue::TextNoNumber);
    EXPECT_EQ(b.text(), cp932::lit("表示")); // a deep copy, not affected by a's change
    EXPECT_EQ(c, b);
    EXPECT_NE(a, b);

    a.setDouble(1.5); // the text of the previous kind is released
    EXPECT_EQ(a.text(), "");
    EXPECT_FALSE(a.isText());
    EXPECT_EQ(a.toDouble(), 1.5);
    c.setRaw(CDataValue::Int32, 7);
    EXPECT_EQ(c.text(), "");
    EXPECT_EQ(c.toDouble(), 7.0);

    CDataValue& self = b;
    b = self;
    EXPECT_EQ(b.text(), cp932::lit("表示"));

    // A move hands the text over and leaves an empty value behind.
    CDataValue moved(std::move(b));
    EXPECT_EQ(moved.text(), cp932::lit("表示"));
    EXPECT_EQ(b, CDataValue()); // NOLINT(bugprone-use-after-move): a moved-from value is empty by design
    c = std::move(moved);
    EXPECT_EQ(c.text(), cp932::lit("表示"));

    // The text kinds have no payload: a raw one becomes the kind with an empty text.
    c.setRaw(CDataValue::Text, 0x1234);
    EXPECT_TRUE(c.isText());
    EXPECT_EQ(c.text(), "");
    EXPECT_EQ(c.payload(), 0u);
    EXPECT_EQ(c, CDataValue::Raw(CDataValue::Text, 0));
}

TEST(MeasRecord, DeepCopyAndCompleteness)
{
    CMeasRecord r = recordWith({{11, 6}, {12, 7}});
    r.Points[0].value.setText(CDataValue::Text, "6");
    r.Condition.Remarks = "x";
    r.RecalcFinalAndTriggers(-1, 10);
    EXPECT_FALSE(r.IsComplete()); // no valid start time yet
    r.StartTime = *OleDateTime::fromCalendar({2005, 12, 11, 10, 0, 0});
    EXPECT_TRUE(r.IsComplete());

    CMeasRecord copy = r;
    r.Points[0].value.setText(CDataValue::Text, "1");
    r.Triggers[0].start = 99;
    r.Condition.Remarks = "y";
    EXPECT_EQ(copy.Points[0].value.text(), "6");
    EXPECT_EQ(copy.Triggers[0].start, 11);
    EXPECT_EQ(copy.Condition.Remarks, "x");

    copy.Reset();
    EXPECT_EQ(copy, CMeasRecord());
    EXPECT_EQ(copy.DataNo, -1);
    EXPECT_EQ(copy.SeikyokuRatio, UNSET_VALUE);
    EXPECT_EQ(copy.StartTime.status, OleDateTime::Invalid);
    EXPECT_FALSE(copy.IsComplete());
}

TEST(ApplyCondition, CopiesWholeBlockToEveryRecord)
{
    CMeasData set;
    set.AppendRecord(recordWith({}, 1.0));
    set.AppendRecord(recordWith({}, 2.0));
    CTestCondition c;
    c.CabKind = CabKindT;
    c.Weather = cp932::lit("晴");
    c.LastCurrentMax = 20.0;
    ApplyCondition(set, c);
    for (const auto& r : set.Records())
        EXPECT_EQ(r.Condition, c);
}

} // namespace
