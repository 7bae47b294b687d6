// Cable history: every measurement data set of one cable in time order, and per set the values,
// judgments, explanations and signs of each step.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/curvesigns.h"
#include "analysis/explain.h"
#include "analysis/phasebalance.h"
#include "analysis/steptest.h"
#include "analysis/thresholds.h"
#include "model/customerdb.h"

namespace analysis {

// One record of a set in the history.
struct StepSummary {
    std::size_t index = 0; // record index in the set
    Phase phase = Phase::None;
    OleDateTime start;        // the record's StartTime
    double testVoltage = 0.0; // kV
    double finalValue = 0.0;  // μA, the stored LastCurrent
    double seikyokuRatio = UNSET_VALUE;
    double jyakutenRatio = UNSET_VALUE;
    std::vector<JudgmentExplanation> judgments; // final value, 成極比, 弱点比
    CurveSigns signs;
};

struct SetSummary {
    std::string name;                // CP932
    OleDateTime start;               // earliest valid StartTime of its records (invalid when none)
    std::string dateText;            // "2024/05/12" of start, "" without one (CP932)
    double insulation = UNSET_VALUE; // ShisuZetuen of the condition block, MΩ; UNSET_VALUE
                                     // when not entered (0)
    std::vector<StepSummary> steps;  // in stored order (ascending voltage)
    std::vector<StepCurve> stepCurves;
    std::vector<PhaseGroup> phases; // PhaseBalanceAroundSet of this set
    // Counts over the steps, for a one-line summary in tables.
    int badCount = 0;     // judgments "不良"
    int cautionCount = 0; // judgments "注意"
    int signCount = 0;    // curve signs
};

struct CableHistory {
    std::string customerName; // CP932
    std::string cableName;    // CP932
    // Sorted by start time; sets without any dated record follow, by name.
    std::vector<SetSummary> sets;
};

// The history of one cable. Nothing in the cable is changed.
CableHistory BuildCableHistory(const std::string& customerName, const CCable& cable,
                               const AnalysisThresholds& t);

// The summary of one set alone (the history's entry for it, phase groups from the cable).
SetSummary SummarizeSet(const CCable& cable, const CMeasData& set, const AnalysisThresholds& t);

} // namespace analysis
