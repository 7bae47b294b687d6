// AnalysisWindow: the frame the three analysis windows share: charts, judgment lines and the
// result table on screen, and the buttons that print, preview, write a PDF and write CSV.
// AnalysisWindow was CAnalysisWindow in the Windows program's sources.
// ChartWidget was CChartWidget in the Windows program's sources.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <vector>

#include "ui/analysis/analysispages.h"
#include "ui/document/dataselection.h"

class CAppSettings;
class QLabel;
class QPrinter;
class QTableWidget;
class QVBoxLayout;

namespace printout {
struct PagedOutput;
}

// One chart on screen; a click near a point reports its series and index.
class ChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget* parent = nullptr);
    void SetChart(analysisui::Chart chart);
    const analysisui::Chart& Chart() const { return m_chart; }
    // The device position of a point (for tests and tool tips); (-1, -1) when absent.
    QPointF PointPosition(int series, int index) const;

signals:
    void pointClicked(int series, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool Hit(const QPointF& at, int& series, int& index) const;
    analysisui::Chart m_chart;
};

class AnalysisWindow : public QDialog {
    Q_OBJECT
public:
    // printer and settings belong to the main window and outlive this window.
    AnalysisWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings);

    // Shows a document: charts, judgment lines and table.
    void SetDocument(analysisui::AnalysisDocument doc);
    const analysisui::AnalysisDocument& Document() const { return m_doc; }
    // The measurement behind each table row (index -1: none); a double-click on a row, or a
    // click on a chart point mapped by SetPointTargets, opens it.
    void SetRowTargets(std::vector<DataSelection> targets) { m_rowTargets = std::move(targets); }
    void SetPointTargets(std::vector<std::vector<DataSelection>> targets)
    {
        m_pointTargets = std::move(targets);
    }
    const std::vector<std::vector<DataSelection>>& PointTargets() const { return m_pointTargets; }
    // Called with the measurement to show in the main window.
    void SetOpenHandler(std::function<void(const DataSelection&)> h) { m_open = std::move(h); }

    std::vector<ChartWidget*> Charts() const { return m_charts; }
    QTableWidget* Table() const { return m_table; }
    QLabel* Notes() const { return m_notes; }

    // The printed pages, and the commands of the buttons (tests call them directly).
    analysisui::AnalysisPages Pages() const;
    printout::PagedOutput Output() const;
    void OnPrint();
    void OnPreview();
    void OnPdf();
    // Asks for the file (the file stem and ".CSV" in the text output folder) and writes
    // it atomically; false when nothing was written.
    bool OnCsv();
    // Writes the CSV bytes to a path without asking; the message shown on failure.
    bool WriteCsvTo(const QString& path);
    std::string CsvBytes() const;

    // The name proposed for CSV and PDF files, without the ending ("PHASE_CV-1_2024").
    void SetFileStem(const QString& stem) { m_fileStem = stem; }

private:
    void Open(const DataSelection& target);
    void RebuildCharts();

    QPrinter& m_printer;
    CAppSettings& m_settings;
    analysisui::AnalysisDocument m_doc;
    QString m_fileStem = QStringLiteral("ANALYSIS");
    QWidget* m_chartArea = nullptr;
    QVBoxLayout* m_chartLayout = nullptr;
    std::vector<ChartWidget*> m_charts;
    QLabel* m_notes = nullptr;
    QTableWidget* m_table = nullptr;
    std::vector<DataSelection> m_rowTargets;
    std::vector<std::vector<DataSelection>> m_pointTargets;
    std::function<void(const DataSelection&)> m_open;
};
