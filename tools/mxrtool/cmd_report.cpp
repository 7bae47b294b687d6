// report: renders one measurement of a data store: the printed report into a PDF (A4) or one
// printed page into a PNG, or the screen report into a PNG.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>
#include <cstdio>
#include <string>

#include "settings/appfolder.h"
#include "settings/companysettings.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "namedrecord.h"
#include "reportoutput.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "report/pagereport.h"
#include "report/screenreport.h"
#include "store/store.h"
#include "analysis/analysissettings.h"
#include "analysis/jobsummary.h"
#include "exchange/csvwriter.h"
#include "ui/analysis/jobdocument.h"

namespace {

// The print options both the single report and the job take; empty: the INI settings.
struct PrintArgs {
    QString judgments, pageNumbers, margins;
};

// Takes --judgments, --page-numbers and --margins (ok: the value is well formed); false for
// any other option.
bool takePrintOption(const QString& o, const QString& v, PrintArgs& p, bool& ok)
{
    if (o == "--judgments" || o == "--page-numbers") {
        (o == "--judgments" ? p.judgments : p.pageNumbers) = v;
        ok = v == "on" || v == "off";
    } else if (o == "--margins") {
        p.margins = v;
        ok = v.split(',').size() == 4;
    } else {
        return false;
    }
    return true;
}

struct ReportArgs {
    QString store, customer, cable, set;
    int index = -1;
    QString screenPng, pdf, png;
    int page = 1;
    int width = 1280, height = 960;
    double widthMin = -1, axis = -1, start = 0;
    PrintArgs print;
};

bool onOff(const QString& v, bool& out)
{
    if (v == "on" || v == "off") {
        out = v == "on";
        return true;
    }
    return v.isEmpty();
}

bool parse(const QStringList& args, ReportArgs& a, QString& error)
{
    if (args.isEmpty()) {
        error = ToolText(ToolMsg::ReportNeedsStore);
        return false;
    }
    a.store = args[0];
    for (int i = 1; i < args.size(); ++i) {
        const QString& o = args[i];
        if (i + 1 >= args.size()) {
            error = ToolText(ToolMsg::NeedsValue, {o});
            return false;
        }
        const QString v = args[++i];
        bool ok = true;
        if (o == "--customer")
            a.customer = v;
        else if (o == "--cable")
            a.cable = v;
        else if (o == "--set")
            a.set = v;
        else if (o == "--index")
            a.index = v.toInt(&ok);
        else if (o == "--screen-png")
            a.screenPng = v;
        else if (o == "--pdf")
            a.pdf = v;
        else if (o == "--png")
            a.png = v;
        else if (o == "--page")
            a.page = v.toInt(&ok);
        else if (o == "--width")
            a.widthMin = v.toDouble(&ok);
        else if (o == "--axis")
            a.axis = v.toDouble(&ok);
        else if (o == "--start")
            a.start = v.toDouble(&ok);
        else if (o == "--size") {
            const QStringList wh = v.split('x');
            bool okW = false, okH = false;
            if (wh.size() == 2) {
                a.width = wh[0].toInt(&okW);
                a.height = wh[1].toInt(&okH);
            }
            ok = okW && okH && a.width > 0 && a.height > 0 && a.width <= 20000 && a.height <= 20000;
        } else if (!takePrintOption(o, v, a.print, ok)) {
            error = ToolText(ToolMsg::UnknownOption, {o});
            return false;
        }
        if (!ok) {
            error = ToolText(ToolMsg::BadValueGiven, {o, v});
            return false;
        }
    }
    // Windows and scales a user could pick in the main window are far inside these bounds.
    const bool widthOk =
        a.widthMin == -1 || (std::isfinite(a.widthMin) && a.widthMin > 0 && a.widthMin <= 1000);
    const bool axisOk = a.axis == -1 || (std::isfinite(a.axis) && a.axis > 0 && a.axis <= 1e9);
    const bool startOk = std::isfinite(a.start) && a.start >= 0 && a.start <= 1e6;
    if (!widthOk || !axisOk || !startOk) {
        error = ToolText(ToolMsg::ReportNumbers);
        return false;
    }
    if (a.customer.isEmpty() || a.cable.isEmpty() || a.set.isEmpty() || a.index < 0) {
        error = ToolText(ToolMsg::ReportNeedsRecord);
        return false;
    }
    if (a.screenPng.isEmpty() && a.pdf.isEmpty() && a.png.isEmpty()) {
        error = ToolText(ToolMsg::ReportNeedsOutput);
        return false;
    }
    return true;
}

// The print options given on the command line over those of the INI settings; false (with
// the usage error written) for bad margins.
bool applyPrintArgs(const PrintArgs& args, bool& judgments, PrintOptions& options, int& status)
{
    onOff(args.judgments, judgments);
    onOff(args.pageNumbers, options.pageNumbers);
    if (args.margins.isEmpty())
        return true;
    const QStringList m = args.margins.split(',');
    int* targets[] = {&options.marginTop, &options.marginLeft, &options.marginBottom,
                      &options.marginRight};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        *targets[i] = m[i].trimmed().toInt(&ok);
        if (!ok || *targets[i] < 0 || *targets[i] > 100) {
            status = usageError(ToolMsg::BadValueGiven, {QStringLiteral("--margins"), args.margins});
            return false;
        }
    }
    return true;
}

// report --job: the report of a customer's visit.
struct JobArgs {
    QString store, customer;
    std::optional<CalendarTime> from, to;
    QStringList sets;
    bool history = false, phase = false;
    QString pdf, csv;
    QString number, date, tester, witness, remarks;
    PrintArgs print;
};

std::optional<CalendarTime> dayOf(const QString& text)
{
    const QStringList p = text.split('-');
    if (p.size() != 3 || p[0].size() != 4 || p[1].size() != 2 || p[2].size() != 2)
        return std::nullopt;
    bool ok[3] = {};
    const CalendarTime c{p[0].toInt(&ok[0]), p[1].toInt(&ok[1]), p[2].toInt(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2] || !OleDateTime::fromCalendar(c))
        return std::nullopt;
    return c;
}

bool parseJob(const QStringList& args, JobArgs& a, QString& error)
{
    if (args.isEmpty() || args[0].startsWith("--")) {
        error = ToolText(ToolMsg::ReportNeedsStore);
        return false;
    }
    a.store = args[0];
    for (int i = 1; i < args.size(); ++i) {
        const QString& o = args[i];
        if (o == "--job")
            continue;
        if (o == "--history" || o == "--phase") {
            (o == "--history" ? a.history : a.phase) = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = ToolText(ToolMsg::NeedsValue, {o});
            return false;
        }
        const QString v = args[++i];
        bool ok = true;
        if (o == "--customer")
            a.customer = v;
        else if (o == "--from" || o == "--to") {
            const auto day = dayOf(v);
            ok = day.has_value();
            (o == "--from" ? a.from : a.to) = day;
        } else if (o == "--sets")
            a.sets << v.split(',', Qt::SkipEmptyParts);
        else if (o == "--pdf")
            a.pdf = v;
        else if (o == "--csv")
            a.csv = v;
        else if (o == "--number")
            a.number = v;
        else if (o == "--report-date")
            a.date = v;
        else if (o == "--tester")
            a.tester = v;
        else if (o == "--witness")
            a.witness = v;
        else if (o == "--remarks")
            a.remarks = v;
        else if (!takePrintOption(o, v, a.print, ok)) {
            error = ToolText(ToolMsg::UnknownOption, {o});
            return false;
        }
        if (!ok) {
            error = ToolText(ToolMsg::BadValueGiven, {o, v});
            return false;
        }
    }
    if (a.customer.isEmpty() || (!a.from && !a.to && a.sets.isEmpty())) {
        error = ToolText(ToolMsg::JobNeedsSelection);
        return false;
    }
    if (a.pdf.isEmpty() && a.csv.isEmpty()) {
        error = ToolText(ToolMsg::JobNeedsOutput);
        return false;
    }
    return true;
}

// "CABLE/SET" names one set; "SET" the set of that name in every cable.
analysis::JobSetRef setRefOf(const QString& item)
{
    auto stored = [](const QString& s) {
        return cp932::fromUtf8(s.toStdString()).value_or(std::string("\x01unmatched"));
    };
    const int slash = item.indexOf('/');
    if (slash < 0)
        return {{}, stored(item)};
    return {stored(item.left(slash)), stored(item.mid(slash + 1))};
}

// The cover's company from system.ini [Company], read without writing anything back.
void readCompany(const ToolContext& ctx, JobReportInfo& info)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return;
    const CompanySettings c = ReadCompanySettings(*folder + "/" + kSystemIniName);
    info.companyName = report::fromCp932(c.name);
    info.companyAddress = report::fromCp932(c.address);
    info.companyPhone = report::fromCp932(c.phone);
    info.logoPath = report::fromCp932(c.logoPath);
}

int runReportJob(const ToolContext& ctx, const QStringList& args)
{
    JobArgs a;
    QString error;
    if (!parseJob(args, a, error))
        return usageError(error);

    jobdoc::JobRequest request;
    request.judgments = true;
    ReadPrintSettings(ctx.homeOption, request.judgments, request.options);
    int status = 0;
    if (!applyPrintArgs(a.print, request.judgments, request.options, status))
        return status;

    CCustomerDB db;
    const StoreOutcome loaded = LoadStore(db, QFile::encodeName(a.store).toStdString());
    if (!loaded.ok)
        return ProgramFailure(ToolMsg::StoreNotRead, {a.store}, loaded.message);
    const auto stored = cp932::fromUtf8(a.customer.toStdString());
    const int c = stored ? db.customers.Find(*stored) : -1;
    if (c < 0)
        return ToolFailure(ToolMsg::NoCustomer, {a.customer});
    const CCustomer& customer = db.customers.At(c);

    request.selection.from = a.from;
    request.selection.to = a.to;
    for (const QString& item : a.sets)
        request.selection.sets.push_back(setRefOf(item));
    request.history = a.history;
    request.phase = a.phase;
    request.settings = ReadReportSettings(ctx.homeOption);
    if (const auto folder = ApplicationFolder(ctx.homeOption, false))
        request.thresholds = ReadAnalysisThresholds(*folder + "/" + kSystemIniName);
    readCompany(ctx, request.info);
    request.info.reportNumber = a.number;
    request.info.reportDate =
        a.date.isEmpty() ? QString::fromStdString(OleDateTime::now().format("%Y/%m/%d")) : a.date;
    request.info.tester = a.tester;
    request.info.witness = a.witness;
    request.info.remarks = a.remarks;

    const jobdoc::JobBuild job = jobdoc::BuildJob(customer, request);
    if (job.records.empty())
        return ToolFailure(ToolMsg::JobNoRecords, {a.customer});

    if (!a.csv.isEmpty()) {
        CsvWriteOptions options;
        const CsvWriteOutcome written =
            WriteCsvFile(QFile::encodeName(a.csv).toStdString(), analysis::JobSummaryCsv(job.summary), options);
        if (!written.ok)
            return ProgramFailure(ToolMsg::CsvNotWritten, {a.csv}, written.message);
    }
    if (!a.pdf.isEmpty()) {
        QPdfWriter pdf(a.pdf);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(600);
        pdf.setTitle(QStringLiteral("試験成績書"));
        if (!job.report->print(pdf, 1, job.report->totalPages()))
            return ToolFailure(ToolMsg::CannotWrite, {a.pdf});
    }
    return 0;
}

} // namespace

int runReportCommand(const ToolContext& ctx, const QStringList& args)
{
    if (args.contains(QStringLiteral("--job")))
        return runReportJob(ctx, args);
    ReportArgs a;
    QString error;
    if (!parse(args, a, error))
        return usageError(error);

    CCustomerDB db;
    NamedRecord found;
    if (const int failed = LoadNamedRecord({a.store, a.customer, a.cable, a.set, a.index}, db, found))
        return failed;
    const CMeasRecord& record = *found.record;

    // Width and axis as the main window's auto-scaling would choose them.
    const ReportScale fit = AutoReportScale(record);
    if (a.axis <= 0)
        a.axis = fit.axis;
    if (a.widthMin <= 0)
        a.widthMin = fit.widthMin;

    ReportContent content;
    content.judgments = true;
    content.customer = found.customer->name;
    content.cable = found.cable->name;
    content.measData = found.set->name;
    content.record = &record;

    if (!a.screenPng.isEmpty()) {
        QImage image(a.width, a.height, QImage::Format_RGB32);
        image.fill(Qt::white);
        ScreenReport report(ReadReportSettings(ctx.homeOption));
        report.fill(content, a.start, a.widthMin, a.axis);
        const LayoutContext lc{ReportMapping::forDevice(image), &image};
        report.layout(lc.mapping.toLogical(QRectF(0, 0, a.width, a.height)), lc);
        {
            QPainter p(&image);
            report.draw(p, lc);
        }
        if (!image.save(a.screenPng, "PNG"))
            return ToolFailure(ToolMsg::CannotWrite, {a.screenPng});
        return 0;
    }

    PrintOptions options;
    ReadPrintSettings(ctx.homeOption, content.judgments, options);
    int status = 0;
    if (!applyPrintArgs(a.print, content.judgments, options, status))
        return status;
    PageReport pages(ReadReportSettings(ctx.homeOption), content, a.widthMin, a.axis, options);

    if (!a.png.isEmpty()) {
        if (a.page < 1 || a.page > pages.totalPages())
            return ToolFailure(ToolMsg::NoPage,
                               {QString::number(a.page), QString::number(pages.totalPages())});
        // A4 at 150 dpi.
        constexpr int kDpi = 150;
        QImage image(qRound(210 / 25.4 * kDpi), qRound(297 / 25.4 * kDpi), QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(kDpi / 0.0254));
        image.setDotsPerMeterY(qRound(kDpi / 0.0254));
        image.fill(Qt::white);
        {
            QPainter p(&image);
            pages.drawPage(p, image, QRectF(image.rect()), a.page);
        }
        if (!image.save(a.png, "PNG"))
            return ToolFailure(ToolMsg::CannotWrite, {a.png});
        return 0;
    }

    QPdfWriter pdf(a.pdf);
    if (!PrintReportPdf(pdf, pages))
        return ToolFailure(ToolMsg::CannotWrite, {a.pdf});
    return 0;
}
