// The retest plan's rules and the health score's weights, kept in system.ini [Plan] and [Health].
#pragma once

#include <string>

namespace fleet {

// How the retest interval is chosen and shortened.
struct PlanSettings {
    int defaultIntervalMonths = 12; // when neither the register nor the customer gives one
    int warningDays = 60;           // 期限間近 this many days before the due date
    int minIntervalMonths = 1;      // a shortened interval never goes below this
    // Each rule multiplies the interval by its factor (rounded down to whole months); when
    // several rules apply, the one that shortens most decides.
    double cautionFactor = 0.5;       // the latest result is 注意
    double badFactor = 0.25;          // the latest result is 不良
    double growthLimitPercent = 20.0; // final value growing faster than this many % per year
    double growthFactor = 0.5;
    double unbalanceFactor = 0.5; // unbalance at or above the analysis limit
    double signFactor = 0.5;      // a kick or a gradual rise in the latest test

    bool operator==(const PlanSettings&) const = default;
};

// Points taken off the health score of 100 for each finding of the latest test and the trend.
struct ScoreWeights {
    double bad = 40;       // worst judgment 不良
    double caution = 15;   // worst judgment 注意
    double unbalance = 30; // unbalance at or above the limit
    double combined = 15;  // final value 注意 with a low polarization ratio
    double kick = 10;      // kicks (trigger events or spikes)
    double rise = 15;      // gradual rise
    double knee = 20;      // a knee in the step test
    double growth = 20;    // yearly growth of the final value above the plan's limit

    bool operator==(const ScoreWeights&) const = default;
};

struct FleetSettings {
    PlanSettings plan;
    ScoreWeights weights;
    bool operator==(const FleetSettings&) const = default;
};

// Reads [Plan] and [Health] of the system.ini at systemIniPath, each key with its default;
// nothing is written. A value out of range (negative, not finite, a factor above 1) gives the
// default.
FleetSettings ReadFleetSettings(const std::string& systemIniPath);

// Writes the values that differ from their defaults or whose key is already present. False
// when the write failed.
bool WriteFleetSettings(const std::string& systemIniPath, const FleetSettings& s);

} // namespace fleet
