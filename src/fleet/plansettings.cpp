// [Plan] and [Health] of system.ini: read with defaults, written only when changed.
#include "fleet/plansettings.h"

#include <charconv>
#include <cmath>

#include "settings/inifile.h"

namespace fleet {
namespace {

constexpr const char* kPlan = "Plan";
constexpr const char* kHealth = "Health";

enum class Range { Months, Days, Factor, Positive, Points };

struct IntKey {
    const char* name;
    int PlanSettings::*field;
    Range range;
};

struct RealKey {
    const char* section;
    const char* name;
    double PlanSettings::*plan = nullptr;
    double ScoreWeights::*weight = nullptr;
    Range range;
};

constexpr IntKey kIntKeys[] = {
    {"DefaultInterval", &PlanSettings::defaultIntervalMonths, Range::Months},
    {"WarningDays", &PlanSettings::warningDays, Range::Days},
    {"MinInterval", &PlanSettings::minIntervalMonths, Range::Months},
};

constexpr RealKey kRealKeys[] = {
    {kPlan, "CautionFactor", &PlanSettings::cautionFactor, nullptr, Range::Factor},
    {kPlan, "BadFactor", &PlanSettings::badFactor, nullptr, Range::Factor},
    {kPlan, "GrowthLimit", &PlanSettings::growthLimitPercent, nullptr, Range::Positive},
    {kPlan, "GrowthFactor", &PlanSettings::growthFactor, nullptr, Range::Factor},
    {kPlan, "UnbalanceFactor", &PlanSettings::unbalanceFactor, nullptr, Range::Factor},
    {kPlan, "SignFactor", &PlanSettings::signFactor, nullptr, Range::Factor},
    {kHealth, "Bad", nullptr, &ScoreWeights::bad, Range::Points},
    {kHealth, "Caution", nullptr, &ScoreWeights::caution, Range::Points},
    {kHealth, "Unbalance", nullptr, &ScoreWeights::unbalance, Range::Points},
    {kHealth, "Combined", nullptr, &ScoreWeights::combined, Range::Points},
    {kHealth, "Kick", nullptr, &ScoreWeights::kick, Range::Points},
    {kHealth, "Rise", nullptr, &ScoreWeights::rise, Range::Points},
    {kHealth, "Knee", nullptr, &ScoreWeights::knee, Range::Points},
    {kHealth, "Growth", nullptr, &ScoreWeights::growth, Range::Points},
};

bool inRange(double v, Range r)
{
    if (!std::isfinite(v))
        return false;
    switch (r) {
    case Range::Months: return v >= 1 && v <= 240;
    case Range::Days: return v >= 0 && v <= 3660;
    case Range::Factor: return v > 0 && v <= 1;
    case Range::Positive: return v > 0;
    case Range::Points: return v >= 0 && v <= 100;
    }
    return false;
}

std::string numberText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

double& field(FleetSettings& s, const RealKey& k)
{
    return k.plan ? s.plan.*k.plan : s.weights.*k.weight;
}

double field(const FleetSettings& s, const RealKey& k)
{
    return k.plan ? s.plan.*k.plan : s.weights.*k.weight;
}

} // namespace

FleetSettings ReadFleetSettings(const std::string& systemIniPath)
{
    FleetSettings s;
    const FleetSettings defaults;
    CIniFile ini(systemIniPath);
    CIniFile::Batch batch(ini);
    for (const IntKey& k : kIntKeys) {
        const int def = defaults.plan.*k.field;
        const double v = ini.GetDouble(kPlan, k.name, def, false);
        s.plan.*k.field = inRange(v, k.range) && v == std::floor(v) ? static_cast<int>(v) : def;
    }
    for (const RealKey& k : kRealKeys) {
        const double def = field(defaults, k);
        const double v = ini.GetDouble(k.section, k.name, def, false);
        field(s, k) = inRange(v, k.range) ? v : def;
    }
    return s;
}

bool WriteFleetSettings(const std::string& systemIniPath, const FleetSettings& s)
{
    const FleetSettings defaults;
    CIniFile ini(systemIniPath);
    ini.BeginBatch();
    for (const IntKey& k : kIntKeys) {
        const int v = s.plan.*k.field;
        if (v != defaults.plan.*k.field || ini.Find(kPlan, k.name))
            ini.SetString(kPlan, k.name, std::to_string(v));
    }
    for (const RealKey& k : kRealKeys) {
        const double v = field(s, k);
        if (v != field(defaults, k) || ini.Find(k.section, k.name))
            ini.SetString(k.section, k.name, numberText(v));
    }
    return ini.EndBatch();
}

} // namespace fleet
