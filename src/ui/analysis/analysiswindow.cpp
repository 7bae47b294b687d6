// AnalysisWindow and ChartWidget: layout, chart hit tests, and the output buttons.
#include "ui/analysis/analysiswindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QSplitter>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>

#include "exchange/csvwriter.h"
#include "settings/appsettings.h"
#include "ui/analysis/analysiscsv.h"
#include "ui/common/messages.h"
#include "ui/dialogs/csvsave.h"
#include "ui/dialogs/outputbuttons.h"
#include "ui/common/programreport.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/printout.h"
#include "widgets/windowfit.h"

using namespace analysisui;

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(240, 160);
}

void ChartWidget::SetChart(analysisui::Chart chart)
{
    m_chart = std::move(chart);
    update();
}

void ChartWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    drawChart(p, QRectF(rect()), m_chart, ReportMapping::forDevice(*this));
}

QPointF ChartWidget::PointPosition(int series, int index) const
{
    const auto pos = pointPositions(QRectF(rect()), m_chart, ReportMapping::forDevice(*this));
    if (series < 0 || series >= static_cast<int>(pos.size()) || index < 0 ||
        index >= static_cast<int>(pos[series].size()))
        return {-1, -1};
    return pos[series][index];
}

bool ChartWidget::Hit(const QPointF& at, int& series, int& index) const
{
    const auto pos = pointPositions(QRectF(rect()), m_chart, ReportMapping::forDevice(*this));
    double best = 12.0; // pixels: close enough to mean that point
    series = index = -1;
    for (std::size_t s = 0; s < pos.size(); ++s) {
        for (std::size_t i = 0; i < pos[s].size(); ++i) {
            const double d = std::hypot(pos[s][i].x() - at.x(), pos[s][i].y() - at.y());
            if (d <= best) {
                best = d;
                series = static_cast<int>(s);
                index = static_cast<int>(i);
            }
        }
    }
    return series >= 0;
}

void ChartWidget::mousePressEvent(QMouseEvent* event)
{
    int s = -1, i = -1;
    if (event->button() == Qt::LeftButton && Hit(event->position(), s, i))
        emit pointClicked(s, i);
    QWidget::mousePressEvent(event);
}

bool ChartWidget::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        int s = -1, i = -1;
        if (Hit(help->pos(), s, i)) {
            const ChartSeries& series = m_chart.series[s];
            const QPointF v = series.points[i];
            const QString x = m_chart.xText ? m_chart.xText(v.x()) : QString::number(v.x());
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("%1\n%2  %3").arg(series.name, x, QString::number(v.y(), 'g', 6)),
                this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

AnalysisWindow::AnalysisWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings)
    : QDialog(parent), m_printer(printer), m_settings(settings)
{
    // A window of its own beside the main window: the user keeps it open while choosing
    // measurements there.
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Room for the charts and the table where the screen has it; on a smaller screen the
    // window opens within the available area, so its title bar and buttons stay reachable.
    windowfit::FitToScreen(*this, QSize(1000, 760), QSize(640, 480));

    auto* layout = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Vertical, this);
    m_chartArea = new QWidget(split);
    m_chartLayout = new QVBoxLayout(m_chartArea);
    m_chartLayout->setContentsMargins(0, 0, 0, 0);
    auto* lower = new QWidget(split);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    m_notes = new QLabel(lower);
    m_notes->setObjectName(QStringLiteral("analysisNotes"));
    m_notes->setWordWrap(true);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lowerLayout->addWidget(m_notes);
    m_table = new QTableWidget(lower);
    m_table->setObjectName(QStringLiteral("analysisTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    lowerLayout->addWidget(m_table);
    split->addWidget(m_chartArea);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    AddOutputButtons(this, buttons,
                     {[this] { OnPrint(); }, [this] { OnPreview(); }, [this] { OnPdf(); },
                      [this] { OnCsv(); }});
    layout->addLayout(buttons);

    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && row < static_cast<int>(m_rowTargets.size()))
            Open(m_rowTargets[row]);
    });
}

void AnalysisWindow::SetDocument(AnalysisDocument doc)
{
    m_doc = std::move(doc);
    setWindowTitle(QStringLiteral("%1 - %2").arg(m_doc.title, ui::appTitle()));
    RebuildCharts();
    m_notes->setText(m_doc.notes.join('\n'));
    m_notes->setVisible(!m_doc.notes.isEmpty());
    m_table->clear();
    m_table->setColumnCount(static_cast<int>(m_doc.header.size()));
    m_table->setHorizontalHeaderLabels(m_doc.header);
    m_table->setRowCount(static_cast<int>(m_doc.rows.size()));
    for (int r = 0; r < static_cast<int>(m_doc.rows.size()); ++r)
        for (int c = 0; c < m_doc.rows[r].size() && c < m_doc.header.size(); ++c) {
            auto* item = new QTableWidgetItem(m_doc.rows[r][c]);
            item->setToolTip(m_doc.rows[r][c]);
            m_table->setItem(r, c, item);
        }
    m_table->resizeColumnsToContents();
}

void AnalysisWindow::RebuildCharts()
{
    // The layout items go first: a nested row layout is its own layout item, so deleting
    // the item deletes the row (deleting both freed it twice), and the charts are then
    // deleted outside any layout.
    while (QLayoutItem* item = m_chartLayout->takeAt(0))
        delete item;
    for (ChartWidget* w : m_charts)
        delete w;
    m_charts.clear();
    QHBoxLayout* row = nullptr;
    for (std::size_t i = 0; i < m_doc.charts.size(); ++i) {
        auto* w = new ChartWidget(m_chartArea);
        w->setObjectName(QStringLiteral("chart%1").arg(i));
        w->SetChart(m_doc.charts[i]);
        const int chartIndex = static_cast<int>(i);
        connect(w, &ChartWidget::pointClicked, this, [this, chartIndex](int s, int idx) {
            // Targets belong to the series of the first chart.
            if (chartIndex != 0 || s >= static_cast<int>(m_pointTargets.size()) ||
                idx >= static_cast<int>(m_pointTargets[s].size()))
                return;
            Open(m_pointTargets[s][idx]);
        });
        if (i == 0) {
            m_chartLayout->addWidget(w, 3);
        } else {
            if (!row) {
                row = new QHBoxLayout;
                m_chartLayout->addLayout(row, 2);
            }
            row->addWidget(w);
        }
        m_charts.push_back(w);
    }
}

void AnalysisWindow::Open(const DataSelection& target)
{
    if (m_open && target.index >= 0)
        m_open(target);
}

AnalysisPages AnalysisWindow::Pages() const
{
    return AnalysisPages(ui::ProgramReportSettings(), m_doc, ui::ProgramPrintOptions());
}

printout::PagedOutput AnalysisWindow::Output() const
{
    return {[this] { return AnalysisPages::PageCount(m_doc.rows.size()); },
            [this](QPagedPaintDevice& device, int from, int to,
                   const std::function<bool(int, int)>& progress) {
                AnalysisPages pages = Pages();
                return pages.print(device, from, to, progress);
            },
            m_doc.title};
}

void AnalysisWindow::OnPrint()
{
    printout::RunPrint(this, Output(), m_printer);
}

void AnalysisWindow::OnPreview()
{
    printout::RunPreview(this, Output(), m_printer);
}

void AnalysisWindow::OnPdf()
{
    const QString proposal = printout::SafeFileName(m_fileStem) + QStringLiteral(".pdf");
    printout::RunPdfOut(this, Output(), proposal, m_printer, m_settings);
}

std::string AnalysisWindow::CsvBytes() const
{
    const CsvLabels labels =
        CsvLabelsFor(m_settings.TitleCustomer, m_settings.TitleCable, m_settings.TitleMeasurement);
    std::string content = AnalysisCsv(m_doc, labels.customer, labels.cable, labels.measName);
    const CsvEncoding encoding =
        CsvEncodingFromName(m_settings.TextOutEncoding).value_or(CsvEncoding::Cp932);
    return CsvEncode(std::move(content), encoding);
}

bool AnalysisWindow::WriteCsvTo(const QString& path)
{
    return csvsave::WriteAndTell(this, path, CsvBytes());
}

bool AnalysisWindow::OnCsv()
{
    const QString name = printout::SafeFileName(m_fileStem) + QStringLiteral(".CSV");
    return csvsave::AskAndWrite(this, m_settings, name, [this] { return CsvBytes(); });
}
