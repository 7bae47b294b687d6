// Display texts of values, judgments, criteria and dates, and the date/time editors' inverse.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

#include "model/cp932text.h"
#include "model/format.h"

using namespace mxrfmt;

namespace {

// CP932 result as UTF-8 so that expectations can be written as plain literals.
std::string u(const std::string& cp932Text)
{
    return cp932::toUtf8(cp932Text);
}

OleDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return *OleDateTime::fromCalendar({y, mo, d, h, mi, s});
}

CMeasRecord recordWithTimes(std::initializer_list<double> times)
{
    CMeasRecord r;
    for (double t : times)
        r.Points.push_back({CDataValue(1.0), t});
    r.UsedPoints = static_cast<int32_t>(r.Points.size());
    return r;
}

TEST(ElapsedText, Table)
{
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {
        {0.0, "00:00.0"},   {75.34, "01:15.3"}, {3599.96, "60:00.0"}, {6000.0, "100:00.0"},
        {59.96, "01:00.0"}, {59.94, "00:59.9"}, {119.95, "02:00.0"},  {0.2 * 3, "00:00.6"},
        {600.0, "10:00.0"}, {-5.5, "-00:05.5"}, {-0.01, "00:00.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ElapsedText(c.seconds), c.text) << c.seconds;
    // Times only a damaged file can hold never reach an integer conversion.
    EXPECT_EQ(ElapsedText(NAN), "---");
    EXPECT_EQ(ElapsedText(INFINITY), "---");
    EXPECT_EQ(ElapsedText(1e300), "---");
    EXPECT_EQ(ElapsedText(1e12), "---") << "beyond any time a point can carry";
    EXPECT_EQ(ElapsedText(kMaxElapsedSeconds), "1666:39.9");
}

TEST(ElapsedText, SameAsPrintfFormOverTheValidRange)
{
    // The digits are written by hand; the printf form of the same minutes, seconds and tenths
    // is the reference.
    auto printfForm = [](double seconds) {
        const double s = std::fabs(seconds);
        long long n = static_cast<long long>(std::trunc(s));
        long long tenths = std::llround((s - std::trunc(s)) * 10.0);
        if (tenths >= 10)
            tenths = 0, ++n;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s%0*lld:%02lld.%lld",
                      seconds < 0 && (n > 0 || tenths > 0) ? "-" : "", 2, n / 60, n % 60, tenths);
        return std::string(buf);
    };
    for (int i = -20000; i <= 20000; ++i) {
        const double t = i * (kMaxElapsedSeconds / 20000.0) + 0.05 * (i % 7);
        if (IsValidElapsed(t)) {
            ASSERT_EQ(ElapsedText(t), printfForm(t)) << t;
        }
    }
}

TEST(CurrentText, RangeFlagChoosesDecimals)
{
    EXPECT_EQ(CurrentText(2.345, 1), "   2.3");
    EXPECT_EQ(CurrentText(2.345, 0), " 2.345");
    EXPECT_EQ(CurrentText(1234.5678, 0), "1234.568"); // wider than six: not cut
    EXPECT_EQ(CurrentText(-0.5, 2), "-0.500");        // any flag but 1 means three decimals

    CMeasPoint p{CDataValue(12.34), 80.26};
    EXPECT_EQ(PointValueText(p, 1), "  12.3");
    EXPECT_EQ(PointTimeText(p), "01:20.3");
    CTriggerEvent e{CDataValue(7.0), 12.0, 3599.99};
    EXPECT_EQ(TriggerMaxText(e, 0), " 7.000");
    EXPECT_EQ(TriggerStartText(e), "00:12.0");
    EXPECT_EQ(TriggerStopText(e), "60:00.0");

    // A current only a damaged file holds reads "---", as does a missing final value.
    for (double v : {NAN, INFINITY, -INFINITY})
        EXPECT_EQ(PointValueText({CDataValue(v), 1.0}, 1), "---") << v;
    CMeasRecord r;
    r.LastCurrent = UNSET_VALUE;
    EXPECT_EQ(LastCurrentText(r), "---");
    // Stored derived values that are not finite get no judgment word.
    r.LastCurrent = NAN;
    r.SeikyokuRatio = INFINITY;
    r.JyakutenRatio = -INFINITY;
    EXPECT_EQ(LastCurrentJudgedText(r), "---");
    EXPECT_EQ(SeikyokuJudgedText(r), "---");
    EXPECT_EQ(JyakutenJudgedText(r), "---");
}

TEST(RecordTexts, HeaderValues)
{
    CMeasRecord r;
    r.TestVoltage = 12.345678;
    r.TriggerLevel = 2.46;
    r.LastCurrent = 2.345;
    EXPECT_EQ(TestVoltageText(r), "12.35");
    EXPECT_EQ(TriggerLevelText(r), "2.5");
    EXPECT_EQ(LastCurrentText(r), " 2.345");
    r.RangeFlag = 1;
    EXPECT_EQ(LastCurrentText(r), "   2.3");
}

TEST(RecordTexts, JudgedValues)
{
    // Default criteria: polarization 0.5 / 1.0, weak point 1.0 / 5.0, final value 1.0 / 10.0.
    struct Case {
        const char* name;
        std::string (*text)(const CMeasRecord&);
        void (*setUp)(CMeasRecord&);
        const char* expected;
    } cases[] = {
        {"seikyoku good", SeikyokuJudgedText, [](CMeasRecord& r) { r.SeikyokuRatio = 1.26; },
         "1.3 (良)"},
        {"seikyoku caution", SeikyokuJudgedText, [](CMeasRecord& r) { r.SeikyokuRatio = 0.7; },
         "0.7 (注意)"},
        {"seikyoku bad", SeikyokuJudgedText, [](CMeasRecord& r) { r.SeikyokuRatio = 0.5; },
         "0.5 (不良)"},
        {"seikyoku hidden", SeikyokuJudgedText,
         [](CMeasRecord& r) {
             r.SeikyokuRatio = 1.26;
             r.ShowSeikyoku = 0;
         },
         ""},
        {"seikyoku unset", SeikyokuJudgedText, [](CMeasRecord&) {}, "---"},
        {"jyakuten unset", JyakutenJudgedText, [](CMeasRecord&) {}, "---"},
        {"jyakuten hidden", JyakutenJudgedText, [](CMeasRecord& r) { r.ShowJyakuten = 0; }, ""},
        {"jyakuten bad", JyakutenJudgedText, [](CMeasRecord& r) { r.JyakutenRatio = 5.0; },
         "5.0 (不良)"},
        {"jyakuten good", JyakutenJudgedText, [](CMeasRecord& r) { r.JyakutenRatio = 0.04; },
         "0.0 (良)"},
        {"final value range 1", LastCurrentJudgedText,
         [](CMeasRecord& r) {
             r.RangeFlag = 1;
             r.LastCurrent = 12.3;
         },
         "  12.3 (不良)"},
        {"final value range 0", LastCurrentJudgedText, [](CMeasRecord& r) { r.LastCurrent = 1.0; },
         " 1.000 (良)"},
        {"final value caution", LastCurrentJudgedText,
         [](CMeasRecord& r) { r.LastCurrent = 9.9996; }, "10.000 (注意)"},
        {"final value unset", LastCurrentJudgedText,
         [](CMeasRecord& r) { r.LastCurrent = UNSET_VALUE; }, "---"},
    };
    for (const auto& c : cases) {
        CMeasRecord r;
        c.setUp(r);
        EXPECT_EQ(u(c.text(r)), c.expected) << c.name;
    }
}

TEST(RecordTexts, MeasuringTime)
{
    CMeasRecord none = recordWithTimes({});
    EXPECT_EQ(MeasuringTimeText(none), "0.0");

    CMeasRecord r = recordWithTimes({0.0, 30.0, 59.96, 120.0});
    r.UsedPoints = 3;
    EXPECT_EQ(MeasuringTimeText(r), "01:00.0");
    r.UsedPoints = 0;
    EXPECT_EQ(MeasuringTimeText(r), "0.0");
    r.UsedPoints = 99; // more than the record holds (a damaged file): the last point
    EXPECT_EQ(MeasuringTimeText(r), "02:00.0");
}

TEST(ConditionTexts, NumbersAndKinds)
{
    CTestCondition c;
    const char* kinds[] = {"None", "３相一括", "Ｒ相", "Ｓ相", "Ｔ相", "None"};
    for (int code = 0; code <= 5; ++code) {
        c.CabKind = code;
        EXPECT_EQ(u(ConditionText(c)), kinds[code]) << code;
    }
    c.CabKind = -1;
    EXPECT_EQ(ConditionText(c), "None");

    EXPECT_EQ(NumberText(0.55), "0.6"); // what the settings get back for an entered 0.55
    EXPECT_EQ(NumberText(22.0), "22.0");
    EXPECT_EQ(NumberText(-3.04), "-3.0");
}

TEST(ConditionTexts, Insulation)
{
    struct Case {
        double v;
        const char* text;
    } cases[] = {
        {UNSET_VALUE, ""}, {0.0, "0"},         {25.0, "25"},         {1000000.0, "1000000"},
        {12.30, "12.3"},   {0.5, "0.5"},       {12.34, "12.34"},     {123.45, "123.4"},
        {1234.56, "1234"}, {10000.5, "10000"}, {123456.7, "123456"}, {99.999, "100"},
        {0.004, "0"},      {-1.5, "-1.5"},     {-12.34, "-12.3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InsulationText(c.v), c.text) << c.v;
}

TEST(ConditionTexts, Criteria)
{
    CTestCondition c;
    EXPECT_EQ(u(SeikyokuCriterionText(c)), "不良← 0.5～1.0 →良");
    EXPECT_EQ(u(JyakutenCriterionText(c)), "　良← 1.0～5.0 →不良");
    EXPECT_EQ(u(LastCurrentCriterionText(c)), "　良← 1.000～10.000 →不良");
    // The leading space is the full-width one and the tilde the CP932 wave dash.
    EXPECT_EQ(JyakutenCriterionText(c).substr(0, 2), "\x81\x40");
    EXPECT_NE(SeikyokuCriterionText(c).find("0.5\x81\x60"
                                            "1.0"),
              std::string::npos);

    c.SeikyokuMin = 0.55;
    c.SeikyokuMax = 12.0;
    c.LastCurrentMin = 0.0125;
    c.LastCurrentMax = 100.0;
    EXPECT_EQ(u(SeikyokuCriterionText(c)), "不良← 0.6～12.0 →良");
    EXPECT_EQ(u(LastCurrentCriterionText(c)), "　良← 0.013～100.000 →不良");
}

TEST(DateTexts, ValidInvalidNull)
{
    CMeasRecord r;
    r.StartTime = at(2005, 12, 11, 9, 5, 7);
    EXPECT_EQ(StartDateTimeText(r), "2005/12/11 09:05:07");
    EXPECT_EQ(StartDateText(r), "2005/12/11");
    EXPECT_EQ(StartClockText(r), "09:05:07");

    r.StartTime.status = OleDateTime::Invalid;
    EXPECT_EQ(StartDateTimeText(r), "Invalid DateTime");
    EXPECT_EQ(StartDateText(r), "Invalid DateTime");
    EXPECT_EQ(StartClockText(r), "Invalid DateTime");

    r.StartTime.status = OleDateTime::Null;
    EXPECT_EQ(StartDateTimeText(r), "");
    EXPECT_EQ(StartClockText(r), "");
}

TEST(DateTexts, WholeSecondNeverShowsOneShort)
{
    // A stored whole second is often a hair below its exact value as a fraction of a day.
    CMeasRecord r;
    r.StartTime = at(2005, 12, 11, 23, 59, 59);
    for (int ulps = 0; ulps < 8; ++ulps) {
        EXPECT_EQ(StartClockText(r), "23:59:59") << ulps;
        r.StartTime.date = std::nextafter(r.StartTime.date, 0.0);
    }
    r.StartTime.date = at(2005, 12, 12, 0, 0, 0).date - 0.4 / 86400;
    EXPECT_EQ(StartDateTimeText(r), "2005/12/12 00:00:00");
}

TEST(DateEditors, JoinWithTheOtherPart)
{
    CMeasRecord r;
    r.StartTime = at(2005, 12, 11, 10, 20, 30);
    SetStartDateFromText(r, "2006/1/2");
    EXPECT_EQ(r.StartTime.status, OleDateTime::Valid);
    EXPECT_EQ(StartDateTimeText(r), "2006/01/02 10:20:30");

    SetStartClockFromText(r, "23:59:58");
    EXPECT_EQ(StartDateTimeText(r), "2006/01/02 23:59:58");

    SetStartClockFromText(r, "24:00:00");
    EXPECT_EQ(r.StartTime, (OleDateTime{0.0, OleDateTime::Invalid}));

    r.StartTime = at(2005, 12, 11, 10, 20, 30);
    SetStartDateFromText(r, "not a date");
    EXPECT_EQ(r.StartTime, (OleDateTime{0.0, OleDateTime::Invalid}));
    EXPECT_EQ(StartDateText(r), "Invalid DateTime");
}

TEST(DateEditors, RecordWithoutDateCanBeRepaired)
{
    // The other part shows "Invalid DateTime" or "": it is left out instead of making every
    // edit fail.
    CMeasRecord r; // invalid start time
    SetStartDateFromText(r, "2005/12/11");
    EXPECT_EQ(StartDateTimeText(r), "2005/12/11 00:00:00");

    r.StartTime = OleDateTime{0.0, OleDateTime::Invalid};
    SetStartClockFromText(r, "08:30:00");
    EXPECT_EQ(StartDateTimeText(r), "1899/12/30 08:30:00");
    SetStartDateFromText(r, "2005/12/11");
    EXPECT_EQ(StartDateTimeText(r), "2005/12/11 08:30:00");

    r.StartTime = OleDateTime{0.0, OleDateTime::Null};
    SetStartDateFromText(r, "05/12/11"); // two-digit year
    EXPECT_EQ(StartDateTimeText(r), "2005/12/11 00:00:00");
}

// Restores the C locale when a test that switched it ends, however it ends.
struct LocaleGuard {
    ~LocaleGuard() { std::setlocale(LC_ALL, "C"); }
};

TEST(Formatting, IndependentOfNumericLocale)
{
    LocaleGuard guard;
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                             "ru_RU.UTF-8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            found = true;
            break;
        }
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    if (!found || std::string(probe) != "1,5")
        GTEST_SKIP() << "no installed locale writes a decimal comma";

    EXPECT_EQ(CurrentText(2.345, 0), " 2.345");
    EXPECT_EQ(NumberText(0.55), "0.6");
    EXPECT_EQ(InsulationText(123.45), "123.4");
    EXPECT_EQ(ElapsedText(75.34), "01:15.3");
    EXPECT_EQ(u(SeikyokuCriterionText(CTestCondition{})), "不良← 0.5～1.0 →良");
    EXPECT_EQ(mxrAtof("1.5"), 1.5);
    EXPECT_EQ(mxrAtof("1,5"), 1.0);
    EXPECT_EQ(optionalNumber(" 2.25"), 2.25);

    CMeasRecord r;
    r.StartTime = *OleDateTime::parse("2005/12/11 10:20:30");
    SetStartClockFromText(r, "11:00:00");
    EXPECT_EQ(StartDateTimeText(r), "2005/12/11 11:00:00");
}

} // namespace
