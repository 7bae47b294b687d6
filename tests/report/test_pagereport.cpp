// The printed pages: page grids and their fill, page numbers, judgments, margins, and a page
// rendered into an A4 image.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "model/cp932text.h"
#include "model/format.h"
#include "model/measrecord.h"
#include "report/graphblock.h"
#include "report/celltext.h"
#include "report/pagereport.h"
#include "report/screenreport.h"
#include "samplerecords.h"

namespace {

CMeasRecord record(int points, int triggers)
{
    CMeasRecord r;
    r.SeikyokuRatio = 1.26;
    r.JyakutenRatio = 2.0;
    r.LastCurrent = 2.345;
    r.RangeFlag = 1;
    sample::addPoints(r, points, [](int i) { return 1.0 + i % 7; });
    sample::addTriggers(r, triggers, 10.0, 30.0, 30.4);
    return r;
}

QString text(LayoutGrid* page, const std::string& block, int col, int row)
{
    return page->findBlock(block)->grid()->cell(col, row).text;
}

} // namespace

TEST(PageReport, GraphPagesCarryThreeStripsAndPageOneTheTriggers)
{
    const CMeasRecord r = record(3001, 20); // 600 s
    ReportContent c{"a", "b", "c", &r, true};
    PageReport pages(ReportSettings{}, c, 1.0, 10, PrintOptions{});
    EXPECT_EQ(pages.graphPages(), 4);
    EXPECT_EQ(pages.totalPages(), 4 + 6);

    LayoutGrid* p2 = pages.buildPage(2);
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(p2->rowCount(), 10);
    auto* strip = dynamic_cast<GraphBlock*>(p2->cell(0, 6).block.get());
    ASSERT_NE(strip, nullptr);
    EXPECT_DOUBLE_EQ(strip->xMin(), 4.0); // page 2, second strip: minutes 4 … 5
    EXPECT_DOUBLE_EQ(strip->xMax(), 5.0);
    EXPECT_EQ(p2->findBlock("Trigger"), nullptr);
    EXPECT_EQ(text(p2, "page title", 2, 0), QStringLiteral("        2/10"));

    LayoutGrid* p1 = pages.buildPage(1);
    EXPECT_EQ(text(p1, "Trigger", 1, 0).toStdString(), mxrfmt::TriggerStartText(r.Triggers[0]));
    EXPECT_EQ(text(p1, "Trigger", 9, 2).toStdString(), mxrfmt::TriggerMaxText(r.Triggers[8], 1));
    EXPECT_EQ(text(p1, "Trigger", 1, 3).toStdString(), mxrfmt::TriggerStartText(r.Triggers[9]));
    EXPECT_EQ(text(p1, "Trigger", 9, 5).toStdString(), mxrfmt::TriggerMaxText(r.Triggers[17], 1));
    EXPECT_EQ(text(p1, "Trigger", 0, 4), QStringLiteral("停止時(分:秒)"));
    EXPECT_EQ(pages.buildPage(11), nullptr);
}

TEST(PageReport, TablePagesHold552PointsInColumnPairs)
{
    const CMeasRecord r = record(553, 0);
    PageReport pages(ReportSettings{}, ReportContent{"a", "b", "c", &r, true}, 1.0, 10, {});
    ASSERT_EQ(pages.graphPages(), 1);
    ASSERT_EQ(pages.totalPages(), 3);
    LayoutGrid* p2 = pages.buildPage(2);
    EXPECT_EQ(p2->rowCount(), 6);
    EXPECT_EQ(text(p2, "MeasVal", 0, 1).toStdString(), mxrfmt::PointTimeText(r.Points[0]));
    EXPECT_EQ(text(p2, "MeasVal", 2, 1).toStdString(), mxrfmt::PointTimeText(r.Points[69]));
    EXPECT_EQ(text(p2, "MeasVal", 15, 69).toStdString(), mxrfmt::PointValueText(r.Points[551], 1));
    LayoutGrid* p3 = pages.buildPage(3);
    EXPECT_EQ(text(p3, "MeasVal", 0, 1).toStdString(), mxrfmt::PointTimeText(r.Points[552]));
    EXPECT_TRUE(text(p3, "MeasVal", 0, 2).isEmpty());
    EXPECT_TRUE(text(p3, "MeasVal", 2, 1).isEmpty());
    EXPECT_EQ(text(p3, "MeasVal", 1, 0), QStringLiteral("データ\n(μA)"));
}

TEST(PageReport, PageNumbersAndJudgmentsFollowTheOptions)
{
    const CMeasRecord r = record(10, 0);
    PrintOptions o;
    o.pageNumbers = false;
    PageReport pages(ReportSettings{}, ReportContent{"a", "b", "c", &r, false}, 1.0, 10, o);
    LayoutGrid* p1 = pages.buildPage(1);
    EXPECT_EQ(text(p1, "page title", 1, 0), QStringLiteral("成績表"));
    EXPECT_TRUE(text(p1, "page title", 2, 0).isEmpty());
    EXPECT_TRUE(text(p1, "title2", 3, 0).isEmpty());
    EXPECT_TRUE(text(p1, "title2", 3, 1).isEmpty());
    EXPECT_EQ(text(p1, "title2", 1, 1), QStringLiteral("   2.3"));
}

TEST(PageReport, MarginsShrinkThePrintableAreaAndAPageRenders)
{
    const CMeasRecord r = record(300, 3);
    PrintOptions o;
    o.marginTop = 10;
    o.marginLeft = 20;
    o.marginBottom = 0;
    o.marginRight = 5;
    PageReport pages(ReportSettings{}, ReportContent{"a", "b", "c", &r, true}, 1.0, 10, o);
    const ReportMapping m(1.0, 1.0); // one device unit per 0.1 mm
    const LRect rect = pages.pageRect(m, QRectF(0, 0, 2000, 2870));
    EXPECT_EQ(rect, (LRect{200, -100, 1950, -2870}));
    PageReport noMargins(ReportSettings{}, ReportContent{}, 1.0, 10,
                         PrintOptions{true, 0, 0, 0, 0});
    EXPECT_EQ(noMargins.pageRect(m, QRectF(0, 0, 2000, 2870)), (LRect{0, 0, 2000, -2870}));

    QImage a4(1240, 1754, QImage::Format_RGB32);
    a4.setDotsPerMeterX(5906);
    a4.setDotsPerMeterY(5906);
    a4.fill(Qt::white);
    {
        QPainter p(&a4);
        pages.drawPage(p, a4, QRectF(a4.rect()), 1);
    }
    // Nothing is drawn in the left margin (20 mm ≈ 118 pixels at 150 dpi); the curve is.
    int leftInk = 0, red = 0;
    for (int y = 0; y < a4.height(); ++y)
        for (int x = 0; x < a4.width(); ++x) {
            const QColor c = a4.pixelColor(x, y);
            if (x < 110 && c != QColor(Qt::white))
                ++leftInk;
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_EQ(leftInk, 0);
    EXPECT_GT(red, 100);
}

TEST(PageReport, LongRemarkAndCurrentsStayLegibleAt600Dpi)
{
    CMeasRecord r = record(100, 0);
    // 55 characters, far wider than the remark cell at any legible size.
    r.Condition.Remarks =
        cp932::fromUtf8("シース接続部に軽微な汚損あり、清掃後に再測定を実施。"
                        "前回比で漏れ電流が増加傾向のため次回点検時に要確認（４件）")
            .value();
    ASSERT_EQ(55, report::fromCp932(r.Condition.Remarks).size());
    r.Condition.CurrentR = r.Condition.CurrentS = r.Condition.CurrentT = 123456.7;
    PageReport pages(ReportSettings{}, ReportContent{"a", "b", "c", &r, true}, 1.0, 10, {});

    // The top of an A4 page at 600 dpi: title, header and the result tables.
    QImage top(4961, 900, QImage::Format_RGB32);
    top.setDotsPerMeterX(23622);
    top.setDotsPerMeterY(23622);
    top.fill(Qt::white);
    const LayoutContext ctx{ReportMapping::forDevice(top), &top};
    LayoutGrid* page = pages.buildPage(1);
    page->layout(pages.pageRect(ctx.mapping, QRectF(0, 0, 4961, 7016)), ctx);
    {
        QPainter p(&top);
        page->draw(p, ctx);
    }
    ASSERT_GE(ctx.mapping.pixelSizeFor(report::legibleMinimumHeight(ctx.mapping)), 49); // 6 pt

    // The remark: two lines of 6 pt do not fit a 4 mm row, so one line, elided. The currents
    // cell, made for small print, holds even these on two lines of about 5 pt.
    struct Case {
        QPoint at;
        int floor;
        bool elided;
    };
    LayoutGrid* title3 = page->findBlock("title3")->grid();
    for (const Case& c : {Case{QPoint(1, 3), report::kSixPointHeight, true},
                          Case{QPoint(1, 2), report::kFivePointHeight, false}}) {
        const QPoint cellAt = c.at;
        const int minimumPixels =
            ctx.mapping.pixelSizeFor(report::legibleMinimumHeight(ctx.mapping, c.floor));
        const Cell& cell = title3->cell(cellAt.x(), cellAt.y());
        const report::TextFit fit = LayoutGrid::legibleFit(cell, ctx);
        EXPECT_GE(fit.height, report::legibleMinimumHeight(ctx.mapping, c.floor));
        EXPECT_EQ(fit.elided, c.elided);

        // The ink inside the cell (its borders left out) comes in lines of text; the tallest
        // glyph of each is as tall as a glyph of the minimum size.
        const QRect inside =
            ctx.mapping.toDevice(cell.rect).normalized().toRect().adjusted(8, 8, -8, -8);
        std::vector<int> bandHeights;
        int band = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            bool ink = false;
            for (int x = inside.left(); x <= inside.right() && !ink; ++x)
                ink = qGray(top.pixel(x, y)) < 128;
            if (ink) {
                ++band;
            } else if (band > 0) {
                bandHeights.push_back(band);
                band = 0;
            }
        }
        if (band > 0)
            bandHeights.push_back(band);
        ASSERT_FALSE(bandHeights.empty());
        for (int h : bandHeights)
            EXPECT_GE(h, minimumPixels * 3 / 4) << "cell " << cellAt.x() << "," << cellAt.y();
    }
}

// The shield currents cell shows all three values and the unit, on paper at the resolutions
// printing and PDF use and on screen at a main window's usual widths: on one line where that
// is legible, else on two lines broken after a separator, never elided.
TEST(PageReport, ShieldCurrentsAndTheirUnitAreAllShown)
{
    struct Case {
        const char* what;
        int dpi;
        int width; // screen report: device pixels; 0: an A4 page
        double current;
    };
    const Case cases[] = {
        {"A4 at 300 dpi", 300, 0, 12.4},    {"A4 at 600 dpi", 600, 0, 12.4},
        {"A4 at 1200 dpi", 1200, 0, 12.4},  {"A4, large currents", 600, 0, 123.4},
        {"screen, 800 px", 96, 800, 12.4},  {"screen, 1280 px", 96, 1280, 12.4},
        {"screen, 800 px, large", 96, 800, 123.4},
    };
    for (const Case& c : cases) {
        CMeasRecord r = record(10, 0);
        r.Condition.CurrentR = c.current - 0.4;
        r.Condition.CurrentS = c.current;
        r.Condition.CurrentT = c.current - 0.1;
        const ReportContent content{"a", "b", "c", &r, true};
        PageReport pages(ReportSettings{}, content, 1.0, 10, {});
        ScreenReport screen{ReportSettings{}};
        const double dpm = c.dpi / 0.0254;
        const QSize size = c.width > 0 ? QSize(c.width, c.width * 3 / 4)
                                       : QSize(qRound(8.27 * c.dpi), qRound(11.69 * c.dpi));
        QImage device(1, 1, QImage::Format_RGB32); // only its resolution is used
        device.setDotsPerMeterX(qRound(dpm));
        device.setDotsPerMeterY(qRound(dpm));
        const LayoutContext ctx{ReportMapping::forDevice(device), &device};
        LayoutGrid* root = nullptr;
        if (c.width > 0) {
            screen.fill(content, 0, 10, 10);
            screen.layout(ctx.mapping.toLogical(QRectF(QPointF(0, 0), QSizeF(size))), ctx);
            root = &screen.grid();
        } else {
            root = pages.buildPage(1);
            root->layout(pages.pageRect(ctx.mapping, QRectF(QPointF(0, 0), QSizeF(size))), ctx);
        }
        const Cell& cell = root->findBlock("title3")->grid()->cell(1, 2);
        ASSERT_TRUE(cell.text.endsWith(QStringLiteral(" (mA)"))) << cell.text.toStdString();
        const report::TextFit fit = LayoutGrid::legibleFit(cell, ctx);
        EXPECT_FALSE(fit.elided) << c.what;
        EXPECT_FALSE(fit.overflows) << c.what;
        EXPECT_LE(fit.lines, 2) << c.what;
        EXPECT_GE(fit.height, report::kFivePointHeight) << c.what; // about 5 pt at least
        // The lines drawn hold the whole text.
        const QFont font = LayoutGrid::deviceFont(cell.style, fit.height, ctx);
        const double width = ctx.mapping.toDevice(cell.rect).normalized().width() -
                             (cell.style.marginLeft + cell.style.marginRight) * ctx.mapping.scaleX();
        bool complete = false;
        const QStringList lines =
            report::wrapLines(cell.text, font, &device, width - 1, fit.lines, &complete);
        EXPECT_TRUE(complete) << c.what;
        EXPECT_EQ(lines.join(QString()).remove(' '), QString(cell.text).remove(' ')) << c.what;
        if (fit.lines == 2) { // the break falls between two values
            EXPECT_TRUE(lines[0].endsWith(QChar(0xFF5C))) << c.what << lines[0].toStdString();
        }
    }
}

// The approval line is on every page only when the content carries one; without it the title
// row is as it always was.
TEST(PageReport, ApprovalLineOnlyWhenGiven)
{
    const CMeasRecord r = record(600, 0);
    ReportContent plain{"a", "b", "c", &r, true};
    PageReport without(ReportSettings{}, plain, 1.0, 10, PrintOptions{});
    LayoutGrid* p1 = without.buildPage(1);
    EXPECT_TRUE(text(p1, "page title", 0, 0).isEmpty());
    EXPECT_EQ(p1->findBlock("page title")->grid()->columns()[0].length, 200);

    ReportContent approved = plain;
    approved.approval = QStringLiteral("承認：山田　2026/12/11");
    PageReport with(ReportSettings{}, approved, 1.0, 10, PrintOptions{});
    ASSERT_EQ(with.totalPages(), without.totalPages());
    for (int p = 1; p <= with.totalPages(); ++p)
        EXPECT_EQ(text(with.buildPage(p), "page title", 0, 0), approved.approval) << p;
    EXPECT_EQ(text(with.buildPage(1), "page title", 1, 0), QStringLiteral("成績表"));
}
