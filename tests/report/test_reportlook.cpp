// The report's look, held against reference images: the screen report and two printed pages
// of a one-hour record rendered now must match the committed renders within antialiasing
// noise. Run with MXR_WRITE_REPORT_REFERENCE=<folder> to write new references there instead.
#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "model/cp932text.h"
#include "model/measrecord.h"
#include "report/pagereport.h"
#include "report/screenreport.h"

namespace {

// One hour at one point every 0.2 s: a decaying current with short spikes (which the curve
// must keep) and enough trigger events to fill the printed trigger table.
CMeasRecord hourRecord()
{
    CMeasRecord r;
    r.RangeFlag = 1;
    r.TestVoltage = 10.0;
    r.TriggerLevel = 4.0;
    r.StartTime = OleDateTime{45000.5, OleDateTime::Valid};
    for (int i = 0; i < 18000; ++i) {
        const double spike = (i % 997 < 3) ? 6.0 : 0.0;
        const double ripple = 0.3 * std::sin(i / 7.0);
        r.Points.push_back(
            {CDataValue(6.0 * std::exp(-i / 900.0) + 1.0 + ripple + spike), i * 0.2});
    }
    r.UsedPoints = 18000;
    r.RecalcFinalAndTriggers(-1, 1);
    return r;
}

const CMeasRecord& record()
{
    static const CMeasRecord r = hourRecord();
    return r;
}

ReportContent content()
{
    return ReportContent{cp932::lit("需要家A"), cp932::lit("ケーブル1"), cp932::lit("測定1"),
                         &record(), true};
}

QImage renderScreen(int scroll = 100)
{
    QImage image(1000, 700, QImage::Format_RGB32);
    image.fill(Qt::white);
    const LayoutContext ctx{ReportMapping::forDevice(image), &image};
    ScreenReport report{ReportSettings{}};
    report.fill(content(), 2.0, 16.0, 10.0);
    report.layout(ctx.mapping.toLogical(QRectF(0, 0, image.width(), image.height())), ctx);
    report.measSheet().setScrollPos(scroll);
    QPainter p(&image);
    report.draw(p, ctx);
    return image;
}

// A4 at 100 dpi.
QImage renderPage(int page)
{
    QImage image(827, 1169, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(100 / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    PageReport pages(ReportSettings{}, content(), 10.0, 10.0, PrintOptions{});
    QPainter p(&image);
    pages.drawPage(p, image, QRectF(0, 0, image.width(), image.height()), page);
    return image;
}

// Pixels that differ by more than antialiasing does and have no close match in the reference
// within one pixel either way (a glyph or a line edge that moved by a rounding).
int differingPixels(const QImage& actual, const QImage& reference)
{
    if (actual.size() != reference.size())
        return actual.width() * actual.height();
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = reference.convertToFormat(QImage::Format_RGB32);
    auto close = [](QRgb x, QRgb y) {
        return std::abs(qRed(x) - qRed(y)) <= 64 && std::abs(qGreen(x) - qGreen(y)) <= 64 &&
               std::abs(qBlue(x) - qBlue(y)) <= 64;
    };
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb px = a.pixel(x, y);
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy)
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int u = x + dx, v = y + dy;
                    matched = u >= 0 && v >= 0 && u < a.width() && v < a.height() &&
                              close(px, b.pixel(u, v));
                }
            n += !matched;
        }
    }
    return n;
}

void expectLooksLike(const QImage& actual, const char* name)
{
    if (const char* dir = std::getenv("MXR_WRITE_REPORT_REFERENCE")) {
        ASSERT_TRUE(actual.save(QDir(dir).filePath(name)));
        return;
    }
    const QString path = QStringLiteral(MXR_TEST_DATA_DIR "/report/") + name;
    const QImage reference(path);
    ASSERT_FALSE(reference.isNull()) << path.toStdString();
    EXPECT_EQ(differingPixels(actual, reference), 0) << name;
}

} // namespace

TEST(ReportLook, ScreenAndPrintedPagesMatchTheirReferences)
{
    expectLooksLike(renderScreen(), "screen.png");
    expectLooksLike(renderPage(1), "page1.png"); // graph strips and the trigger table
    expectLooksLike(renderPage(4), "page4.png"); // a table page of 552 points
}

TEST(ReportLook, TheComparisonSeesARowOutOfPlace)
{
    const QImage reference(QStringLiteral(MXR_TEST_DATA_DIR "/report/screen.png"));
    ASSERT_FALSE(reference.isNull());
    EXPECT_GT(differingPixels(renderScreen(101), reference), 100);
}
