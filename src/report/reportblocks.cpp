// The shared report blocks: layout of the header and result tables, and their texts.
#include "report/reportblocks.h"

#include "model/cp932text.h"
#include "model/format.h"
#include "model/measrecord.h"
#include "report/celltext.h"

namespace report {

QString fromCp932(const std::string& text)
{
    return QString::fromStdString(cp932::toUtf8(text));
}

static QString orDefault(const std::string& configured, const char* fallback)
{
    return configured.empty() ? QString::fromUtf8(fallback) : fromCp932(configured);
}

QString customerLabel(const ReportSettings& s)
{
    return orDefault(s.customerTitle, "需要家名");
}

QString cableLabel(const ReportSettings& s)
{
    return orDefault(s.cableTitle, "ｹｰﾌﾞﾙ");
}

QString cableKindLabel(const ReportSettings& s)
{
    return orDefault(s.cableTitle, "ｹｰﾌﾞﾙ種類");
}

QString measurementLabel(const ReportSettings& s)
{
    return orDefault(s.measurementTitle, "測定ﾃﾞｰﾀ");
}

QString customerTemplate(const ReportSettings& s)
{
    return orDefault(s.customerTitle, "需要家名 ");
}

QString cableTemplate(const ReportSettings& s)
{
    return orDefault(s.cableTitle, "ｹｰﾌﾞﾙ種類 ");
}

std::unique_ptr<TableBlock> makeTable(const std::string& name, int columns, int rows)
{
    auto t = std::make_unique<TableBlock>(name, columns, rows);
    t->table().applyFont(gothicFace());
    t->table().setBorders({}, Qt::black, AllSides);
    return t;
}

TableBlock* buildTitle1(LayoutGrid& g, int col, int row, const ReportSettings& s)
{
    TableBlock* b = g.place(col, row, makeTable("title1", 6, 1));
    LayoutGrid& t = b->table();
    for (int i = 0; i < 6; ++i)
        t.setColumnPercent(i, s.widthRates[i]);
    t.setText(0, 0, customerLabel(s));
    t.setText(2, 0, cableLabel(s));
    t.setText(4, 0, measurementLabel(s));
    t.addFitGroup(0, 0, {}, customerTemplate(s));
    for (int c : {0, 2, 4})
        t.setBackground({c, 0, c, 0}, kLabelBackground);
    return b;
}

TableBlock* buildTableMiddle(LayoutGrid& g, int col, int row, const ReportSettings& s)
{
    TableBlock* mid = g.place(col, row, makeTable("table中", 2, 1));
    mid->table().setColumnPercent(0, 50);

    LayoutGrid& t2 = mid->table().place(0, 0, makeTable("title2", 4, 3))->table();
    const double widths2[] = {30, 27, 24, 19};
    for (int i = 0; i < 4; ++i)
        t2.setColumnPercent(i, widths2[i]);
    t2.setText(0, 0, QStringLiteral("試験電圧(kV)"));
    t2.setText(0, 1, QStringLiteral("最終値(μA)"));
    t2.setText(0, 2, QStringLiteral("ﾄﾘｶﾞ設定値(μA)"));
    t2.setText(2, 0, QStringLiteral("成極比"));
    t2.setText(2, 1, QStringLiteral("弱点比"));
    t2.setText(2, 2, QStringLiteral("ｼｰｽ絶縁(MΩ)"));
    t2.addFitGroup(0, 0, {}, QStringLiteral("ﾄﾘｶﾞ設定値(μA) "));
    t2.setBackground({0, 0, 0, -1}, kLabelBackground);
    t2.setBackground({2, 0, 2, -1}, kLabelBackground);

    LayoutGrid& t3 = mid->table().place(1, 0, makeTable("title3", 4, 4))->table();
    t3.setColumnPercent(0, 18);
    t3.setColumnPercent(1, 28);
    t3.setColumnPercent(2, 18);
    t3.cell(1, 0).style.face = pGothicFace();
    // The three shield currents and their unit do not fit one line of a legible size on
    // paper (a 4 mm row): this cell gives its row height to two lines of small print, the
    // values broken after a separator.
    CellStyle& currents = t3.cell(1, 2).style;
    currents.minimumHeight = report::kFivePointHeight;
    currents.marginTop = currents.marginBottom = 0;
    t3.merge({2, 1, 2, 3});
    t3.merge({3, 1, 3, 3});
    t3.setText(0, 0, QStringLiteral("試験環境"));
    t3.setText(0, 1, QStringLiteral("試験条件"));
    t3.setText(0, 2, QStringLiteral("漏れ電流"));
    t3.setText(0, 3, QStringLiteral("備考"));
    t3.setText(2, 0, QStringLiteral("試験日時"));
    t3.setText(2, 1, cableKindLabel(s));
    t3.addFitGroup(0, 1, {0, 1, -1, 2}, cableTemplate(s));
    t3.addFitGroup(0, 1, {0, 3, 0, 3}, cableTemplate(s));
    t3.setBackground({0, 0, 0, -1}, kLabelBackground);
    t3.setBackground({2, 0, 2, 1}, kLabelBackground);
    return mid;
}

void fillCommon(LayoutGrid& root, const ReportContent& c)
{
    const CMeasRecord* r = c.record;
    if (Block* b = root.findBlock("title1")) {
        LayoutGrid& t = *b->grid();
        t.setText(1, 0, fromCp932(c.customer));
        t.setText(3, 0, fromCp932(c.cable));
        t.setText(5, 0, fromCp932(c.measData));
    }
    auto q = [](const std::string& s) { return fromCp932(s); };
    if (Block* b = root.findBlock("title2")) {
        LayoutGrid& t = *b->grid();
        if (!r) {
            for (int row = 0; row < 3; ++row) {
                t.setText(1, row, {});
                t.setText(3, row, {});
            }
        } else {
            t.setText(1, 0, q(mxrfmt::TestVoltageText(*r)));
            t.setText(
                1, 1,
                q(c.judgments ? mxrfmt::LastCurrentJudgedText(*r) : mxrfmt::LastCurrentText(*r)));
            t.setText(1, 2, q(mxrfmt::TriggerLevelText(*r)));
            t.setText(3, 0, c.judgments ? q(mxrfmt::SeikyokuJudgedText(*r)) : QString());
            t.setText(3, 1, c.judgments ? q(mxrfmt::JyakutenJudgedText(*r)) : QString());
            t.setText(3, 2, q(mxrfmt::InsulationText(r->Condition.ShisuZetuen)));
        }
    }
    if (Block* b = root.findBlock("title3")) {
        LayoutGrid& t = *b->grid();
        if (!r) {
            for (int row = 0; row < 4; ++row)
                t.setText(1, row, {});
            t.setText(3, 0, {});
            t.setText(3, 1, {});
        } else {
            const CTestCondition& k = r->Condition;
            using mxrfmt::NumberText;
            t.setText(
                1, 0,
                QStringLiteral("%1｜%2度｜%3％")
                    .arg(q(k.Weather), q(NumberText(k.Temperature)), q(NumberText(k.Humidity))));
            t.setText(1, 1, q(mxrfmt::ConditionText(k)));
            t.setText(1, 2,
                      QStringLiteral("R相=%1｜S相=%2｜T相=%3 (mA)")
                          .arg(q(NumberText(k.CurrentR)), q(NumberText(k.CurrentS)),
                               q(NumberText(k.CurrentT))));
            t.setText(1, 3, q(k.Remarks));
            t.setText(3, 0, q(mxrfmt::StartDateTimeText(*r)));
            t.setText(3, 1,
                      QStringLiteral("%1(sq)｜%2(m)")
                          .arg(q(NumberText(k.CabSectionalArea)), q(NumberText(k.CabLength))));
        }
    }
}

} // namespace report
