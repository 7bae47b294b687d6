// The final value and criteria dialogs on a set that belongs to no tree, their changes applied
// to the set directly (the program itself always goes through its tree commands): how the dialog
// tests drive them without a page.
#pragma once

#include <cstddef>
#include <optional>

#include "commands/setedits.h"
#include "model/measdata.h"
#include "settings/appsettings.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/dialogs/judgmentparametersdialog.h"

namespace guitest {

// Opens the final value dialog on record `index`; after OK stores the points, makes the chosen
// point the last used one and recomputes the set's ratios. True when the record was changed.
inline bool RunFinalValueSelection(QWidget* parent, CMeasData& set, std::size_t index,
                                   std::optional<int> triggValidSec = std::nullopt)
{
    if (index >= set.RecordCount())
        return false;
    auto choice = AskFinalValue(parent, set.RecordAt(index));
    if (!choice)
        return false;
    const int valid = triggValidSec ? *triggValidSec : AppSettings().TriggValidSec;
    return finalvalue::ApplyToSet(set, index, std::move(choice->points), choice->finalIndex, valid);
}

// Runs the criteria dialog with its two changes applied to the set itself.
inline JudgParamOutcome EditJudgParam(QWidget* parent, CMeasData& set, CAppSettings& settings)
{
    JudgParamTarget target;
    target.applyCriteria = [&set](const JudgParams& p) { return ApplyJudgParams(set, p); };
    target.applyDisplayToRecords = [&set](int32_t seikyoku, int32_t jyakuten) {
        return ApplyDisplayFlagsToRecords(set, seikyoku, jyakuten);
    };
    return ::EditJudgParam(parent, set, settings, target);
}

} // namespace guitest
