// Judgment explanations: for each judgment of a record, the rule, the value and the limits that
// gave it, in words.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/measrecord.h"

namespace analysis {

enum class JudgedValue { LastCurrent, Seikyoku, Jyakuten };

struct JudgmentExplanation {
    JudgedValue which = JudgedValue::LastCurrent;
    std::optional<Judgment> judgment; // nothing when the value is unset or hidden
    double value = UNSET_VALUE;
    double min = 0.0; // the record's own criteria
    double max = 0.0;
    // "最終値 12.000 μA ≧ 上限 10.0 μA → 不良", "下限 0.5 < 成極比 0.700 < 上限 1.0 → 注意",
    // "成極比 --- (1分値なし) → 判定なし", "弱点比は表示しない設定" (CP932).
    std::string text;
};

// The three explanations (final value, 成極比, 弱点比) of one record. The judgments are the
// record's own (CMeasRecord::Judge*); values are shown with three decimals so that the text
// never contradicts its comparison through rounding.
std::vector<JudgmentExplanation> ExplainJudgments(const CMeasRecord& r);

// One explanation by itself.
JudgmentExplanation ExplainJudgment(const CMeasRecord& r, JudgedValue which);

} // namespace analysis
