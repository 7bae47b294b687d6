// The values of the judgment criteria dialog and what taking them over does to a measurement
// data set, kept free of Qt: the six limits and the two display switches, their order checks,
// their transfer into a set and its records, and their form in the default conditions.
#pragma once

#include <cstdint>

class CMeasData;
struct DefaultConditionTexts;

// The six limits (from the condition block of a set's first record) and the set's two
// judgment display flags.
struct JudgParams {
    double SeikyokuMin = 0.5;
    double SeikyokuMax = 1.0;
    double JyakutenMin = 1.0;
    double JyakutenMax = 5.0;
    double LastCurrentMin = 1.0;
    double LastCurrentMax = 10.0;
    int32_t ShowSeikyoku = 1;
    int32_t ShowJyakuten = 1;

    bool operator==(const JudgParams&) const = default;
};

// What taking the dialog's values over changed in a set, so the caller knows what to redraw.
struct JudgParamChange {
    bool limits = false;      // the condition block of the records
    bool setFlags = false;    // ShowSeikyoku / ShowJyakuten of the set
    bool recordFlags = false; // ShowSeikyoku / ShowJyakuten of some record

    bool any() const { return limits || setFlags || recordFlags; }
};

// Lower bound not below its upper bound, checked in this order; equal bounds are an error.
enum class JudgOrderError { None, Seikyoku, Jyakuten, LastCurrent };
JudgOrderError CheckJudgOrder(const JudgParams& p);

// The limits of the set's first record (the defaults of a new condition block when the set
// is empty) and the set's two flags.
JudgParams JudgParamsOf(const CMeasData& set);

// OK of the dialog: the limits go into the first record, whose condition block is then copied
// into every record (ApplyCondition); the flags go into the set; the ratios are recomputed.
// An empty set takes only the flags.
JudgParamChange ApplyJudgParams(CMeasData& set, const JudgParams& p);

// "過去データにも適応する": the two switches into every record of the set (not the limits).
// Returns true when some record changed.
bool ApplyDisplayFlagsToRecords(CMeasData& set, int32_t showSeikyoku, int32_t showJyakuten);

// The six limits as the default conditions keep them ("%.1lf"), so the next data registered
// with the default conditions is judged the same way.
void StoreDefaultCriteria(DefaultConditionTexts& defaults, const JudgParams& p);
