// Step test: the final current of the steps of one set against their test voltage, a line
// through the lower steps, and the step where the current departs from it (the knee).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/phasebalance.h"
#include "analysis/thresholds.h"
#include "model/measdata.h"

namespace analysis {

struct StepPoint {
    std::size_t index = 0;          // record index in the set
    double testVoltage = 0.0;       // kV
    double finalValue = 0.0;        // μA
    double predicted = UNSET_VALUE; // μA on the line through the lower steps (UNSET for the
                                    // first step)
    double departure = UNSET_VALUE; // finalValue / predicted (a zero prediction divides by
                                    // 0.001 as the ratios do); UNSET for the first step
    // The value on the curve's line (slope × testVoltage) and finalValue / that value: the
    // line the chart draws and the table lists, the same for every step.
    double lineValue = UNSET_VALUE;
    double lineRatio = UNSET_VALUE;
    double jyakutenRatio = UNSET_VALUE; // the record's stored 弱点比
    bool knee = false;
};

// The steps of one phase of a set, ascending by voltage.
struct StepCurve {
    Phase phase = Phase::None;
    std::vector<StepPoint> steps;
    // The line I = slope × V through the origin, fitted by least squares to the steps below
    // the knee (all steps when there is none), μA per kV.
    double slope = 0.0;
    int kneeIndex = -1; // position in steps of the first knee, -1 for none
    std::string text; // e.g. "6.00 kV で直線から 2.4 倍に増加 (屈曲点)", "屈曲点なし",
                      // "段階が1つのみ" (CP932)
};

// One curve per phase present in the set (most sets hold one phase). Each step k ≧ 1 is
// compared with the line through the origin fitted to steps 0..k-1; the first step whose
// departure exceeds kneeFactor is the knee. Records without used points take no part; steps
// at the same voltage keep the latest record.
std::vector<StepCurve> AnalyzeSteps(const CMeasData& set, const AnalysisThresholds& t);

// The curve of steps already chosen (one per voltage, ascending; index, testVoltage,
// finalValue and jyakutenRatio filled in): predictions, departures, the knee and the text.
StepCurve AnalyzeStepCurve(Phase phase, std::vector<StepPoint> steps, double kneeFactor);

} // namespace analysis
