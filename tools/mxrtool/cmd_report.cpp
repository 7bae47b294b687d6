// report: renders one measurement of a data store: the printed report into a PDF (A4) or one
// printed page into a PNG, or the screen report into a PNG.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>
#include <cstdio>
#include <string>

#include "commands.h"
#include "namedrecord.h"
#include "reportoutput.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "report/pagereport.h"
#include "report/screenreport.h"
#include "store/store.h"

namespace {

struct ReportArgs {
    QString store, customer, cable, set;
    int index = -1;
    QString screenPng, pdf, png;
    int page = 1;
    int width = 1280, height = 960;
    double widthMin = -1, axis = -1, start = 0;
    QString judgments, pageNumbers, margins; // empty: the INI settings
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
        } else if (o == "--judgments") {
            a.judgments = v;
            ok = v == "on" || v == "off";
        } else if (o == "--page-numbers") {
            a.pageNumbers = v;
            ok = v == "on" || v == "off";
        } else if (o == "--margins") {
            a.margins = v;
            ok = v.split(',').size() == 4;
        } else {
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

} // namespace

int runReportCommand(const ToolContext& ctx, const QStringList& args)
{
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
    onOff(a.judgments, content.judgments);
    onOff(a.pageNumbers, options.pageNumbers);
    if (!a.margins.isEmpty()) {
        const QStringList m = a.margins.split(',');
        int* targets[] = {&options.marginTop, &options.marginLeft, &options.marginBottom,
                          &options.marginRight};
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            *targets[i] = m[i].trimmed().toInt(&ok);
            if (!ok || *targets[i] < 0 || *targets[i] > 100)
                return usageError(ToolMsg::BadValueGiven, {QStringLiteral("--margins"), a.margins});
        }
    }
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
