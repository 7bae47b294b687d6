// Order checks of the judgment limits and their transfer into a measurement data set.
#include "ui/dialogs/judgparams.h"

#include "model/format.h"
#include "model/measdata.h"

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

JudgOrderError CheckJudgOrder(const JudgParams& p)
{
    if (!(p.SeikyokuMin < p.SeikyokuMax))
        return JudgOrderError::Seikyoku;
    if (!(p.JyakutenMin < p.JyakutenMax))
        return JudgOrderError::Jyakuten;
    if (!(p.LastCurrentMin < p.LastCurrentMax))
        return JudgOrderError::LastCurrent;
    return JudgOrderError::None;
}

JudgParams JudgParamsOf(const CMeasData& set)
{
    JudgParams p;
    const CTestCondition c = set.RecordCount() > 0 ? set.RecordAt(0).Condition : CTestCondition();
    p.SeikyokuMin = c.SeikyokuMin;
    p.SeikyokuMax = c.SeikyokuMax;
    p.JyakutenMin = c.JyakutenMin;
    p.JyakutenMax = c.JyakutenMax;
    p.LastCurrentMin = c.LastCurrentMin;
    p.LastCurrentMax = c.LastCurrentMax;
    p.ShowSeikyoku = set.ShowSeikyoku;
    p.ShowJyakuten = set.ShowJyakuten;
    return p;
}

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

void StoreDefaultCriteria(DefaultConditionTexts& defaults, const JudgParams& p)
{
    defaults.SeikyokuMin = mxrfmt::NumberText(p.SeikyokuMin);
    defaults.SeikyokuMax = mxrfmt::NumberText(p.SeikyokuMax);
    defaults.JyakutenMin = mxrfmt::NumberText(p.JyakutenMin);
    defaults.JyakutenMax = mxrfmt::NumberText(p.JyakutenMax);
    defaults.LastCurrentMin = mxrfmt::NumberText(p.LastCurrentMin);
    defaults.LastCurrentMax = mxrfmt::NumberText(p.LastCurrentMax);
}
