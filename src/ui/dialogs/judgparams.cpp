// Order checks of the judgment limits, the limits of a set, and their default-condition form.
#include "ui/dialogs/judgparams.h"

#include "model/format.h"
#include "model/measdata.h"

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

void StoreDefaultCriteria(DefaultConditionTexts& defaults, const JudgParams& p)
{
    defaults.SeikyokuMin = mxrfmt::NumberText(p.SeikyokuMin);
    defaults.SeikyokuMax = mxrfmt::NumberText(p.SeikyokuMax);
    defaults.JyakutenMin = mxrfmt::NumberText(p.JyakutenMin);
    defaults.JyakutenMax = mxrfmt::NumberText(p.JyakutenMax);
    defaults.LastCurrentMin = mxrfmt::NumberText(p.LastCurrentMin);
    defaults.LastCurrentMax = mxrfmt::NumberText(p.LastCurrentMax);
}
