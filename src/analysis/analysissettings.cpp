// The analysis limits in system.ini [Analysis]: read with defaults, written only when changed
// or already present.
#include "analysis/analysissettings.h"

#include <charconv>
#include <cmath>

#include "settings/inifile.h"
#include "settings/settingskeys.h"

namespace {

struct Key {
    const char* name;
    double AnalysisThresholds::*field;
    bool zeroAllowed; // false: the value must be above zero
};

constexpr Key kKeys[] = {
    {inikey::UnbalanceLimit, &AnalysisThresholds::unbalanceLimitPercent, false},
    {inikey::SpikeFactor, &AnalysisThresholds::spikeFactor, false},
    {inikey::SpikeWindowSec, &AnalysisThresholds::spikeWindowSeconds, false},
    {inikey::SpikeMinDelta, &AnalysisThresholds::spikeMinDelta, true},
    {inikey::RiseMinutes, &AnalysisThresholds::riseWindowMinutes, false},
    {inikey::RiseSlopePercent, &AnalysisThresholds::riseSlopePercentPerMinute, false},
    {inikey::KneeFactor, &AnalysisThresholds::kneeFactor, false},
};

// The shortest text that reads back as the same number: "200", "1.5".
std::string numberText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

} // namespace

AnalysisThresholds ReadAnalysisThresholds(const std::string& systemIniPath)
{
    AnalysisThresholds t;
    const AnalysisThresholds defaults;
    CIniFile ini(systemIniPath);
    CIniFile::Batch batch(ini);
    for (const Key& k : kKeys) {
        const double def = defaults.*k.field;
        const double v = ini.GetDouble(inisec::Analysis, k.name, def, false);
        const bool ok = std::isfinite(v) && (k.zeroAllowed ? v >= 0 : v > 0);
        t.*k.field = ok ? v : def;
    }
    const int valid = ini.GetInt(inisec::Param, inikey::TriggValidSec, t.triggValidSec, false);
    t.triggValidSec = valid >= 0 ? valid : defaults.triggValidSec;
    return t;
}

bool WriteAnalysisThresholds(const std::string& systemIniPath, const AnalysisThresholds& t)
{
    const AnalysisThresholds defaults;
    CIniFile ini(systemIniPath);
    ini.BeginBatch();
    for (const Key& k : kKeys) {
        const double v = t.*k.field;
        if (v != defaults.*k.field || ini.Find(inisec::Analysis, k.name))
            ini.SetString(inisec::Analysis, k.name, numberText(v));
    }
    return ini.EndBatch();
}
