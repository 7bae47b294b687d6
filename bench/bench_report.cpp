// links: mxr_report mxr_model
// Report layout and drawing of a record with many points (one point every 0.2 s).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <clocale>
#include <cmath>
#include <cstdlib>

#include "model/measrecord.h"
#include "report/screenreport.h"

namespace {

CMeasRecord longRecord(int points)
{
    CMeasRecord r;
    for (int i = 0; i < points; ++i) {
        const double kick = (i % 997 < 5) ? 8.0 : 0.0;
        r.Points.push_back({CDataValue(6.0 * std::exp(-i / 400.0) + 0.4 + kick), i * 0.2});
    }
    r.UsedPoints = points;
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

void BM_ScreenFillAndLayout(benchmark::State& state)
{
    const CMeasRecord r = longRecord(static_cast<int>(state.range(0)));
    QImage image(1280, 960, QImage::Format_RGB32);
    const LayoutContext ctx{ReportMapping::forDevice(image), &image};
    ScreenReport report{ReportSettings{}};
    for (auto _ : state) {
        report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 16, 10);
        report.layout(ctx.mapping.toLogical(QRectF(0, 0, 1280, 960)), ctx);
    }
}
BENCHMARK(BM_ScreenFillAndLayout)->Arg(300)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ScreenDraw(benchmark::State& state)
{
    const CMeasRecord r = longRecord(static_cast<int>(state.range(0)));
    QImage image(1280, 960, QImage::Format_RGB32);
    const LayoutContext ctx{ReportMapping::forDevice(image), &image};
    ScreenReport report{ReportSettings{}};
    report.fill(ReportContent{"a", "b", "c", &r, true}, 0, 16, 10);
    report.layout(ctx.mapping.toLogical(QRectF(0, 0, 1280, 960)), ctx);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        report.draw(p, ctx);
    }
}
BENCHMARK(BM_ScreenDraw)->Arg(300)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
