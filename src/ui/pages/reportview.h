// ReportView: the report view. It keeps what the document's notifier tells and shows the selected
// measurement as the screen report (header, result tables, scrolling lists, graph).
// ReportView was CViewGraph in the Windows program's sources.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "ui/dialogs/shownreport.h"
#include "ui/document/documentnotifier.h"

class QPagedPaintDevice;
class QPrinter;
class QScrollBar;
class ScreenReport;
struct LayoutContext;

class ReportView : public QWidget, public ShownReport {
    Q_OBJECT
public:
    explicit ReportView(QWidget* parent = nullptr);
    ~ReportView() override;

    // Follows the notifier's selection, records, scale and refresh signals.
    void Connect(DocumentNotifier& notifier);

    const SelectionNames& Names() const { return m_names; }
    ShownReport::Names ShownNames() const override
    {
        return {m_names.customer, m_names.cable, m_names.measData};
    }
    const std::vector<CMeasRecord>& Records() const override { return m_records; }
    double StartTime() const { return m_startTime; } // minutes
    double Width() const { return m_width; }         // minutes
    double Axis() const { return m_axis; }           // μA
    int RefreshCount() const { return m_refreshCount; }
    // True when a real record is shown; the empty record sent for a missing selection only
    // lays the empty report out.
    bool HasRecord() const override;
    // The record the report shows, or nullptr.
    const CMeasRecord* DisplayedRecord() const override;

    // The screen report (built on first use) and the scroll bars of its two lists.
    ScreenReport& Report();
    QScrollBar* MeasScrollBar() const { return m_measBar; }
    QScrollBar* TriggScrollBar() const { return m_triggBar; }

    // Printing the displayed record with the print settings: the number of pages (0 without a
    // record), printing pages from … to (1-based, inclusive) into a printer, and the print
    // command (the standard print dialog, then the pages chosen there).
    int PrintPageCount() const override;
    // A paged device (printer, PDF writer, preview); progress gets the pages done and the pages
    // to print after each page and stops printing by returning false.
    bool PrintReport(QPagedPaintDevice& device, int fromPage, int toPage,
                     const std::function<bool(int, int)>& progress = {}) const override;
    void OnFilePrint(QPrinter& printer);
    // The approval line of the printed pages for the names shown (empty: none); without a
    // source the pages carry none.
    using ApprovalLineSource = std::function<QString(const SelectionNames& names)>;
    void SetApprovalLineSource(ApprovalLineSource source) { m_approvalLine = std::move(source); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Refresh();
    void SetScale(double& target, double value);
    void Relayout();
    void PlaceScrollBars(const LayoutContext& ctx);

    SelectionNames m_names;
    std::vector<CMeasRecord> m_records;
    double m_startTime = 0.0;
    double m_width = 0.5;
    double m_axis = 1000.0;
    int m_refreshCount = 0;
    bool m_newRecord = false; // the records changed since the last refresh
    std::unique_ptr<ScreenReport> m_report;
    QScrollBar* m_measBar = nullptr;  // scrolls the measurement list's rows
    QScrollBar* m_triggBar = nullptr; // scrolls the trigger list's columns
    ApprovalLineSource m_approvalLine;
};
