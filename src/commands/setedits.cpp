// Set-level changes shared by the tree commands: criteria, display switches, final point.
#include "commands/setedits.h"

namespace {

void putLimits(CTestCondition& c, const JudgParams& p)
{
    c.SeikyokuMin = p.SeikyokuMin;
    c.SeikyokuMax = p.SeikyokuMax;
    c.JyakutenMin = p.JyakutenMin;
    c.JyakutenMax = p.JyakutenMax;
    c.LastCurrentMin = p.LastCurrentMin;
    c.LastCurrentMax = p.LastCurrentMax;
}

} // namespace

JudgParamChange ApplyJudgParams(CMeasData& set, const JudgParams& p)
{
    JudgParamChange change;
    if (set.RecordCount() > 0) {
        CTestCondition condition = set.RecordAt(0).Condition;
        putLimits(condition, p);
        for (const CMeasRecord& r : set.Records())
            change.limits = change.limits || !(r.Condition == condition);
        set.RecordAt(0).Condition = condition;
        ApplyCondition(set, condition);
        RecalcRatios(set);
    }
    change.setFlags = set.ShowSeikyoku != p.ShowSeikyoku || set.ShowJyakuten != p.ShowJyakuten;
    set.ShowSeikyoku = p.ShowSeikyoku;
    set.ShowJyakuten = p.ShowJyakuten;
    return change;
}

bool ApplyDisplayFlagsToRecords(CMeasData& set, int32_t showSeikyoku, int32_t showJyakuten)
{
    bool changed = false;
    for (CMeasRecord& r : set.Records()) {
        changed = changed || r.ShowSeikyoku != showSeikyoku || r.ShowJyakuten != showJyakuten;
        r.ShowSeikyoku = showSeikyoku;
        r.ShowJyakuten = showJyakuten;
    }
    return changed;
}

namespace finalvalue {

void ApplyToRecord(CMeasRecord& record, std::vector<CMeasPoint> points, int finalIndex,
                   int triggValidSec)
{
    record.Points = std::move(points);
    const int count = static_cast<int>(record.Points.size());
    int used = finalIndex + 1;
    if (used < 0)
        used = 0;
    if (used > count)
        used = count;
    record.RecalcFinalAndTriggers(used, triggValidSec);
}

bool ApplyToSet(CMeasData& set, std::size_t index, std::vector<CMeasPoint> points, int finalIndex,
                int triggValidSec)
{
    if (index >= set.RecordCount())
        return false;
    ApplyToRecord(set.RecordAt(index), std::move(points), finalIndex, triggValidSec);
    RecalcRatios(set);
    return true;
}

} // namespace finalvalue
