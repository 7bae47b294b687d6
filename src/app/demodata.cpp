// The sample store and folder of demo mode, built from the tester emulator's records.
#include "app/demodata.h"

#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "model/cp932text.h"
#include "model/oledate.h"
#include "store/store.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

namespace demo {
namespace {

struct DemoCable {
    const char* name;               // UTF-8
    double length;                  // m
    double area;                    // mm²
    std::vector<int> qualityByYear; // 0 good, 1 doubtful, 2 bad, one per inspection year
};

struct DemoCustomer {
    const char* name; // UTF-8
    int month;        // of the yearly inspection
    std::vector<DemoCable> cables;
};

// Three customers, each inspected every year from 2022 to 2025; one cable stays good, others
// age into doubtful and bad, one is bad from the start.
const std::vector<DemoCustomer>& customers()
{
    static const std::vector<DemoCustomer> list = {
        {"青葉電機工業",
         4,
         {{"1号受電 CV 6.6kV", 120.0, 60.0, {0, 0, 0, 0}},
          {"2号変圧器 CV", 85.0, 38.0, {0, 1, 1, 2}}}},
        {"港南製鉄所",
         6,
         {{"A系統 CVT 22kV", 640.0, 150.0, {0, 0, 1, 1}},
          {"B系統 CVT 22kV", 610.0, 150.0, {2, 2, 2, 2}},
          {"構内配電 CV", 240.0, 100.0, {0, 0, 0, 1}}}},
        {"北山化学", 10, {{"本館引込 CV 6.6kV", 310.0, 60.0, {1, 1, 0, 0}}}},
    };
    return list;
}

constexpr int kFirstYear = 2022;
constexpr int kVoltageSteps = 4; // 2, 4, 6, 8 kV

const int32_t kPhaseKinds[3] = {CabKindR, CabKindS, CabKindT};
const char* const kPhaseNames[3] = {"R相", "S相", "T相"};

std::string cp(const char* utf8)
{
    return cp932::fromUtf8(utf8).value_or(std::string());
}

// The 8 kV current (μA) of each cable state and how the current grows with the voltage
// (I ∝ V^exponent): a sound cable stays a little below proportional (弱点比 about 0.9, 良), a
// doubtful one grows faster (弱点比 1.1-1.4, 注意), a bad one breaks down at the top step
// (弱点比 above 5, 不良). The slow absorption keeps a sound cable's current falling after the
// first minute (成極比 about 1.25, 良); a doubtful cable's current creeps up (成極比 about 0.85,
// 注意), a bad one's climbs (成極比 about 0.45, 不良). Values stay clear of the criteria's
// boundaries, so a demonstration shows each judgment for a reason one can see.
struct CableState {
    double at8kV;         // μA, steady leakage at the top step
    double exponent;      // I ∝ V^exponent over the lower steps
    double topFactor;     // extra factor at the top step (the breakdown of a bad cable)
    double slowAbsorb;    // × leakage
    double risePerMinute; // × leakage per minute after the first minute
};

constexpr CableState kStates[3] = {
    {0.35, 0.8, 1.0, 3.0, 0.0}, // good: 0.6 μA final at 8 kV
    {4.0, 1.5, 1.0, 0.5, 0.5},  // doubtful: 5.4 μA
    {4.5, 1.3, 9.0, 0.0, 2.6},  // bad: 1.7-7 μA below, about 90 μA at the top
};

constexpr double kPhaseFactor[3] = {1.0, 1.06, 0.95};

// One step test: the emulator's records of one phase, stamped with the inspection's date.
std::vector<CMeasRecord> stepTest(uint32_t seed, int quality, int phase, const CalendarTime& day)
{
    const CableState& st = kStates[std::clamp(quality, 0, 2)];
    // A cable-to-cable spread of ±15 % from the seed.
    uint32_t x = seed * 2654435761u + 12345u;
    x ^= x >> 13;
    const double spread = 0.85 + 0.3 * ((x % 1000u) / 1000.0);
    EmulatorOptions o;
    o.seed = seed;
    o.measureSeconds = 90;
    for (int k = 1; k <= kVoltageSteps; ++k) {
        EmulatorRecordShape shape;
        shape.phase = phase;
        shape.voltage = 200 * k;
        const double v = 2.0 * k;
        double leak = st.at8kV * spread * kPhaseFactor[phase] * std::pow(v / 8.0, st.exponent);
        if (k == kVoltageSteps)
            leak *= st.topFactor;
        shape.leak = leak;
        shape.absorb = 15.0 * leak;
        shape.tau = 5.0; // gone by the first minute: the ratios show the slow part only
        shape.slowAbsorb = st.slowAbsorb * leak;
        shape.risePerMinute = st.risePerMinute * leak;
        shape.rangeFlag = 0;
        // The trigger setting well above the curve (at least 5 μA); a bad cable's top step
        // discharges past it once.
        shape.trigger = std::clamp(static_cast<int>(leak * 100), 50, 9999);
        shape.kicks = quality == 2 && k == kVoltageSteps - 1 ? 1 : 0;
        CalendarTime t = day;
        t.hour = 9 + phase;
        t.minute = 12 * (k - 1);
        shape.start = t;
        o.shapes.push_back(shape);
    }
    const TesterEmulator emu(o);
    return {emu.expected().begin(), emu.expected().end()};
}

CTestCondition conditionFor(const DemoCable& cable, int phase, int yearIndex)
{
    CTestCondition c;
    c.CabKind = kPhaseKinds[phase];
    c.CabLength = cable.length;
    c.CabSectionalArea = cable.area;
    c.CurrentR = 12.0 + yearIndex;
    c.CurrentS = 12.4 + yearIndex;
    c.CurrentT = 11.8 + yearIndex;
    c.ShisuZetuen = 2000.0 - 300.0 * cable.qualityByYear[static_cast<std::size_t>(yearIndex)];
    c.Weather = cp(yearIndex % 2 ? "曇" : "晴");
    c.Temperature = 18.0 + 2 * yearIndex;
    c.Humidity = 55.0 + 5 * phase;
    return c;
}

// The cable the analysis windows are shown with: ten yearly step tests per phase whose leakage
// grows by a quarter a year, the T phase running away in the last three years (unbalanced,
// with a knee at the top step in the last one), and a long last measurement of R whose
// current creeps upwards.
constexpr int kTrendFirstYear = 2016;
constexpr int kTrendYears = 10;

std::vector<CMeasRecord> trendStepTest(uint32_t seed, int yearIndex, int phase,
                                       const CalendarTime& day)
{
    const bool last = yearIndex == kTrendYears - 1;
    const bool runaway = phase == 2 && yearIndex >= kTrendYears - 3;
    const double base8kV = 0.27 * std::pow(1.28, yearIndex); // μA at 8 kV
    double factor = phase == 0 ? 1.0 : phase == 1 ? 1.08 : 1.05;
    if (runaway)
        factor = yearIndex == kTrendYears - 3 ? 3.0 : yearIndex == kTrendYears - 2 ? 5.0 : 10.0;
    // Sound years: the current grows a little less than the voltage (弱点比 about 0.9); from
    // the seventh year on it grows faster (弱点比 1.05-1.15, 注意).
    const double exponent = yearIndex < 6 ? 0.85 : 1.2;
    EmulatorOptions o;
    o.seed = seed;
    o.measureSeconds = 90;
    for (int k = 1; k <= kVoltageSteps; ++k) {
        EmulatorRecordShape shape;
        shape.phase = phase;
        shape.voltage = 200 * k;
        shape.leak = base8kV * factor * std::pow(k / double(kVoltageSteps), exponent);
        if (last && phase == 2 && k == kVoltageSteps)
            shape.leak *= 2.6; // the knee
        shape.absorb = 8.0 * shape.leak;
        shape.tau = 6.0;
        // The slow absorption of sound insulation (成極比 about 1.2); the running-away phase
        // creeps upwards instead (成極比 about 0.7).
        shape.slowAbsorb = runaway ? 0.0 : 2.5 * shape.leak;
        shape.risePerMinute = runaway ? 0.8 * shape.leak : 0.0;
        shape.rangeFlag = 0;
        shape.trigger = std::max(50, static_cast<int>(shape.leak * 100)); // 10 × the leakage
        shape.kicks = yearIndex == kTrendYears - 2 && phase == 2 && k == kVoltageSteps ? 1 : 0;
        if (last && phase == 0 && k == kVoltageSteps) {
            shape.measureSeconds = 600;
            shape.risePerMinute = 0.04 * shape.leak;
        }
        CalendarTime t = day;
        t.hour = 9 + phase;
        t.minute = 12 * (k - 1);
        shape.start = t;
        o.shapes.push_back(shape);
    }
    const TesterEmulator emu(o);
    return {emu.expected().begin(), emu.expected().end()};
}

void addTrendCustomer(CCustomerDB& db)
{
    const DemoCable pump{"送水ポンプ CV 6.6kV", 180.0, 38.0, {}};
    CCustomer& customer = db.customers.At(db.customers.FindOrInsert(cp("南風台浄水場")));
    CCable& cable = customer.cables.At(customer.cables.FindOrInsert(cp(pump.name)));
    uint32_t seed = 500;
    for (int y = 0; y < kTrendYears; ++y) {
        CalendarTime day;
        day.year = kTrendFirstYear + y;
        day.month = 8;
        day.day = 20;
        for (int phase = 0; phase < 3; ++phase) {
            const std::string setName =
                std::to_string(day.year) + cp("年 ") + cp(kPhaseNames[phase]);
            CMeasData& set = cable.sets.At(cable.sets.FindOrInsert(setName));
            for (const CMeasRecord& r : trendStepTest(++seed, y, phase, day))
                set.InsertRecord(r);
            RecalcRatios(set);
            CTestCondition c;
            c.CabKind = kPhaseKinds[phase];
            c.CabLength = pump.length;
            c.CabSectionalArea = pump.area;
            c.CurrentR = 10.0 + 0.2 * y;
            c.CurrentS = 10.3 + 0.2 * y;
            c.CurrentT = 10.1 + 0.2 * y + (y >= kTrendYears - 3 ? 30.0 * (y - 6) : 0.0);
            c.ShisuZetuen = 3000.0 - 250.0 * y;
            c.Weather = cp(y % 3 ? "晴" : "曇");
            c.Temperature = 26.0 + y % 4;
            c.Humidity = 60.0 + 2 * phase;
            ApplyCondition(set, c);
        }
    }
}

} // namespace

CCustomerDB BuildStore()
{
    CCustomerDB db;
    uint32_t seed = 100;
    for (const DemoCustomer& cs : customers()) {
        CCustomer& customer = db.customers.At(db.customers.FindOrInsert(cp(cs.name)));
        for (const DemoCable& ks : cs.cables) {
            CCable& cable = customer.cables.At(customer.cables.FindOrInsert(cp(ks.name)));
            for (std::size_t y = 0; y < ks.qualityByYear.size(); ++y) {
                const int year = kFirstYear + static_cast<int>(y);
                CalendarTime day;
                day.year = year;
                day.month = cs.month;
                day.day = 10 + static_cast<int>(y);
                for (int phase = 0; phase < 3; ++phase) {
                    const std::string setName =
                        std::to_string(year) + cp("年 ") + cp(kPhaseNames[phase]);
                    CMeasData& set = cable.sets.At(cable.sets.FindOrInsert(setName));
                    for (const CMeasRecord& r : stepTest(++seed, ks.qualityByYear[y], phase, day))
                        set.InsertRecord(r);
                    RecalcRatios(set);
                    ApplyCondition(set, conditionFor(ks, phase, static_cast<int>(y)));
                }
            }
        }
    }
    addTrendCustomer(db);
    return db;
}

EmulatorOptions DumpOptions(const CalendarTime& today)
{
    // What the tester brings back to the office: yesterday afternoon's step test of one
    // sound cable's R phase, 2 to 8 kV, one record after the other. Never dated after the day
    // it is received.
    CalendarTime first{};
    if (const auto midnight = OleDateTime::fromCalendar({today.year, today.month, today.day}))
        if (const auto before =
                OleDateTime{midnight->date - 1.0 + 14.0 / 24.0, OleDateTime::Valid}.toCalendar())
            first = *before;
    EmulatorOptions o;
    o.seed = 7;
    o.measureSeconds = 90;
    for (int k = 1; k <= 4; ++k) {
        EmulatorRecordShape shape;
        shape.phase = 0;
        shape.voltage = 200 * k;
        shape.leak = 0.4 * std::pow(k / 4.0, 0.8);
        shape.absorb = 15.0 * shape.leak;
        shape.tau = 5.0;
        shape.slowAbsorb = 3.0 * shape.leak;
        shape.rangeFlag = 0;
        shape.trigger = 50;
        shape.kicks = 0;
        o.shapes.push_back(shape);
    }
    o.firstStart = first;
    return o;
}

EmulatorOptions DumpOptions()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    CalendarTime today{};
    today.year = local.tm_year + 1900;
    today.month = local.tm_mon + 1;
    today.day = local.tm_mday;
    return DumpOptions(today);
}

bool PrepareFolder(const std::string& folder, const std::string& baseName,
                   const std::string& devicePath, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const std::string storePath = folder + "/DATA/MXR.DAT";
    CCustomerDB db;
    if (fs::exists(storePath)) {
        const StoreOutcome loaded = LoadStore(db, storePath);
        if (!loaded.ok) {
            error = cp932::toUtf8(loaded.message);
            return false;
        }
    } else {
        db = BuildStore();
        const StoreOutcome saved = SaveStore(db, storePath);
        if (!saved.ok) {
            error = cp932::toUtf8(saved.message);
            return false;
        }
    }
    // The reception opens the port the store's communication settings select.
    CIniFile ini(folder + "/" + baseName + ".INI");
    const std::string key = "COM" + std::to_string(db.comm.port);
    if (!ini.SetString(inisec::Ports, key, devicePath)) {
        error = "cannot write " + ini.Path();
        return false;
    }
    return true;
}

} // namespace demo
