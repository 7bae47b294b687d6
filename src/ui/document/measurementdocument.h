// MeasurementDocument: the one document of the program. It owns the measurement database and the
// current selection, and tells the views what to show through its notifier.
// MeasurementDocument was CMXRViewDoc in the Windows program's sources.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "store/backup.h"
#include "store/store.h"
#include "store/storesession.h"
#include "ui/document/dataselection.h"
#include "ui/document/documentnotifier.h"
#include "workspace/storejournal.h"

class CxLogFile;
class QWidget;

class MeasurementDocument : public QObject {
    Q_OBJECT
public:
    explicit MeasurementDocument(QObject* parent = nullptr);
    ~MeasurementDocument() override;

    // The data store file (the "DataFile" setting; relative paths resolve against the
    // application folder, the current directory).
    void SetDataFilePath(std::string path) { m_session.SetDataFilePath(std::move(path)); }
    const std::string& DataFilePath() const { return m_session.DataFilePath(); }
    // Views the store file at path instead of the data file: it is read without setting
    // anything aside or removing anything beside it, never saved or backed up, and the
    // document stays read-only for the run. Call before the first OnNewDocument.
    void SetViewFile(std::string path);
    bool IsViewing() const { return m_session.IsViewing(); }
    // Selects the first record of the first set of the first cable of the first customer
    // (the reset selection when the store holds none) and shows it.
    void SelectFirstMeasurement();
    // The application log for notes on the store (may stay unset).
    void SetLog(CxLogFile* log) { m_log = log; }
    CxLogFile* Log() const { return m_log; }
    // The window that owns the messages the document shows.
    void SetMessageParent(QWidget* parent) { m_messageParent = parent; }

    // The changes the views, the scale lists and the main window follow.
    DocumentNotifier& Notifier() { return m_notifier; }

    // The framework's new-document step. The first call loads the store; every call then
    // asks the scale lists to tell their values.
    bool OnNewDocument();
    bool IsInitialised() const { return m_initialised; }

    // The first load runs on a worker thread, so that the main window paints and stays
    // responsive while a large store is read (the main window sets this; tests that need the
    // store at once leave it off). Until it has finished the store is empty, loadingChanged
    // tells the frame to accept no edits, and every save first waits for it.
    void SetLoadInBackground(bool on) { m_loadInBackground = on; }
    bool IsLoading() const { return m_session.IsLoading(); }
    // Blocks until a background load has finished and its result is in the document.
    void WaitForLoad();

    // The store to change: waits for a background load first, so that no change is made to
    // the empty store the load is about to replace.
    CCustomerDB& Store()
    {
        WaitForLoad();
        return m_session.Store();
    }
    const CCustomerDB& Store() const { return m_session.Store(); }
    DataSelection& Selection() { return m_selection; }
    const DataSelection& Selection() const { return m_selection; }

    // Empty selection: three empty names, records cleared, refresh.
    void ResetSelection();
    // Shows the selected record (or resets a selection that no longer matches the store),
    // then asks the scale lists to fit themselves to it.
    void LoadSelectedMeasurement();

    // Writes the store to the data file now (atomically). Every committed change calls this,
    // so a crash or a power cut loses nothing that was confirmed; closing the main window
    // calls it once more. A failure is shown to the user; returns success.
    // When the file on disk changed since it was last read or written, it is kept aside first
    // and the user is told. While the document is read-only the user is asked first: save to
    // the data file anyway (its present content is kept aside first), to another file (which
    // becomes the data file of this run), or not at all.
    bool CommitStore();
    // Commits a change made by commands on the store: before is the tree before them, changes
    // what they did (empty: nothing to journal). The change is journaled with the save, and
    // the commit listeners are told. Returns whether the store was saved.
    bool CommitChange(const CCustomerDB& before, const std::vector<cmd::Change>& changes);
    // The same for a change no command describes (an undo, a redo): its entry is made by the
    // caller (items, command, step name).
    bool CommitChange(const CCustomerDB& before, ws::JournalEntry entry);
    // Told after each committed change: the tree before it, the store now, and its entry (id
    // 0 when the journal could not take it).
    using CommitListener = std::function<void(const CCustomerDB& before, const CCustomerDB& after,
                                              const ws::JournalEntry& entry)>;
    void AddCommitListener(CommitListener listener);
    // The change journal of the data file; Workspace() is nullptr while the store has none.
    ws::StoreJournal& Journal() { return m_journal; }
    ws::Workspace* Workspace() { return m_session.IsViewing() ? nullptr : m_journal.Open(); }
    // The save when the main window closes: CommitStore, where not saving is the user's
    // choice. False when the window should stay open: the user closed the question without an
    // answer, or the save failed and the user does not want to end without it.
    bool SaveForClose();

    // The last load did not read the whole data file (it could not be opened, was refused or
    // was read in part): nothing overwrites it without the user's say.
    bool IsReadOnly() const { return m_session.IsReadOnly(); }
    // The identity of the data file when it was last read or written.
    const FileIdentity& DataFileIdentity() const { return m_session.Identity(); }
    // Lock waiting and flushing of the store file (tests shorten the wait).
    void SetStoreOptions(const StoreOptions& options) { m_session.SetStoreOptions(options); }

    // How many backups of the data file are kept (from the settings).
    void SetBackupPolicy(const storebackup::BackupPolicy& policy)
    {
        m_session.SetBackupPolicy(policy);
    }
    // Backs the data file up now (before an import or a re-judging of old data, and before
    // the first save of a day). A failure is written to the log and shown once per run; it
    // never stops the step that follows. Returns success.
    bool BackUpStore();
    // Replaces the data file with a backup after the current file was backed up, then reads
    // it again and shows its first measurement. A failure is shown; returns success.
    bool RestoreFromBackup(const std::string& backupPath);
    // Reads the data file again after another part of the program changed it (the shared
    // database's sync) and shows the selection again where it still exists.
    // command names the journal entry of what differs (kind::Pull after a sync).
    void ReloadStoreFile(const char* command = ws::kind::External, std::string summary = {});

private:
    enum class SaveResult { Saved, Declined, Dismissed, Failed };

    void InitStore();
    void LoadStoreFile();
    void FinishBackgroundLoad();
    void ShowLoadOutcome(const LoadOutcome& outcome);
    SaveResult SaveStoreFile();
    SaveResult SaveWhileReadOnly();
    SaveResult SaveToOtherFile();
    SaveResult ShowSaveOutcome(const SaveOutcome& outcome);
    void ShowBackupFailure(const storebackup::BackupResult& result);
    void JournalLoad();

    // The data file and its rules (load, save, read-only state, backups); the document turns
    // what it returns into the user's questions and messages.
    StoreSession m_session;
    DataSelection m_selection;
    DocumentNotifier m_notifier;
    CxLogFile* m_log = nullptr;
    QWidget* m_messageParent = nullptr;
    bool m_initialised = false;
    bool m_loadInBackground = false;
    // The journal of the data file, told of every save by the session.
    ws::StoreJournal m_journal;
    std::vector<CommitListener> m_commitListeners;
    // How the next load's difference from the journal's state is journaled (a restore, a
    // pull, or by default a change made outside the program), and what it is called.
    const char* m_loadCommand = ws::kind::External;
    std::string m_loadSummary, m_loadReason;
};
