// AnalysisCommands: what the main window's "解析(&A)" menu and the two analysis items of its
// "表示(&V)" menu do: opening the history, phase and step windows for the current selection,
// the judgment-basis panel and the overlay of analysis marks on the report's graph.
// AnalysisCommands was CAnalysisCommands in the Windows program's sources.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

#include "ui/analysis/analysisviews.h"
#include "workspace/provenance.h"

class AnalysisWindow;
class FleetWindow;
class CAppSettings;
class MeasurementDocument;
class ReportOverlay;
class ReportView;
class QDockWidget;
class QMainWindow;
class QPrinter;
class QPushButton;
class QTextEdit;
class VerificationDialog;

class AnalysisCommands : public QObject {
    Q_OBJECT
public:
    // All references belong to the main window and outlive this object; settings gives the
    // program's settings when asked (they may be attached after the window is built).
    AnalysisCommands(QMainWindow& frame, MeasurementDocument& doc, ReportView& view, QPrinter& printer,
                      std::function<CAppSettings&()> settings);
    ~AnalysisCommands() override;

    // The selection names a cable (history) or a data set (phase, step) of the store.
    bool HasCable() const;
    bool HasSet() const;

    // Opens (or brings forward and refreshes) the window for the current selection.
    AnalysisWindow* ShowHistory();
    AnalysisWindow* ShowPhase();
    AnalysisWindow* ShowStep();
    // "設備一覧・試験計画(&F)...": every cable's retest plan and health score (made on first
    // use, brought forward and built again after). Its rows open a cable's history or its
    // latest measurement.
    FleetWindow* ShowFleet();
    // The history window of a cable named by the fleet (the selection stays as it is).
    AnalysisWindow* ShowCableHistory(const std::string& customer, const std::string& cable);

    // "判定根拠(&J)": the panel with the explanation of each judgment and the record's signs.
    void SetPanelVisible(bool on);
    bool PanelVisible() const;
    QDockWidget* Panel() const { return m_panel; }
    QString PanelText() const;
    // "解析マーク(&K)": trigger periods and curve signs drawn over the graph; off at start, and
    // never stored, so the report looks as it always did until the user asks for the marks.
    void SetOverlay(bool on);
    bool OverlayOn() const;
    ReportOverlay* Overlay() const { return m_overlay; }

    // The panel's "検証" button: every record of the selected set against its reception, in a
    // window of its own (nullptr without a set). VerifySelectedSet gives the verdicts alone.
    std::vector<ws::RecordVerdict> VerifySelectedSet() const;
    VerificationDialog* ShowVerification();
    QPushButton* VerifyButton() const { return m_verifyButton; }

    // The explanation of the shown record (judgments and signs), as the panel and the tool tip
    // of the report's result table show it; empty without a record.
    QString ExplanationText() const;
    // Called after every hint: the panel, the overlay and open windows follow the selection.
    void Refresh();

private:
    // The window of the slot (made on first use) showing the view, raised.
    AnalysisWindow* Present(QPointer<AnalysisWindow>& slot, const QString& fileStem,
                             analysisui::AnalysisView view);
    void OpenMeasurement(const struct DataSelection& target);
    // The limits of system.ini, read when asked (the file may change while the program runs).
    AnalysisThresholds Thresholds() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMainWindow& m_frame;
    MeasurementDocument& m_doc;
    ReportView& m_view;
    QPrinter& m_printer;
    std::function<CAppSettings&()> m_settings;
    QPointer<AnalysisWindow> m_history;
    QPointer<FleetWindow> m_fleet;
    QPointer<AnalysisWindow> m_phase;
    QPointer<AnalysisWindow> m_step;
    QDockWidget* m_panel = nullptr;
    QTextEdit* m_panelText = nullptr;
    QPushButton* m_verifyButton = nullptr;
    QPointer<VerificationDialog> m_verification;
    ReportOverlay* m_overlay = nullptr;
};
