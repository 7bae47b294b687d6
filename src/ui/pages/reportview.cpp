// ReportView: following the notifier, the screen report's refresh and layout, and its list scrolling.
#include "ui/pages/reportview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "settings/appsettings.h"
#include "report/pagereport.h"
#include "report/screenreport.h"
#include "ui/common/programreport.h"
#include "ui/dialogs/printout.h"

ReportView::ReportView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("viewGraph"));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(10, 10);
    m_measBar = new QScrollBar(Qt::Vertical, this);
    m_triggBar = new QScrollBar(Qt::Horizontal, this);
    for (QScrollBar* bar : {m_measBar, m_triggBar}) {
        bar->setEnabled(false);
        bar->hide();
    }
    connect(m_measBar, &QScrollBar::valueChanged, this, [this](int v) {
        if (Report().measSheet().setScrollPos(v))
            update();
    });
    connect(m_triggBar, &QScrollBar::valueChanged, this, [this](int v) {
        if (Report().triggSheet().setScrollPos(v))
            update();
    });
}

ReportView::~ReportView() = default;

void ReportView::Connect(DocumentNotifier& notifier)
{
    connect(&notifier, &DocumentNotifier::selectionShown, this,
            [this](const SelectionNames& names) { m_names = names; });
    connect(&notifier, &DocumentNotifier::recordsCleared, this, [this] {
        m_records.clear();
        m_newRecord = true;
    });
    connect(&notifier, &DocumentNotifier::recordAdded, this, [this](const CMeasRecord& record) {
        m_records.push_back(record);
        m_newRecord = true;
    });
    connect(&notifier, &DocumentNotifier::startTimeChanged, this,
            [this](double v) { SetScale(m_startTime, v); });
    connect(&notifier, &DocumentNotifier::widthChanged, this,
            [this](double v) { SetScale(m_width, v); });
    connect(&notifier, &DocumentNotifier::axisChanged, this,
            [this](double v) { SetScale(m_axis, v); });
    connect(&notifier, &DocumentNotifier::refreshRequested, this, [this] { Refresh(); });
}

void ReportView::SetScale(double& target, double value)
{
    target = value;
    Refresh();
}

bool ReportView::HasRecord() const
{
    return DisplayedRecord() != nullptr;
}

const CMeasRecord* ReportView::DisplayedRecord() const
{
    const CMeasRecord empty;
    for (const CMeasRecord& r : m_records) {
        if (!(r == empty))
            return &m_records.front();
    }
    return nullptr;
}

ScreenReport& ReportView::Report()
{
    if (!m_report)
        m_report = std::make_unique<ScreenReport>(ui::ProgramReportSettings());
    return *m_report;
}

void ReportView::Refresh()
{
    ++m_refreshCount;
    ReportContent content;
    content.customer = m_names.customer;
    content.cable = m_names.cable;
    content.measData = m_names.measData;
    content.record = DisplayedRecord();
    content.judgments = true; // the screen always shows the judgments
    // A width or axis that is not a usable number (no list selection) keeps the graph drawable.
    const double width = m_width > 0 ? m_width : 0.5;
    const double axis = m_axis > 0 ? m_axis : 1000.0;
    Report().fill(content, std::max(0.0, m_startTime), width, axis);
    // Another record starts its lists at the top; a new scale keeps the lists where they are.
    if (m_newRecord) {
        Report().measSheet().setScrollPos(0);
        Report().triggSheet().setScrollPos(0);
        m_newRecord = false;
    }
    Relayout();
    update();
}

void ReportView::Relayout()
{
    const LayoutContext ctx{ReportMapping::forDevice(*this), this};
    ScreenReport& report = Report();
    // Room for the scroll bars inside the lists, in report units.
    const int barW = m_measBar->sizeHint().width();
    const int barH = m_triggBar->sizeHint().height();
    report.measSheet().setReserve(static_cast<int>(std::ceil(barW / ctx.mapping.scaleX())), 0);
    report.triggSheet().setReserve(0, static_cast<int>(std::ceil(barH / ctx.mapping.scaleY())));
    report.layout(ctx.mapping.toLogical(QRectF(rect())), ctx);
    PlaceScrollBars(ctx);
}

void ReportView::PlaceScrollBars(const LayoutContext& ctx)
{
    const bool shown = HasRecord();
    SheetBlock& meas = Report().measSheet();
    const QRectF m = ctx.mapping.toDevice(meas.rect()).normalized();
    const int barW = m_measBar->sizeHint().width();
    const int headerBottom =
        static_cast<int>(m.top() + meas.table().rows().front().end * ctx.mapping.scaleY());
    const int bottom = std::min(static_cast<int>(m.bottom()), height());
    m_measBar->setGeometry(static_cast<int>(m.right()) - barW, headerBottom, barW,
                           std::max(0, bottom - headerBottom));
    {
        const QSignalBlocker block(m_measBar);
        m_measBar->setRange(0, meas.maxScroll());
        m_measBar->setPageStep(std::max(1, meas.visibleCount()));
        m_measBar->setValue(meas.scrollPos());
    }
    m_measBar->setEnabled(meas.maxScroll() > 0);
    m_measBar->setVisible(shown);

    SheetBlock& trigg = Report().triggSheet();
    const QRectF t = ctx.mapping.toDevice(trigg.rect()).normalized();
    const int barH = m_triggBar->sizeHint().height();
    const int labelRight =
        static_cast<int>(t.left() + trigg.table().columns().front().end * ctx.mapping.scaleX());
    const int right = std::min(static_cast<int>(t.right()), width());
    m_triggBar->setGeometry(labelRight, static_cast<int>(t.bottom()) - barH,
                            std::max(0, right - labelRight), barH);
    {
        const QSignalBlocker block(m_triggBar);
        m_triggBar->setRange(0, trigg.maxScroll());
        m_triggBar->setPageStep(std::max(1, trigg.visibleCount()));
        m_triggBar->setValue(trigg.scrollPos());
    }
    m_triggBar->setEnabled(trigg.maxScroll() > 0);
    m_triggBar->setVisible(shown);
}

void ReportView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void ReportView::wheelEvent(QWheelEvent* event)
{
    // The wheel scrolls the measurement list; with Shift, the trigger list.
    const int steps = event->angleDelta().y() / 40;
    if (steps == 0) {
        event->ignore();
        return;
    }
    QScrollBar* bar = (event->modifiers() & Qt::ShiftModifier) ? m_triggBar : m_measBar;
    bar->setValue(bar->value() - steps);
    event->accept();
}

void ReportView::paintEvent(QPaintEvent* event)
{
    // The report keeps a picture of itself: a repaint with nothing changed (an uncovered
    // window, a tooltip) only copies the exposed part of it.
    QPainter p(this);
    const LayoutContext ctx{ReportMapping::forDevice(*this), this};
    Report().paint(p, ctx, size(), devicePixelRatioF(), event->rect());
}

static ReportContent printContent(const SelectionNames& names, const CMeasRecord* r,
                                  const ReportView::ApprovalLineSource& approvalLine)
{
    ReportContent c;
    c.customer = names.customer;
    c.cable = names.cable;
    c.measData = names.measData;
    c.record = r;
    c.judgments = AppSettings().PrtJudgOut != 0;
    if (approvalLine)
        c.approval = approvalLine(names);
    return c;
}

int ReportView::PrintPageCount() const
{
    const CMeasRecord* r = DisplayedRecord();
    if (!r)
        return 0;
    return PageReport(ui::ProgramReportSettings(), printContent(m_names, r, m_approvalLine),
                      m_width, m_axis, ui::ProgramPrintOptions())
        .totalPages();
}

bool ReportView::PrintReport(QPagedPaintDevice& device, int fromPage, int toPage,
                             const std::function<bool(int, int)>& progress) const
{
    const CMeasRecord* r = DisplayedRecord();
    if (!r)
        return false;
    PageReport pages(ui::ProgramReportSettings(), printContent(m_names, r, m_approvalLine), m_width,
                     m_axis, ui::ProgramPrintOptions());
    return pages.print(device, fromPage, toPage, progress);
}

void ReportView::OnFilePrint(QPrinter& printer)
{
    printout::RunPrint(this, printout::ViewOutput(*this), printer);
}
