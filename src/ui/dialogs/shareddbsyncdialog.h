// SharedDbSyncDialog: synchronising the data store with the shared database on a worker thread,
// with a progress bar (data sets done / all) and a cancel that also ends a statement or a lock
// wait in progress (the set in progress rolls back); then the summary.
// SharedDbSyncDialog was CSharedDbSyncDlg in the Windows program's sources.
#pragma once

#include <QDialog>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "shareddb/sync.h"

class MeasurementDocument;
class QLabel;
class QProgressBar;
class QPushButton;

class SharedDbSyncDialog : public QDialog {
    Q_OBJECT
public:
    explicit SharedDbSyncDialog(shareddb::SyncTarget target, QWidget* parent = nullptr);
    ~SharedDbSyncDialog() override;

    // Starts the worker; the dialog closes by itself when it ends (syncFinished first).
    void Start();
    // Asks the worker to stop now: the server cancels the running statement, the data set in
    // progress is rolled back, the sets done before stay done.
    void OnCancel();
    bool IsRunning() const { return m_running.load(); }
    const shareddb::SyncSummary& Summary() const { return m_summary; }

    QProgressBar* Progress() const { return m_progress; }
    QLabel* Status() const { return m_status; }

    // While the worker runs, closing the window means cancelling.
    void reject() override;

signals:
    void syncFinished();

private:
    void OnProgress(int done, int total);
    void OnFinished(const shareddb::SyncSummary& summary);

    shareddb::SyncTarget m_target;
    shareddb::SyncSummary m_summary;
    std::thread m_worker;
    // Set by the UI thread, read by the worker; shared with the short-lived thread that sends
    // the server's cancel (which may wait on a dead network, so never on the UI thread).
    std::shared_ptr<shareddb::PgCancel> m_cancel = std::make_shared<shareddb::PgCancel>();
    std::atomic<bool> m_running{false}; // from Start until the result reached the UI thread
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

// The summary the user is shown (sent, received, conflicts named one by one).
QString SyncSummaryText(const shareddb::SyncSummary& summary);

// The ファイル menu command: saves unsaved changes first, runs the dialog (the store cannot be
// edited meanwhile: it is modal), reloads the document when the sync changed the store, and
// shows the summary or the failure. iniPath: MXRView.INI, whose folder holds the sync state.
bool RunSharedDbSync(QWidget* parent, MeasurementDocument& doc, const std::string& iniPath);
