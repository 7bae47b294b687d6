// What the three analysis windows show, built from the analysis results of the core: the
// charts, judgment lines and table of each, and the measurement behind each point and row.
#pragma once

#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "ui/analysis/analysispages.h"
#include "ui/document/dataselection.h"

class CCable;

namespace analysisui {

struct AnalysisView {
    AnalysisDocument doc;
    // The measurement of each point of each series of the first chart, and of each row.
    std::vector<std::vector<DataSelection>> pointTargets;
    std::vector<DataSelection> rowTargets;
};

// 経年変化: the final value per test voltage over the years with the criteria as bands,
// 成極比 and 弱点比 below it, and one table row per record of every set.
AnalysisView BuildHistoryView(const std::string& customer, const std::string& cableName,
                              const CCable& cable, const AnalysisThresholds& t);
// 相間比較: the final values of Ｒ, Ｓ and Ｔ of the set's day(s) per test voltage, with the
// unbalance of leakage and shield currents.
AnalysisView BuildPhaseView(const std::string& customer, const std::string& cableName,
                            const CCable& cable, const std::string& setName,
                            const AnalysisThresholds& t);
// 電圧特性: final current against test voltage, the line through the lower steps and the knee.
AnalysisView BuildStepView(const std::string& customer, const std::string& cableName,
                           const CCable& cable, const std::string& setName,
                           const AnalysisThresholds& t);

} // namespace analysisui
