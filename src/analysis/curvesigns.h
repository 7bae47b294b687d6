// Curve signs of one measurement: kicks (trigger events and short spikes), a gradual rise of the
// current at the end of the measurement, and the combined rule on final value and polarization
// ratio.
#pragma once

#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "model/measrecord.h"

namespace analysis {

enum class SignKind {
    TriggerKick,    // a stored trigger event: the current at or above the trigger setting
    Spike,          // a short spike above spikeFactor × the local median, not a trigger event
    GradualRise,    // the current rises over the last minutes instead of decaying
    LowPolarization // final value judged 注意 and 成極比 not judged 良 (below its upper limit)
};

// One sign found on a record.
struct CurveSign {
    SignKind kind = SignKind::Spike;
    double start = 0.0;     // elapsed seconds where it begins (the window start for a rise)
    double stop = 0.0;      // elapsed seconds where it ends
    double value = 0.0;     // μA: the highest current of a kick, the final value otherwise
    double reference = 0.0; // μA: local median (spike), trigger setting (trigger kick),
                            // slope in μA/min (rise), 成極比 (combined rule)
    std::string text;       // what was found and where, e.g.
                      // "スパイク 02:15.4 最大 48.200 μA (局所中央値 5.100 μA の 9.5 倍)"
};

// The straight line fitted to the end of a measurement (Theil-Sen slope through 5-second
// medians, so kicks do not tilt it).
struct RiseFit {
    bool evaluated = false;    // false when the measurement is too short (under one minute of
                               // window after the first minute)
    double windowStart = 0.0;  // elapsed seconds
    double windowStop = 0.0;   // elapsed seconds
    double slope = 0.0;        // μA per minute
    double median = 0.0;       // μA, median current of the window
    double slopePercent = 0.0; // slope / median × 100, % per minute (0 for a zero median)
    bool rising = false;       // the gradual-rise sign
};

struct CurveSigns {
    std::vector<CurveSign> signs; // trigger kicks and spikes by start time, then the rise, then
                                  // the combined rule
    RiseFit rise;
    int kickCount = 0; // trigger kicks + spikes
    bool gradualRise = false;
    bool lowPolarization = false;
    bool any() const { return !signs.empty(); }
};

// Looks for the signs over the record's valid used points; the record is not changed. The
// trigger kicks are the record's stored trigger events. A record without points has no signs.
CurveSigns FindCurveSigns(const CMeasRecord& r, const AnalysisThresholds& t);

// "キック", "スパイク", "漸増傾向", "成極比低下" (CP932): short names for tables and legends.
const std::string& SignKindText(SignKind k);

} // namespace analysis
