// Judgment explanations in words, built on the record's own judgments.
#include "analysis/explain.h"

#include "analysis/analysistext.h"
#include "model/cp932text.h"

namespace analysis {
namespace {

using cp932::lit;

struct Names {
    const char* value; // "最終値"
    const char* unit;  // " μA" or ""
};

Names namesOf(JudgedValue which)
{
    switch (which) {
    case JudgedValue::LastCurrent: return {"最終値", " μA"};
    case JudgedValue::Seikyoku: return {"成極比", ""};
    default: return {"弱点比", ""};
    }
}

// "<name> <v><unit> ≦ 下限 <min><unit> → 良" and its variants, chosen by the judgment that the
// record gave, so the text states the comparison that decided it.
std::string ruleText(JudgedValue which, double v, double min, double max, Judgment j,
                     bool highIsGood)
{
    const Names n = namesOf(which);
    const std::string unit = lit(n.unit);
    const std::string value =
        lit(n.value) + " " +
        (which == JudgedValue::LastCurrent ? text::current(v) : text::ratio(v)) + unit;
    const std::string lower = lit("下限 ") + text::limit(min) + unit;
    const std::string upper = lit("上限 ") + text::limit(max) + unit;
    const std::string arrow = lit(" → ") + JudgmentWord(j);
    if (j == Judgment::Caution)
        return lower + " < " + value + " < " + upper + arrow;
    // The minimum side is tested first: for a low-is-good value "良" comes from it, for a
    // high-is-good value "不良" does.
    const bool fromMin = highIsGood ? j == Judgment::Bad : j == Judgment::Good;
    return fromMin ? value + lit(" ≦ ") + lower + arrow : value + lit(" ≧ ") + upper + arrow;
}

} // namespace

JudgmentExplanation ExplainJudgment(const CMeasRecord& r, JudgedValue which)
{
    const CTestCondition& c = r.Condition;
    JudgmentExplanation e;
    e.which = which;
    const Names n = namesOf(which);
    bool hidden = false;
    const char* missing = "";
    switch (which) {
    case JudgedValue::LastCurrent:
        e.value = r.LastCurrent;
        e.min = c.LastCurrentMin;
        e.max = c.LastCurrentMax;
        missing = "(最終点が無効)";
        break;
    case JudgedValue::Seikyoku:
        e.value = r.SeikyokuRatio;
        e.min = c.SeikyokuMin;
        e.max = c.SeikyokuMax;
        hidden = r.ShowSeikyoku == 0;
        missing = "(1分値なし)";
        break;
    case JudgedValue::Jyakuten:
        e.value = r.JyakutenRatio;
        e.min = c.JyakutenMin;
        e.max = c.JyakutenMax;
        hidden = r.ShowJyakuten == 0;
        missing = "(次の電圧段階または1分値なし)";
        break;
    }
    if (hidden) {
        e.text = lit(n.value) + lit("は表示しない設定 (判定なし)");
        return e;
    }
    if (!text::isValue(e.value)) {
        e.text = lit(n.value) + " --- " + lit(missing) + lit(" → 判定なし");
        return e;
    }
    switch (which) {
    case JudgedValue::LastCurrent: e.judgment = r.JudgeLastCurrent(); break;
    case JudgedValue::Seikyoku: e.judgment = r.JudgeSeikyoku(); break;
    case JudgedValue::Jyakuten: e.judgment = r.JudgeJyakuten(); break;
    }
    e.text = ruleText(which, e.value, e.min, e.max, *e.judgment, which == JudgedValue::Seikyoku);
    // A 成極比 equal to its upper limit is 良 by the judgment, while the usual practice reads
    // "1.0 以下" as low. One verdict is shown; the difference of the boundary is said in words.
    if (which == JudgedValue::Seikyoku && e.judgment == Judgment::Good && e.value <= e.max)
        e.text += lit(" (上限と等しい値は良と判定。「") + text::limit(e.max) +
                  lit(" 以下」を低下とみる目安とは境界の扱いが異なる)");
    return e;
}

std::vector<JudgmentExplanation> ExplainJudgments(const CMeasRecord& r)
{
    return {ExplainJudgment(r, JudgedValue::LastCurrent), ExplainJudgment(r, JudgedValue::Seikyoku),
            ExplainJudgment(r, JudgedValue::Jyakuten)};
}

} // namespace analysis
