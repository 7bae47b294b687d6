// The values of the judgment criteria dialog, kept free of Qt: their order checks, the values
// of a set, and their form in the default conditions. Taking them over into a set is a tree
// change (commands/setedits.h).
#pragma once

#include <cstdint>

#include "commands/setedits.h"

class CMeasData;
struct DefaultConditionTexts;

// Lower bound not below its upper bound, checked in this order; equal bounds are an error.
enum class JudgOrderError { None, Seikyoku, Jyakuten, LastCurrent };
JudgOrderError CheckJudgOrder(const JudgParams& p);

// The limits of the set's first record (the defaults of a new condition block when the set
// is empty) and the set's two flags.
JudgParams JudgParamsOf(const CMeasData& set);

// The six limits as the default conditions keep them ("%.1lf"), so the next data registered
// with the default conditions is judged the same way.
void StoreDefaultCriteria(DefaultConditionTexts& defaults, const JudgParams& p);
