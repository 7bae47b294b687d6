// The changes to one measurement data set that several commands share: the judgment limits
// and display switches, and a chosen final point. These are the building blocks of the tree
// commands (commands/treecommands.h); the UI reaches them through those commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/measdata.h"
#include "model/measrecord.h"

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

// What taking the criteria dialog's values over changed in a set, so the caller knows what
// to redraw.
struct JudgParamChange {
    bool limits = false;      // the condition block of the records
    bool setFlags = false;    // ShowSeikyoku / ShowJyakuten of the set
    bool recordFlags = false; // ShowSeikyoku / ShowJyakuten of some record

    bool any() const { return limits || setFlags || recordFlags; }
};

// OK of the criteria dialog: the limits go into the first record, whose condition block is
// then copied into every record (ApplyCondition); the flags go into the set; the ratios are
// recomputed. An empty set takes only the flags.
JudgParamChange ApplyJudgParams(CMeasData& set, const JudgParams& p);

// "過去データにも適応する": the two switches into every record of the set (not the limits).
// Returns true when some record changed.
bool ApplyDisplayFlagsToRecords(CMeasData& set, int32_t showSeikyoku, int32_t showJyakuten);

namespace finalvalue {

// Stores the edited points in the record and makes point finalIndex its last used point
// (RecalcFinalAndTriggers with finalIndex + 1; -1 uses none).
void ApplyToRecord(CMeasRecord& record, std::vector<CMeasPoint> points, int finalIndex,
                   int triggValidSec);

// As ApplyToRecord for record `index` of the set, then recomputes the set's ratios.
// False (and no change) when the index is outside the set.
bool ApplyToSet(CMeasData& set, std::size_t index, std::vector<CMeasPoint> points, int finalIndex,
                int triggValidSec);

} // namespace finalvalue
