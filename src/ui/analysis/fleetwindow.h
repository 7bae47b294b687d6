// FleetWindow: the 設備一覧・試験計画 window. Every cable of every customer in one sortable,
// filterable table (register fields, latest test, judgment per phase, trend, health score,
// retest interval, next due date, status and the reasons), the score's contributions and the
// reasons of the chosen cable below it, a chart of the next twelve months' due cables, and
// printing, preview, PDF and CSV of the rows shown. The summaries it needs are built in the
// background the first time (fleet::FleetJob) and read from the workspace's cache afterwards.
// It only reads the store.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "analysis/thresholds.h"
#include "fleet/fleetjob.h"
#include "fleet/plansettings.h"
#include "ui/dialogs/printout.h"

class CAppSettings;
class CCustomerDB;
class FleetDueChart;
class FleetFilter;
class FleetModel;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

class FleetWindow : public QDialog {
    Q_OBJECT
public:
    // printer and settings belong to the main window and outlive this window.
    FleetWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings);
    ~FleetWindow() override;

    // What the window plans from: called again by 最新の状態に更新 and a new 基準日.
    struct Source {
        std::function<const CCustomerDB&()> tree;
        std::string storePath; // the workspace beside it holds the cache and the register
        std::function<AnalysisThresholds()> thresholds;
        std::function<fleet::FleetSettings()> settings;
    };
    void SetSource(Source source);
    // Builds the fleet again from the source (in the background where summaries are missing).
    void Reload();
    // The day planned for (default today); rebuilds.
    void SetAsOf(const QDate& day);
    // Waits for a build in progress (tests, and the window's own close).
    void WaitForBuild();
    bool Building() const { return m_job != nullptr; }

    // Double-click or Enter on a row, or 経年変化: the cable's history. 最新の測定: the set
    // and record of the cable's latest test.
    void
    SetHistoryHandler(std::function<void(const std::string& customer, const std::string& cable)> h)
    {
        m_history = std::move(h);
    }
    void SetMeasurementHandler(std::function<void(const std::string& customer,
                                                  const std::string& cable, const std::string& set)>
                                   h)
    {
        m_measurement = std::move(h);
    }
    // ケーブル台帳...: edits the register entry of the chosen cable; returns true when it was
    // changed (the fleet is built again). The button stays disabled until a handler is set.
    void SetRegisterEditor(
        std::function<bool(QWidget* parent, const std::string& customer, const std::string& cable)>
            h);

    void SetTextFilter(const QString& text);
    // The CP932 name of a customer, "" for all.
    void SetCustomerFilter(const std::string& customer);
    // -1 for all, else a fleet::DueStatus.
    void SetStatusFilter(int status);

    FleetModel* Model() const { return m_model; }
    FleetFilter* Filter() const { return m_filter; }
    QTableView* View() const { return m_view; }
    QLabel* StateLabel() const { return m_state; }
    QPlainTextEdit* Detail() const { return m_detail; }
    FleetDueChart* Chart() const { return m_chart; }

    // Opens the history (or the latest measurement) of the shown row.
    void OpenHistory(int row);
    void OpenLatest(int row);

    printout::PagedOutput Output() const;
    void OnPrint();
    void OnPreview();
    void OnPdf();
    bool OnCsv();
    bool WriteCsvTo(const QString& path);
    std::string CsvBytes() const;

signals:
    // The fleet was built and is shown.
    void built();

private:
    void OnJobDone();
    void ShowProgress();
    void ApplyFilter();
    void ShowState();
    void ShowDetail();
    QString ScopeLabel() const;
    const fleet::CablePlan* CurrentPlan() const;
    std::vector<const fleet::CablePlan*> ShownPlans() const;
    void EditRegister();

    QPrinter& m_printer;
    CAppSettings& m_settings;
    Source m_source;
    std::unique_ptr<fleet::FleetJob> m_job;
    QTimer* m_poll = nullptr;
    bool m_reloadAgain = false;
    std::function<void(const std::string&, const std::string&)> m_history;
    std::function<void(const std::string&, const std::string&, const std::string&)> m_measurement;
    std::function<bool(QWidget*, const std::string&, const std::string&)> m_registerEditor;

    FleetModel* m_model = nullptr;
    FleetFilter* m_filter = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_customer = nullptr;
    QComboBox* m_status = nullptr;
    QDateEdit* m_asOf = nullptr;
    QLabel* m_state = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableView* m_view = nullptr;
    QPlainTextEdit* m_detail = nullptr;
    FleetDueChart* m_chart = nullptr;
    QPushButton* m_historyButton = nullptr;
    QPushButton* m_latestButton = nullptr;
    QPushButton* m_registerButton = nullptr;
    QTimer* m_typing = nullptr;
};
