// Small builders of records and sets for the analysis tests.
#pragma once

#include <functional>
#include <string>

#include "model/cp932text.h"
#include "model/customerdb.h"

namespace analysistest {

// UTF-8 of a CP932 result, so expectations read as written.
inline std::string u8(const std::string& cp932Text)
{
    return cp932::toUtf8(cp932Text);
}

// A record sampled every 0.2 s from 0.2 s to `seconds` with current f(t), its final value and
// trigger events computed as the reception does.
inline CMeasRecord sampled(double seconds, const std::function<double(double)>& f,
                           double trigger = 1000.0)
{
    CMeasRecord r;
    r.TriggerLevel = trigger;
    for (int n = 1; n * 0.2 <= seconds + 1e-9; ++n) {
        const double t = n * 0.2;
        r.Points.push_back({CDataValue(f(t)), t});
    }
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

// A record with a final value only (one point), at a test voltage, phase and start date.
inline CMeasRecord step(double kV, double finalValue, int32_t cabKind = CabKindR,
                        const char* date = "2024/05/12 10:00:00")
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.Condition.CabKind = cabKind;
    r.Points.push_back({CDataValue(finalValue), 600.0});
    r.RecalcFinalAndTriggers(-1, 10);
    if (date)
        r.StartTime = *OleDateTime::parse(date);
    return r;
}

inline CMeasData& addSet(CCable& cable, const std::string& utf8Name)
{
    const std::string name = *cp932::fromUtf8(utf8Name);
    CMeasData& set = cable.sets.At(cable.sets.FindOrInsert(name));
    set.name = name;
    return set;
}

} // namespace analysistest
