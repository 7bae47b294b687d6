// The screen report rendered offscreen: blocks, labels, fills, sheet scrolling, sizing on
// resize, text fitting and the graph's curve, checked through properties of the layout and
// of rendered images.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

#include "model/format.h"
#include "model/measrecord.h"
#include "report/screenreport.h"
#include "samplerecords.h"

namespace {

CMeasRecord makeRecord(int points, int triggers = 0)
{
    CMeasRecord r;
    r.RangeFlag = 0;
    r.TestVoltage = 6.0;
    r.TriggerLevel = 2.0;
    r.LastCurrent = 0.5;
    r.StartTime = OleDateTime{45000.5, OleDateTime::Valid};
    sample::addPoints(r, points, [](int i) { return 5.0 * std::exp(-i / 50.0) + 0.2; });
    sample::addTriggers(r, triggers, 3.0, 10.0, 10.4);
    return r;
}

struct Rendered {
    QImage image;
    LayoutContext ctx;
};

// Lays the report out into an image of the given pixel size and draws it.
Rendered render(ScreenReport& report, int w, int h)
{
    Rendered out{QImage(w, h, QImage::Format_RGB32), {}};
    out.image.fill(Qt::white);
    out.ctx = LayoutContext{ReportMapping::forDevice(out.image), &out.image};
    report.layout(out.ctx.mapping.toLogical(QRectF(0, 0, w, h)), out.ctx);
    QPainter p(&out.image);
    report.draw(p, out.ctx);
    return out;
}

int redPixels(const QImage& img, const QRect& area)
{
    int n = 0;
    for (int y = std::max(0, area.top()); y <= std::min(img.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(img.width() - 1, area.right()); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    return n;
}

QString text(Block* b, int col, int row)
{
    return b->grid()->cell(col, row).text;
}

} // namespace

TEST(ReportMapping, LogicalAndDeviceRoundTrip)
{
    const ReportMapping m(96 / 254.0, 96 / 254.0);
    const LRect r = m.toLogical(QRectF(0, 0, 1280, 960));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 3387);
    EXPECT_EQ(r.bottom, -2540); // y grows upwards
    const QRectF back = m.toDevice(r);
    EXPECT_NEAR(back.width(), 1280, 0.5);
    EXPECT_NEAR(back.height(), 960, 0.5);
    EXPECT_EQ(m.pixelSizeFor(0), 1);
}

TEST(ScreenReport, EmptyRecordShowsLabelsOnlyAndEmptyAxes)
{
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{}, 0, 10, 1000);
    const Rendered out = render(report, 1280, 960);
    EXPECT_EQ(report.measSheet().dataRows(), 1);
    EXPECT_EQ(report.measSheet().table().cell(0, 0).text, QStringLiteral("測定時間\n(分:秒)"));
    EXPECT_TRUE(report.measSheet().table().cell(0, 1).text.isEmpty());
    EXPECT_EQ(report.triggSheet().dataColumns(), 1);
    EXPECT_EQ(report.triggSheet().table().cell(0, 2).text, QStringLiteral("最大値(μA)"));
    EXPECT_TRUE(report.graph().series().empty());
    EXPECT_EQ(report.graph().xMax(), 10);
    EXPECT_TRUE(text(report.grid().findBlock("title2"), 1, 0).isEmpty());
    EXPECT_EQ(text(report.grid().findBlock("title2"), 0, 2), QStringLiteral("ﾄﾘｶﾞ設定値(μA)"));
    EXPECT_EQ(redPixels(out.image, out.image.rect()), 0);
}

TEST(ScreenReport, LabelsFallBackToDefaultsAndFollowTheSettings)
{
    ScreenReport plain{ReportSettings{}};
    Block* t1 = plain.grid().findBlock("title1");
    EXPECT_EQ(text(t1, 0, 0), QStringLiteral("需要家名"));
    EXPECT_EQ(text(t1, 2, 0), QStringLiteral("ｹｰﾌﾞﾙ"));
    EXPECT_EQ(text(t1, 4, 0), QStringLiteral("測定ﾃﾞｰﾀ"));
    EXPECT_EQ(t1->grid()->cell(0, 0).templ, QStringLiteral("需要家名 "));
    EXPECT_EQ(text(plain.grid().findBlock("title3"), 2, 1), QStringLiteral("ｹｰﾌﾞﾙ種類"));

    ReportSettings s;
    s.cableTitle = "\x90\xfc\x98\x48"; // "線路" in CP932
    ScreenReport configured{s};
    EXPECT_EQ(text(configured.grid().findBlock("title1"), 2, 0), QStringLiteral("線路"));
    EXPECT_EQ(text(configured.grid().findBlock("title3"), 2, 1), QStringLiteral("線路"));
    EXPECT_EQ(configured.grid().findBlock("title3")->grid()->cell(0, 1).templ,
              QStringLiteral("線路"));
}

TEST(ScreenReport, FixedRowsAndTheMeasurementListKeepTheirSizeOnResize)
{
    ScreenReport report{ReportSettings{}};
    for (QSize size : {QSize(800, 600), QSize(1600, 1200)}) {
        render(report, size.width(), size.height());
        const auto& rows = report.grid().rows();
        EXPECT_EQ(rows[0].end, 70);
        EXPECT_EQ(rows[3].end, 290);
        EXPECT_EQ(report.measSheet().rect().width(), 500);
        const LRect t1 = report.grid().findBlock("title1")->rect();
        const auto& cols = report.grid().findBlock("title1")->grid()->columns();
        const double pct[] = {8, 42, 48, 70, 78, 100};
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(cols[i].end, t1.width() * pct[i] / 100, 1) << i;
        const LRect g = report.graph().rect();
        EXPECT_EQ(g.right, report.grid().rect().right); // the rest goes to the last column
    }
}

TEST(ScreenReport, MeasurementListScrollsUnderItsFixedHeader)
{
    const CMeasRecord r = makeRecord(2000);
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 10, 10);
    render(report, 1280, 960);
    SheetBlock& sheet = report.measSheet();
    EXPECT_EQ(sheet.dataRows(), 2001);
    EXPECT_GT(sheet.visibleCount(), 10);
    EXPECT_EQ(sheet.maxScroll(), 2000 - sheet.visibleCount());
    EXPECT_TRUE(sheet.setScrollPos(1500));
    EXPECT_EQ(sheet.table().cell(0, 0).text, QStringLiteral("測定時間\n(分:秒)"));
    EXPECT_EQ(sheet.table().cell(0, 1).text.toStdString(), mxrfmt::PointTimeText(r.Points[1500]));
    EXPECT_EQ(sheet.table().cell(1, 1).text.toStdString(),
              mxrfmt::PointValueText(r.Points[1500], 0));
    sheet.setScrollPos(1 << 20); // clamped: the last point is the last visible row
    const int lastRow = sheet.visibleCount();
    EXPECT_EQ(sheet.table().cell(0, lastRow).text.toStdString(),
              mxrfmt::PointTimeText(r.Points[1999]));
}

TEST(ScreenReport, TriggerListFillsColumnsAndScrollsWithItsLabelsFixed)
{
    const CMeasRecord r = makeRecord(100, 60);
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 10, 10);
    render(report, 1280, 960);
    SheetBlock& sheet = report.triggSheet();
    EXPECT_EQ(sheet.dataColumns(), 61);
    EXPECT_EQ(sheet.table().cell(1, 0).text.toStdString(), mxrfmt::TriggerStartText(r.Triggers[0]));
    EXPECT_EQ(sheet.table().cell(1, 1).text.toStdString(), mxrfmt::TriggerStopText(r.Triggers[0]));
    EXPECT_EQ(sheet.table().cell(1, 2).text.toStdString(),
              mxrfmt::TriggerMaxText(r.Triggers[0], 0));
    ASSERT_GT(sheet.maxScroll(), 0);
    sheet.setScrollPos(sheet.maxScroll());
    EXPECT_EQ(sheet.table().cell(0, 0).text, QStringLiteral("発生(分:秒)"));
    EXPECT_EQ(sheet.table().cell(sheet.visibleCount(), 0).text.toStdString(),
              mxrfmt::TriggerStartText(r.Triggers[59]));
}

TEST(ScreenReport, HeaderTablesShowTheRecordWithJudgmentsOnlyWhenAsked)
{
    CMeasRecord r = makeRecord(10);
    r.SeikyokuRatio = 1.26;
    r.JyakutenRatio = UNSET_VALUE;
    r.Condition.Weather = "\x90\xb0"; // "晴"
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"\x82\x60", "b", "c", &r, true}, 0, 10, 10); // "Ａ"
    Block* t2 = report.grid().findBlock("title2");
    Block* t3 = report.grid().findBlock("title3");
    EXPECT_EQ(text(report.grid().findBlock("title1"), 1, 0), QStringLiteral("Ａ"));
    EXPECT_EQ(text(t2, 1, 0), QStringLiteral("6.00"));
    EXPECT_EQ(text(t2, 3, 0), QStringLiteral("1.3 (良)"));
    EXPECT_EQ(text(t2, 3, 1), QStringLiteral("---"));
    EXPECT_TRUE(text(t2, 1, 1).endsWith(QStringLiteral("(良)")));
    EXPECT_EQ(text(t3, 1, 0), QStringLiteral("晴｜0.0度｜0.0％"));
    EXPECT_EQ(text(t3, 1, 2), QStringLiteral("R相=0.0｜S相=0.0｜T相=0.0 (mA)"));
    EXPECT_EQ(t3->grid()->cell(1, 0).style.face, report::pGothicFace());

    report.fill(ReportContent{"a", "b", "c", &r, false}, 0, 10, 10);
    EXPECT_TRUE(text(t2, 3, 0).isEmpty());
    EXPECT_TRUE(text(t2, 3, 1).isEmpty());
    EXPECT_EQ(text(t2, 1, 1), QStringLiteral(" 0.500"));
}

TEST(ScreenReport, FitGroupsShareOneHeightAndLongTextsStillFit)
{
    CMeasRecord r = makeRecord(10);
    r.Condition.CurrentR = r.Condition.CurrentS = r.Condition.CurrentT = 123456.7;
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 10, 10);
    const Rendered out = render(report, 1280, 960);
    const LayoutGrid& m = report.measSheet().table();
    EXPECT_GT(m.cell(0, 1).fittedHeight, 10);
    for (int row = 1; row < 20; ++row)
        EXPECT_EQ(m.cell(1, row).fittedHeight, m.cell(0, 1).fittedHeight);
    // The group's template fits its anchor; a text wider than the template would not.
    const Cell& anchor = m.cell(0, 1);
    EXPECT_EQ(LayoutGrid::fitText(anchor, anchor.templ, out.ctx), anchor.fittedHeight);
    // The currents cell takes the label group's height, which is too large for its long text:
    // drawing shrinks it to its own fit instead of cutting it off.
    const Cell& currents = report.grid().findBlock("title3")->grid()->cell(1, 2);
    EXPECT_LT(LayoutGrid::fitText(currents, currents.text, out.ctx), currents.fittedHeight);
}

TEST(GraphBlock, CurveStaysInsideThePlotAndMergesPerColumn)
{
    CMeasRecord r = makeRecord(3000);
    r.Points[10].value = CDataValue(50.0); // far above full scale
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 10, 10);
    const Rendered out = render(report, 1280, 960);
    const QRectF plot = report.graph().plotRect(out.ctx);
    const QRect inside = plot.toAlignedRect();
    EXPECT_GT(redPixels(out.image, inside), 100);
    const QRect above(inside.left(), 0, inside.width(), inside.top() - 1);
    EXPECT_EQ(redPixels(out.image, above), 0); // clipped at the top edge
    // 3000 points over about 1000 device columns: one vertex per column at most.
    const auto line = report.graph().curve(report.graph().series().front(), plot);
    EXPECT_LE(line.size(), static_cast<std::size_t>(plot.width()) + 2);
    for (std::size_t i = 1; i < line.size(); ++i)
        EXPECT_GT(line[i].x(), line[i - 1].x());
    EXPECT_NEAR(line[0].x(), plot.left(), 1);
}

TEST(GraphBlock, StartBeyondTheRecordLeavesAnEmptyPlot)
{
    const CMeasRecord r = makeRecord(300); // one minute
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 5, 1, 10);
    const Rendered out = render(report, 1280, 960);
    ASSERT_EQ(report.graph().series().size(), 1u);
    EXPECT_TRUE(report.graph().series().front().points.empty());
    EXPECT_EQ(redPixels(out.image, out.image.rect()), 0);
    EXPECT_EQ(report.graph().xMin(), 5);
    EXPECT_EQ(report.graph().xMax(), 6);
}
