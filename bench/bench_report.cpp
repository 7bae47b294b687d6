// links: mxr_report mxr_model
// Report layout and drawing of a record with many points (one point every 0.2 s), and the
// printed report as PDF. Each drawing benchmark also reports its time as a multiple of a
// reference measured in the same run on the same device (counter "x_ref"): copying the
// image's bytes for the screen, a PDF of as many plainly filled pages for printing.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/measrecord.h"
#include "report/pagereport.h"
#include "report/screenreport.h"

#include "../tests/common/samplerecords.h"
#include "benchmain.h"

namespace {

constexpr int kScreenW = 1280, kScreenH = 960;

CMeasRecord longRecord(int points)
{
    CMeasRecord r;
    sample::addPoints(r, points, [](int i) {
        const double kick = (i % 997 < 5) ? 8.0 : 0.0;
        return 6.0 * std::exp(-i / 400.0) + 0.4 + kick;
    });
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The median time of one call of f, over n calls.
template <class F> double medianSeconds(int n, F f)
{
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const double t0 = now();
        f();
        t.push_back(now() - t0);
    }
    std::nth_element(t.begin(), t.begin() + n / 2, t.end());
    return t[n / 2];
}

// Runs the benchmark loop with body(), timing it, and reports the mean time per iteration
// as a multiple of reference() (its median, measured right after the loop).
template <class Body, class Ref>
void runWithReference(benchmark::State& state, Body body, int refRuns, Ref reference)
{
    double spent = 0;
    for (auto _ : state) {
        const double t0 = now();
        body();
        spent += now() - t0;
    }
    const double ref = medianSeconds(refRuns, reference);
    state.counters["x_ref"] = spent / static_cast<double>(state.iterations()) / ref;
    state.counters["ref_ms"] = ref * 1e3;
}

struct Screen {
    QImage image{kScreenW, kScreenH, QImage::Format_RGB32};
    QImage target{kScreenW, kScreenH, QImage::Format_RGB32};
    LayoutContext ctx{ReportMapping::forDevice(image), &image};
    ScreenReport report{ReportSettings{}};
    CMeasRecord record;

    explicit Screen(int points) : record(longRecord(points))
    {
        report.fill(ReportContent{"a", "b", "c", &record, true}, 0, 16, 10);
        report.layout(ctx.mapping.toLogical(QRectF(0, 0, kScreenW, kScreenH)), ctx);
    }
    // The reference: copying the screen image's bytes once.
    void copyImage()
    {
        std::memcpy(target.bits(), image.constBits(),
                    static_cast<std::size_t>(image.sizeInBytes()));
        benchmark::DoNotOptimize(target.bits());
    }
};

void BM_ScreenFillAndLayout(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.report.fill(ReportContent{"a", "b", "c", &s.record, true}, 0, 16, 10);
        s.report.layout(s.ctx.mapping.toLogical(QRectF(0, 0, kScreenW, kScreenH)), s.ctx);
    }
}
BENCHMARK(BM_ScreenFillAndLayout)->Arg(300)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Drawing all of the report (what a paint did for every repaint before the picture).
void BM_ScreenDraw(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    runWithReference(
        state,
        [&] {
            s.target.fill(Qt::white);
            QPainter p(&s.target);
            s.report.draw(p, s.ctx);
        },
        200, [&] { s.copyImage(); });
}
BENCHMARK(BM_ScreenDraw)->Arg(300)->Arg(18000)->Arg(20000)->Unit(benchmark::kMillisecond);

// A paint after a change (record, scale, scroll or size): the picture is drawn again and
// copied to the device.
void BM_ScreenRedraw(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    const QRect all(0, 0, kScreenW, kScreenH);
    runWithReference(
        state,
        [&] {
            s.report.invalidate();
            QPainter p(&s.target);
            s.report.paint(p, s.ctx, all.size(), 1.0, all);
        },
        200, [&] { s.copyImage(); });
}
BENCHMARK(BM_ScreenRedraw)->Arg(18000)->Arg(20000)->Unit(benchmark::kMillisecond);

// A paint with nothing changed (the window uncovered): the picture is only copied.
void BM_ScreenRepaintUnchanged(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    const QRect all(0, 0, kScreenW, kScreenH);
    {
        QPainter p(&s.target);
        s.report.paint(p, s.ctx, all.size(), 1.0, all);
    }
    runWithReference(
        state,
        [&] {
            QPainter p(&s.target);
            s.report.paint(p, s.ctx, all.size(), 1.0, all);
        },
        200, [&] { s.copyImage(); });
}
BENCHMARK(BM_ScreenRepaintUnchanged)->Arg(18000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The printed report of a one-hour record (18,000 points, strips of 10 minutes: 2 graph
// pages and 33 table pages) as a PDF at 1200 dpi into memory; the reference writes as many
// A4 pages, each filled with one rectangle, through the same writer.
void BM_Pdf(benchmark::State& state)
{
    const CMeasRecord r = longRecord(18000);
    PageReport pages(ReportSettings{}, ReportContent{"a", "b", "c", &r, true}, 10, 10,
                     PrintOptions{});
    const int total = pages.totalPages();
    std::int64_t bytes = 0;
    runWithReference(
        state,
        [&] {
            QBuffer buf;
            buf.open(QIODevice::WriteOnly);
            QPdfWriter pdf(&buf);
            pdf.setResolution(1200);
            pages.print(pdf, 1, total);
            bytes = buf.size();
        },
        5,
        [&] {
            QBuffer buf;
            buf.open(QIODevice::WriteOnly);
            QPdfWriter pdf(&buf);
            pdf.setResolution(1200);
            QPainter p(&pdf);
            for (int i = 0; i < total; ++i) {
                if (i > 0)
                    pdf.newPage();
                p.fillRect(QRect(0, 0, pdf.width(), pdf.height()), QColor(247, 247, 247));
            }
            p.end();
        });
    state.counters["pages"] = total;
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Pdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
