// Putting the job report together from the tree.
#include "ui/analysis/jobdocument.h"

#include <QPaintDevice>
#include <QPainter>

#include "model/dialogbarlists.h"
#include "report/autoscale.h"
#include "ui/analysis/analysispages.h"
#include "ui/analysis/analysisviews.h"
#include "ui/dialogs/printout.h"

namespace jobdoc {

namespace {

// An analysis printout as a part of the job: its pages drawn by its own painter, laid out in
// the job's room for parts.
void addAnalysisPart(JobReport& job, const ReportSettings& settings, analysisui::AnalysisDocument doc)
{
    const PrintOptions options = job.PartOptions();
    auto pages = std::make_shared<analysisui::AnalysisPages>(settings, std::move(doc), options);
    job.AddPart({pages->totalPages(), [pages, options](QPainter& painter, const QPaintDevice& device,
                                                       const QRectF& area, int page) {
                     LayoutGrid* g = pages->buildPage(page);
                     if (!g)
                         return;
                     const LayoutContext ctx{ReportMapping::forDevice(device), &device};
                     g->layout(MarginRect(ctx.mapping, area, options), ctx);
                     g->draw(painter, ctx);
                 }});
}

void addCableParts(JobReport& job, const JobRequest& request, const std::string& customer,
                   const CCable& cable, const std::vector<const CMeasData*>& sets)
{
    if (request.history) {
        analysisui::AnalysisView v =
            analysisui::BuildHistoryView(customer, cable.name, cable, request.thresholds);
        addAnalysisPart(job, request.settings, std::move(v.doc));
    }
    if (request.phase) {
        // One table per set, unless it repeats the table before it (sets of one day that each
        // hold one phase show the same groups).
        std::vector<QStringList> shown;
        for (const CMeasData* set : sets) {
            analysisui::AnalysisView v = analysisui::BuildPhaseView(customer, cable.name, cable,
                                                                    set->name, request.thresholds);
            if (v.doc.rows.empty() || v.doc.rows == shown)
                continue;
            shown = v.doc.rows;
            addAnalysisPart(job, request.settings, std::move(v.doc));
        }
    }
}

} // namespace

void AutoScale(const CMeasRecord& record, double& width, double& axis)
{
    double maxValue = 0.0, maxSeconds = 0.0;
    record.PeakValues(true, maxValue, maxSeconds);
    const auto axisItems = dialogbar::axisItems();
    const auto widthItems = dialogbar::widthItems();
    const autoscale::Choice fit = autoscale::Choose(axisItems, widthItems, maxValue, maxSeconds);
    axis = dialogbar::itemValue(axisItems, fit.axisIndex);
    width = dialogbar::itemValue(widthItems, fit.widthIndex);
}

JobBuild BuildJob(const CCustomer& customer, const JobRequest& request)
{
    JobBuild b;
    b.records = analysis::SelectJobRecords(customer, request.selection);
    b.summary = analysis::SummarizeJob(b.records, request.thresholds);
    JobReportInfo info = request.info;
    if (info.customer.isEmpty())
        info.customer = report::fromCp932(customer.name);
    b.report = std::make_unique<JobReport>(request.settings, info, b.summary, request.judgments,
                                           request.options);
    JobReport& job = *b.report;
    const bool analysisParts = request.history || request.phase;
    for (std::size_t i = 0; i < b.records.size(); ++i) {
        const analysis::JobRecord& r = b.records[i];
        ReportContent content;
        content.customer = customer.name;
        content.cable = r.cable->name;
        content.measData = r.set->name;
        content.record = r.record;
        double width = 1, axis = 1000;
        AutoScale(*r.record, width, axis);
        job.AddRecord(content, width, axis);
        const bool cableEnds = i + 1 == b.records.size() || b.records[i + 1].cable != r.cable;
        if (analysisParts && cableEnds) {
            std::vector<const CMeasData*> sets;
            for (const analysis::JobRecord& o : b.records)
                if (o.cable == r.cable && (sets.empty() || sets.back() != o.set))
                    sets.push_back(o.set);
            addCableParts(job, request, customer.name, *r.cable, sets);
        }
    }
    return b;
}

QString JobPdfProposal(const QString& customer, const QString& date)
{
    QStringList parts{customer};
    if (!date.isEmpty())
        parts << date;
    parts << QStringLiteral("試験成績書");
    return printout::SafeFileName(parts.join(QLatin1Char('_'))) + QStringLiteral(".pdf");
}

} // namespace jobdoc
