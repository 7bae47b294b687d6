// ReceptionDialog: the modal dialog "データの受信" in which one reception from the tester runs. It
// starts the reception worker, lists the texts the worker posts, closes by itself after a
// clean end-of-transfer and then hands over the received records. When the reception showed
// errors or warnings on the way, it stays open with a summary until the user presses OK.
// ReceptionDialog was CCommRead in the Windows program's sources.
#pragma once

#include <QDialog>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/receptionworker.h"
#include "link/serialport.h"
#include "workspace/provenance.h"

class CAppSettings;
class CxLogFile;
class QCheckBox;
class QEventLoop;
class QLabel;
class QTableView;
class ReceptionListModel;
class QProgressBar;
class QPushButton;

// What a reception takes from the program around it rather than from its caller.
struct CommReadEnvironment {
    bool simulation = false; // "Debug" "通信(0:リリース,1:デバック)" = 1: no port at all
    bool commLog = false;    // "Debug" "通信ログ出力(0:しない,1:する)" = 1
    std::string appDir;      // the communication log is "<appDir>/COMM_"
    int triggValidSec = 10;  // "TriggValidSec" of system.ini
    PortMap ports;           // the "Ports" section: port numbers to devices
    CxLogFile* appLog = nullptr; // error texts are also written here
    ReceptionPauses pauses;      // the worker's waits; tests shorten them
    std::string archiveDir;      // serial receptions are archived here (empty: not at all)
    ArchiveLimits archiveLimits; // "Received" "KeepFiles" and "KeepMB"

    static CommReadEnvironment FromSettings(const CAppSettings& settings);
};

class ReceptionDialog : public QDialog, private IReceptionListener {
    Q_OBJECT
public:
    // Reviewing: the transfer ended after errors or warnings; the summary waits for OK.
    enum class State { Idle, Receiving, Reviewing, Finished, Failed, Cancelled };
    // The list keeps at most this many lines, dropping the oldest.
    static constexpr int kMaxLines = 30001;

    // The caller's values: the six line settings of the live store, the simulation's seed and
    // the show-collected-data switch. The environment comes from the program's settings.
    ReceptionDialog(const CCommSetting& comm, int32_t seed, bool showCollectedData,
              QWidget* parent = nullptr);
    ~ReceptionDialog() override;

    // Receive from a replay file (hex text lines) instead of the port.
    void SetReplayFile(const std::string& path);
    void SetEnvironment(CommReadEnvironment environment) { m_env = std::move(environment); }
    const CommReadEnvironment& Environment() const { return m_env; }
    // The application log for error texts (the environment's unless set here).
    void SetAppLog(CxLogFile* log) { m_env.appLog = log; }

    // Sets up the communication log, empties the list and starts the worker. exec() calls it
    // when the caller has not.
    void OnInitDialog();
    // "中断／戻る", Esc and the close box: stops the worker, discards the records, Rejected.
    // While the summary is shown, Esc and the close box act as OK.
    void OnCancel();
    // OK under the summary: hands the received records over (Accepted).
    void OnOk();
    // Shortens the port's time-outs, clears the running flag and waits (up to 60 s) until the
    // worker has ended, handling its texts meanwhile so the window stays responsive.
    void StopWorker();

    int exec() override;
    void reject() override;

    // After Accepted: the received records in their order, moved out.
    std::vector<ReceivedRecord> TakeRecords() { return std::move(m_received); }
    // After Accepted: where each received record lies in the reception's archive (empty when
    // the reception wrote none: a replay, a folder that could not be written).
    std::vector<ws::ReceivedLink> TakeLinks() { return std::move(m_links); }
    State CurrentState() const { return m_state; }
    // Texts the worker has posted that the list has not shown yet, plus one while it runs.
    int PendingTexts() const { return m_worker.Pending(); }
    bool ShowCollectedData() const { return m_showCollectedData; }

    // The list: one line per posted text, the newest selected.
    QTableView* List() const { return m_list; }
    QStringList ListTexts() const;
    int CurrentListRow() const;
    QLabel* StatusLine() const { return m_status; }
    QProgressBar* BusyIndicator() const { return m_busy; }
    QCheckBox* ShowDataCheck() const { return m_showData; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* OkButton() const { return m_ok; }
    // The counts of the ended reception (records, errors, warnings, records lost).
    const ReceptionSummary& Summary() const { return m_summary; }
    // The kind of a list line (text, warning, error).
    bool IsWarningLine(int row) const;
    bool IsErrorLine(int row) const;

signals:
    // The worker's end was handled: true when the records were handed over (the dialog has
    // closed), false after a failure (the dialog stays open).
    void receptionEnded(bool success);
    // The transfer ended after errors or warnings: the summary is shown, OK awaited.
    void summaryShown();

private:
    // IReceptionListener, called on the worker's thread: queued to the dialog's thread.
    void PostLine(const std::string& text, int statusMark) override;
    void PostError(const std::string& text, int statusMark) override;
    void PostWarning(const std::string& text, int statusMark) override;
    void Finished(bool success) override;
    void queueText(const std::string& text, int statusMark, int kind);

    // The handlers of the worker's four codes, on the dialog's thread.
    // kind: a ReceptionListModel::Kind; warnings and errors also go to the application log.
    void onText(const std::string& text, int statusMark, int kind);
    void onFinished(bool success);
    void showSummary();
    // A line in the list and the log naming the archive that could not be written.
    void noteMissingArchive();
    void handOver();
    void setBusy(bool on);
    void pumpEvents(uint32_t maxMs);

    CommReadEnvironment m_env;
    CCommSetting m_comm;
    int32_t m_seed = 0;
    bool m_showCollectedData = false;
    bool m_replay = false;
    std::string m_replayPath;

    // Set while the dialog is being destroyed: the worker's texts are then only counted off.
    // Declared before the worker, which still runs while it is destroyed.
    std::atomic<bool> m_detached{false};
    ReceptionWorker m_worker;
    CxSerialPort* m_serial = nullptr; // owned by the worker
    std::vector<ReceivedRecord> m_received;
    std::vector<ws::ReceivedLink> m_links;
    ReceptionSummary m_summary;

    State m_state = State::Idle;
    bool m_initialised = false;
    bool m_cancelling = false;        // OnCancel is waiting for the worker
    bool m_finishing = false;         // the end-of-transfer block arrived: the dialog closes itself
    QEventLoop* m_pumpLoop = nullptr; // the wait slice of StopWorker in progress

    QLabel* m_status = nullptr;
    QProgressBar* m_busy = nullptr;
    QTableView* m_list = nullptr;
    ReceptionListModel* m_lines = nullptr;
    QCheckBox* m_showData = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
};
