// Placeholder bodies while the analysis is being written.
#include "analysis/analysissettings.h"
#include "analysis/curvesigns.h"
#include "analysis/explain.h"
#include "analysis/history.h"
#include "analysis/phasebalance.h"
#include "analysis/steptest.h"

AnalysisThresholds ReadAnalysisThresholds(const std::string&)
{
    return {};
}
bool WriteAnalysisThresholds(const std::string&, const AnalysisThresholds&)
{
    return true;
}

namespace analysis {
Phase RecordPhase(const CMeasRecord&)
{
    return Phase::None;
}
const std::string& PhaseText(Phase)
{
    static const std::string s;
    return s;
}
Unbalance UnbalanceOf(const std::array<std::optional<double>, 3>&, double)
{
    return {};
}
std::vector<PhaseGroup> PhaseBalanceOfSet(const CMeasData&, const AnalysisThresholds&)
{
    return {};
}
std::vector<PhaseGroup> PhaseBalanceOfCable(const CCable&, const AnalysisThresholds&)
{
    return {};
}
std::vector<PhaseGroup> PhaseBalanceAroundSet(const CCable&, const std::string&,
                                              const AnalysisThresholds&)
{
    return {};
}
CurveSigns FindCurveSigns(const CMeasRecord&, const AnalysisThresholds&)
{
    return {};
}
const std::string& SignKindText(SignKind)
{
    static const std::string s;
    return s;
}
std::vector<StepCurve> AnalyzeSteps(const CMeasData&, const AnalysisThresholds&)
{
    return {};
}
std::vector<JudgmentExplanation> ExplainJudgments(const CMeasRecord&)
{
    return {};
}
JudgmentExplanation ExplainJudgment(const CMeasRecord&, JudgedValue)
{
    return {};
}
CableHistory BuildCableHistory(const std::string&, const CCable&, const AnalysisThresholds&)
{
    return {};
}
SetSummary SummarizeSet(const CCable&, const CMeasData&, const AnalysisThresholds&)
{
    return {};
}
} // namespace analysis
