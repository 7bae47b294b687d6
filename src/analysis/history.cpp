// Cable history: every set of one cable in time order with per-step values and signs.
#include "analysis/history.h"

#include <algorithm>

#include "analysis/analysistext.h"

namespace analysis {
namespace {

SetSummary summarize(const CMeasData& set, const AnalysisThresholds& t,
                     std::vector<PhaseGroup> phases)
{
    SetSummary s;
    s.name = set.name;
    s.phases = std::move(phases);
    s.stepCurves = AnalyzeSteps(set, t);
    const auto& records = set.Records();
    // A condition block that was never filled in holds 0 MΩ: no measured value.
    if (!records.empty() && text::isValue(records.front().Condition.ShisuZetuen) &&
        records.front().Condition.ShisuZetuen > 0)
        s.insulation = records.front().Condition.ShisuZetuen;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CMeasRecord& r = records[i];
        StepSummary step;
        step.index = i;
        step.phase = RecordPhase(r);
        step.start = r.StartTime;
        step.testVoltage = r.TestVoltage;
        step.finalValue = r.LastCurrent;
        step.seikyokuRatio = r.SeikyokuRatio;
        step.jyakutenRatio = r.JyakutenRatio;
        step.judgments = ExplainJudgments(r);
        step.signs = FindCurveSigns(r, t);
        for (const JudgmentExplanation& e : step.judgments) {
            if (e.judgment == Judgment::Bad)
                ++s.badCount;
            else if (e.judgment == Judgment::Caution)
                ++s.cautionCount;
        }
        s.signCount += static_cast<int>(step.signs.signs.size());
        if (r.StartTime.status == OleDateTime::Valid && r.StartTime.toCalendar() &&
            (s.start.status != OleDateTime::Valid || r.StartTime.date < s.start.date))
            s.start = r.StartTime;
        s.steps.push_back(std::move(step));
    }
    if (s.start.status == OleDateTime::Valid)
        s.dateText = s.start.format("%Y/%m/%d");
    return s;
}

// The phase groups of the cable on the days of one set (the groups are computed once).
std::vector<PhaseGroup> groupsOfSet(const std::vector<PhaseGroup>& all, const CMeasData& set)
{
    std::vector<PhaseGroup> out;
    for (const PhaseGroup& g : all) {
        bool mine = false;
        for (const CMeasRecord& r : set.Records()) {
            const auto day = text::dayOf(r.StartTime);
            if (g.day.status == OleDateTime::Valid ? day && *day == g.day.date : false) {
                mine = true;
                break;
            }
        }
        // Undated rows hold records of one set only.
        if (!mine && g.day.status != OleDateTime::Valid)
            for (const auto& ref : g.record)
                if (ref && ref->setName == set.name)
                    mine = true;
        if (mine)
            out.push_back(g);
    }
    return out;
}

} // namespace

SetSummary SummarizeSet(const CCable& cable, const CMeasData& set, const AnalysisThresholds& t)
{
    return summarize(set, t, PhaseBalanceAroundSet(cable, set.name, t));
}

CableHistory BuildCableHistory(const std::string& customerName, const CCable& cable,
                               const AnalysisThresholds& t)
{
    CableHistory h;
    h.customerName = customerName;
    h.cableName = cable.name;
    const std::vector<PhaseGroup> all = PhaseBalanceOfCable(cable, t);
    for (int p = 0; p < cable.sets.Count(); ++p) {
        const CMeasData& set = cable.sets.At(p);
        h.sets.push_back(summarize(set, t, groupsOfSet(all, set)));
    }
    // Sets are kept by name; the history runs by time. Undated sets follow in name order.
    std::stable_sort(h.sets.begin(), h.sets.end(), [](const SetSummary& a, const SetSummary& b) {
        const bool ad = a.start.status == OleDateTime::Valid;
        const bool bd = b.start.status == OleDateTime::Valid;
        if (ad != bd)
            return ad;
        return ad && a.start.date < b.start.date;
    });
    return h;
}

} // namespace analysis
