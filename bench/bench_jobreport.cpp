// links: mxr_report mxr_analysis mxr_model
// The job report of a visit: 60 measurements of 90 s (one point every 0.2 s: one graph page
// and one table page each, about 120 pages with the cover and the summary) built from the
// tree and written as a PDF at 600 dpi into memory, as mxrtool writes it. The counter
// "x_singles" is its time over the time of the 60 single reports written one PDF each in the
// same run (the reference), so the composed document's own cost shows apart from the pages'.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPdfWriter>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/jobsummary.h"
#include "model/customerdb.h"
#include "report/jobreport.h"
#include "benchmain.h"

namespace {

constexpr int kCables = 20, kPhases = 3; // 60 measurements

CCustomer visit()
{
    CCustomer c;
    c.name = "Customer";
    for (int k = 0; k < kCables; ++k) {
        CCable& cable = c.cables.At(c.cables.FindOrInsert("Cable " + std::to_string(k)));
        for (int p = 0; p < kPhases; ++p) {
            CMeasData& set = cable.sets.At(cable.sets.FindOrInsert("2026 " + std::to_string(p)));
            CMeasRecord r;
            r.TestVoltage = 6.6;
            r.TriggerLevel = 20.0;
            r.Condition.CabKind = CabKindR + p;
            r.StartTime = {46100.4 + 0.01 * k, 0};
            for (int i = 1; i <= 450; ++i) {
                const double t = 0.2 * i;
                r.Points.push_back({CDataValue(0.4 + 0.1 * k + 6.0 * std::exp(-t / 15.0)), t});
            }
            r.RecalcFinalAndTriggers(-1, 10);
            set.AppendRecord(r);
        }
    }
    return c;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ReportContent contentOf(const CCustomer& c, const analysis::JobRecord& r)
{
    ReportContent content;
    content.customer = c.name;
    content.cable = r.cable->name;
    content.measData = r.set->name;
    content.record = r.record;
    return content;
}

void BM_JobPdf(benchmark::State& state)
{
    const CCustomer customer = visit();
    const std::vector<analysis::JobRecord> records = analysis::SelectJobRecords(customer, {});
    int pages = 0;
    std::int64_t bytes = 0;
    double spent = 0;
    for (auto _ : state) {
        const double t0 = now();
        JobReport job({}, {"Customer", "R-1", "2026/03/20", "", "", "", "", "", "", ""},
                      analysis::SummarizeJob(records, {}), true, PrintOptions{});
        for (const analysis::JobRecord& r : records)
            job.AddRecord(contentOf(customer, r), 2, 10);
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buf);
        pdf.setResolution(600);
        job.print(pdf, 1, job.totalPages());
        spent += now() - t0;
        pages = job.totalPages();
        bytes = buf.size();
    }
    // The reference: every single report into a PDF of its own, as printing them one by one.
    const double t0 = now();
    for (const analysis::JobRecord& r : records) {
        PageReport single({}, contentOf(customer, r), 2, 10, PrintOptions{});
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buf);
        pdf.setResolution(600);
        single.print(pdf, 1, single.totalPages());
    }
    const double singles = now() - t0;
    const double perJob = spent / static_cast<double>(state.iterations());
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["singles_ms"] = singles * 1e3;
    state.counters["x_singles"] = perJob / singles;
}
BENCHMARK(BM_JobPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
