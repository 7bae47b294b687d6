// Judgment explanations: the rule, the value and the limits that gave each judgment.
#include <gtest/gtest.h>

#include "analysis/explain.h"
#include "analysistesthelp.h"

using namespace analysis;
using analysistest::u8;

namespace {

struct Case {
    JudgedValue which;
    double value;
    const char* text;
};

void setValue(CMeasRecord& r, JudgedValue which, double v)
{
    switch (which) {
    case JudgedValue::LastCurrent: r.LastCurrent = v; break;
    case JudgedValue::Seikyoku: r.SeikyokuRatio = v; break;
    case JudgedValue::Jyakuten: r.JyakutenRatio = v; break;
    }
}

TEST(Explain, DefaultCriteriaTable)
{
    const Case cases[] = {
        {JudgedValue::LastCurrent, 12.0, "最終値 12.000 μA ≧ 上限 10.0 μA → 不良"},
        {JudgedValue::LastCurrent, 10.0, "最終値 10.000 μA ≧ 上限 10.0 μA → 不良"},
        {JudgedValue::LastCurrent, 1.0, "最終値 1.000 μA ≦ 下限 1.0 μA → 良"},
        {JudgedValue::LastCurrent, 5.0, "下限 1.0 μA < 最終値 5.000 μA < 上限 10.0 μA → 注意"},
        // Shown as "10.0 (注意)" with one decimal; the explanation keeps three.
        {JudgedValue::LastCurrent, 9.96, "下限 1.0 μA < 最終値 9.960 μA < 上限 10.0 μA → 注意"},
        {JudgedValue::LastCurrent, UNSET_VALUE, "最終値 --- (最終点が無効) → 判定なし"},
        {JudgedValue::Seikyoku, 0.5, "成極比 0.500 ≦ 下限 0.5 → 不良"},
        {JudgedValue::Seikyoku, 0.7, "下限 0.5 < 成極比 0.700 < 上限 1.0 → 注意"},
        // On the boundary the judgment says 良; the usual "1.0 以下" reading is named in
        // words, not given as a second verdict.
        {JudgedValue::Seikyoku, 1.0,
         "成極比 1.000 ≧ 上限 1.0 → 良 (上限と等しい値は良と判定。「1.0 以下」を低下とみる目安とは"
         "境界の扱いが異なる)"},
        {JudgedValue::Seikyoku, 1.2, "成極比 1.200 ≧ 上限 1.0 → 良"},
        {JudgedValue::Seikyoku, 0.999, "下限 0.5 < 成極比 0.999 < 上限 1.0 → 注意"},
        {JudgedValue::Seikyoku, UNSET_VALUE, "成極比 --- (1分値なし) → 判定なし"},
        {JudgedValue::Jyakuten, 1.0, "弱点比 1.000 ≦ 下限 1.0 → 良"},
        {JudgedValue::Jyakuten, 5.0, "弱点比 5.000 ≧ 上限 5.0 → 不良"},
        {JudgedValue::Jyakuten, UNSET_VALUE, "弱点比 --- (次の電圧段階または1分値なし) → 判定なし"},
    };
    for (const auto& c : cases) {
        CMeasRecord r;
        setValue(r, c.which, c.value);
        const JudgmentExplanation e = ExplainJudgment(r, c.which);
        EXPECT_EQ(u8(e.text), c.text);
        EXPECT_EQ(e.value, c.value);
        // The judgment is the record's own, never a second computation.
        if (c.value == UNSET_VALUE) {
            EXPECT_FALSE(e.judgment) << c.text;
        } else {
            const Judgment own = c.which == JudgedValue::LastCurrent ? r.JudgeLastCurrent()
                                 : c.which == JudgedValue::Seikyoku  ? r.JudgeSeikyoku()
                                                                     : r.JudgeJyakuten();
            EXPECT_EQ(e.judgment, own) << c.text;
        }
    }
}

TEST(Explain, HiddenRatiosInvertedAndFineLimits)
{
    CMeasRecord r;
    r.SeikyokuRatio = 0.7;
    r.ShowSeikyoku = 0;
    EXPECT_EQ(u8(ExplainJudgment(r, JudgedValue::Seikyoku).text),
              "成極比は表示しない設定 (判定なし)");
    EXPECT_FALSE(ExplainJudgment(r, JudgedValue::Seikyoku).judgment);

    // Inverted limits: the minimum side is tested first, and the text says so.
    r.LastCurrent = 5.0;
    r.Condition.LastCurrentMin = 10.0;
    r.Condition.LastCurrentMax = 1.0;
    EXPECT_EQ(u8(ExplainJudgment(r, JudgedValue::LastCurrent).text),
              "最終値 5.000 μA ≦ 下限 10.0 μA → 良");

    r.JyakutenRatio = 0.8;
    r.Condition.JyakutenMin = 0.75;
    EXPECT_EQ(u8(ExplainJudgment(r, JudgedValue::Jyakuten).text),
              "下限 0.75 < 弱点比 0.800 < 上限 5.0 → 注意");

    const auto all = ExplainJudgments(r);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].which, JudgedValue::LastCurrent);
    EXPECT_EQ(all[2].which, JudgedValue::Jyakuten);
}

} // namespace
