// Legible text fitting: the rule on its own with a model text, and the wrapping helper on
// real fonts.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include <gtest/gtest.h>

#include "report/celltext.h"
#include "report/reportmapping.h"
#include "report/textfit.h"

using report::TextFit;

namespace {

// A model cell: a text of `width` units at height 10 takes width·h/10 on one line, and about
// half of that on each of two lines; `room` is the cell's width and height.
struct Model {
    int width;
    int roomWidth;
    int roomHeight;
    bool fits(int h, int lines) const
    {
        const int perLine = (width * h / 10 + lines - 1) / lines;
        return perLine <= roomWidth && h * lines <= roomHeight;
    }
    bool roomFor(int h, int lines) const { return h * lines <= roomHeight; }
};

} // namespace

TEST(TextFit, ShrinksToTheMinimumThenWrapsThenElides)
{
    struct Case {
        const char* what;
        int preferred;
        Model m;
        TextFit expected;
    } cases[] = {
        {"fits at the group's height", 40, {100, 500, 50}, {40, 1, false}},
        {"shrinks, not below the minimum", 40, {200, 500, 50}, {25, 1, false}},
        {"exactly at the minimum", 40, {238, 500, 50}, {21, 1, false}},
        {"wraps once the minimum is reached", 40, {300, 500, 50}, {25, 2, false}},
        {"wraps at the minimum", 40, {476, 500, 50}, {21, 2, false}},
        {"too long for two lines: elided", 40, {900, 500, 50}, {21, 2, true}},
        {"no room for two lines: one elided", 40, {300, 500, 30}, {21, 1, true}},
        {"preferred below the minimum", 10, {100, 500, 50}, {21, 1, false}},
    };
    for (const Case& c : cases) {
        const TextFit got = report::fitLegible(
            c.preferred, 21, [&](int h, int n) { return c.m.fits(h, n); },
            [&](int h, int n) { return c.m.roomFor(h, n); });
        EXPECT_EQ(c.expected, got)
            << c.what << ": " << got.height << " " << got.lines << " " << got.elided;
    }
}

TEST(TextFit, LegibleMinimumIsSixPointOrEightPixels)
{
    EXPECT_EQ(21, report::legibleMinimumHeight(ReportMapping(600 / 254.0, 600 / 254.0)));
    EXPECT_EQ(21, report::legibleMinimumHeight(ReportMapping(96 / 254.0, 96 / 254.0)));
    // On a coarse device eight pixels are more than 6 pt.
    const int h = report::legibleMinimumHeight(ReportMapping(72 / 254.0, 72 / 254.0));
    EXPECT_GE(ReportMapping(72 / 254.0, 72 / 254.0).pixelSizeFor(h), 8);
}

TEST(TextFit, WrapsBetweenCharactersAndElidesTheRest)
{
    QImage device(10, 10, QImage::Format_RGB32);
    device.setDotsPerMeterX(23622); // 600 dpi
    device.setDotsPerMeterY(23622);
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(50);
    const QFontMetricsF fm(font, &device);
    const QString text =
        QStringLiteral("ケーブル端末部に軽微な汚損あり清掃後に再測定を実施すること");
    const double width = fm.horizontalAdvance(text) * 0.6;

    bool complete = false;
    const QStringList two = report::wrapLines(text, font, &device, width, 2, &complete);
    ASSERT_EQ(2, two.size());
    EXPECT_TRUE(complete);
    EXPECT_EQ(text, two.join(QString()));
    for (const QString& line : two)
        EXPECT_LE(fm.horizontalAdvance(line), width + 0.5);

    const QStringList one = report::wrapLines(text, font, &device, width, 1, &complete);
    ASSERT_EQ(1, one.size());
    EXPECT_FALSE(complete);
    EXPECT_TRUE(one[0].endsWith(QChar(0x2026)));
    EXPECT_LE(fm.horizontalAdvance(one[0]), width + 0.5);

    // Digits without spaces break too.
    const QString digits = QStringLiteral("R相=123456.7｜S相=123456.7｜T相=123456.7 (mA)");
    const QStringList d =
        report::wrapLines(digits, font, &device, fm.horizontalAdvance(digits) * 0.55, 2, &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(2, d.size());
}
