// Registration of received records: the condition template and the insertion.
#include "commands/transferreg.h"

#include "model/number.h"

namespace transferreg {

CTestCondition TemplateCondition(const CCable& cable, int setRow,
                                 const DefaultConditionTexts& defaults)
{
    if (setRow >= 0 && setRow < cable.sets.Count() && cable.sets.At(setRow).RecordCount() > 0)
        return cable.sets.At(setRow).RecordAt(0).Condition;
    const int last = cable.sets.Count() - 1;
    const int sibling = setRow == last ? last - 1 : last;
    if (sibling >= 0 && cable.sets.At(sibling).RecordCount() > 0)
        return cable.sets.At(sibling).RecordAt(0).Condition;
    CTestCondition c = ConditionFromDefaults(defaults);
    c.ShisuZetuen = UNSET_VALUE;
    return c;
}

void Register(CMeasData& set, const std::vector<CMeasRecord>& records,
              const CTestCondition& condition, bool replaceExisting)
{
    if (replaceExisting)
        set.RemoveAllRecords();
    for (const CMeasRecord& r : records)
        set.InsertRecord(r);
    RecalcRatios(set);
    ApplyCondition(set, condition);
}

} // namespace transferreg
