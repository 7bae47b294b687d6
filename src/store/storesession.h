// StoreSession: the data store file of one run of the program and the rules that keep the
// user's file: load (in place or on a worker thread), save with the file-identity check,
// read-only after an incomplete load, view-file mode, set-aside copies, backups, restore and
// reload. It never asks the user: a step that needs the user's say returns NeedsDecision, and
// the caller calls the step that follows the answer. Plain C++.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "store/backup.h"
#include "store/store.h"

// What a load did, for the caller to tell the user.
struct LoadOutcome {
    StoreOutcome store;
    // A file named for viewing is not there (a missing file of the program's own is an empty
    // store; one the user named must exist).
    bool viewedFileMissing = false;
};

// Why the document does not write its file without asking.
enum class ReadOnlyReason {
    None,
    ViewedFile,     // a file named for viewing: never written
    IncompleteLoad, // the last load did not read the whole data file
};

// What a save did or needs.
enum class SaveStatus {
    Saved,         // written (the data file, or the other file that became the data file)
    NotWritten,    // a viewed file: nothing is ever written
    NeedsDecision, // see SaveOutcome::decision
    Failed,        // see failure; nothing was replaced
};

enum class SaveDecision {
    None,
    ReadOnlyFile,       // read-only: save anyway, save to another file, or not at all
    OverwriteOtherFile, // the other file chosen exists: replace it or not
};

enum class SaveFailure {
    None,
    Write,          // the store layer's failure: store.message
    KeepAsideFailed, // the read-only file could not be copied aside first: path
};

struct SaveOutcome {
    SaveStatus status = SaveStatus::Saved;
    SaveDecision decision = SaveDecision::None;
    SaveFailure failure = SaveFailure::None;
    // The file written, or the one that could not be kept aside.
    std::string path;
    // A write was tried: store holds its outcome (message, changedAsidePath).
    bool wrote = false;
    StoreOutcome store;
    // Saved over a read-only file that was there: the copy that keeps its former content.
    std::string keptPath;
    // The daily backup before the save failed for the first time in this run.
    std::optional<storebackup::BackupResult> backupFailure;
};

struct BackupOutcome {
    bool ok = false;
    storebackup::BackupResult result;
    // The first failure of this run: the user is told once, later ones only go to the log.
    bool firstFailure = false;
};

struct RestoreOutcome {
    bool ok = false;
    storebackup::RestoreResult result;
    // The data file read again after a restore.
    LoadOutcome load;
};

// Kept in step with every save of the data file (the change journal): Prepare runs once the
// new file is complete on disk, just before it replaces the old one, with the identity it will
// then have; Saved after it replaced the old one; NotSaved when the save failed after Prepare
// or never reached it.
class SaveWitness {
public:
    virtual ~SaveWitness() = default;
    virtual void Prepare(const FileIdentity& next) = 0;
    virtual void Saved(const FileIdentity& written) = 0;
    virtual void NotSaved() = 0;
};

class StoreSession {
public:
    StoreSession();
    ~StoreSession(); // waits for a background load
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    // The data store file (relative paths resolve against the current directory).
    void SetDataFilePath(std::string path) { m_dataFile = std::move(path); }
    const std::string& DataFilePath() const { return m_dataFile; }
    // Views the store file at path: read without setting anything aside or removing anything
    // beside it, never saved or backed up, read-only for the run.
    void SetViewFile(std::string path);
    bool IsViewing() const { return m_viewing; }
    void SetStoreOptions(const StoreOptions& options) { m_storeOptions = options; }
    void SetBackupPolicy(const storebackup::BackupPolicy& policy) { m_backupPolicy = policy; }
    // Notes for the application log, one CP932 line each.
    void SetLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }
    // Told every change of the read-only state, at once (on the calling thread).
    void SetReadOnlyListener(std::function<void(bool)> listener)
    {
        m_readOnlyListener = std::move(listener);
    }
    // Told about every save of the data file (not of another file nor of a viewed one).
    void SetSaveWitness(SaveWitness* witness) { m_witness = witness; }

    // The tree in memory; empty while a background load runs.
    CCustomerDB& Store() { return m_store; }
    const CCustomerDB& Store() const { return m_store; }

    // Reads the data file (or the viewed file) in place, after a background load ended.
    LoadOutcome Load();
    // Reads the data file on a worker thread; the tree stays empty until JoinLoad. done is
    // called on the worker when the file has been read.
    void StartBackgroundLoad(std::function<void()> done = {});
    // A background load was started and its tree is not in place yet.
    bool IsLoading() const { return m_loading; }
    // Waits for a background load and puts its tree in place; its outcome is then kept for
    // TakeFinishedLoad. Does nothing when no load runs.
    void JoinLoad();
    // The outcome of the background load JoinLoad put in place, once.
    std::optional<LoadOutcome> TakeFinishedLoad();

    bool IsReadOnly() const { return m_readOnly != ReadOnlyReason::None; }
    ReadOnlyReason ReadOnlyCause() const { return m_readOnly; }
    // The identity of the data file when it was last read or written.
    const FileIdentity& Identity() const { return m_identity; }
    // The copy made at load of a data file that could not be read.
    const std::string& SetAsidePath() const { return m_setAsidePath; }

    // Writes the tree to the data file (after a background load). A file changed on disk since
    // it was last read or written is kept aside first. Read-only: NeedsDecision(ReadOnlyFile).
    SaveOutcome Save();
    // The answers to ReadOnlyFile. SaveOverReadOnlyFile keeps the present file aside first
    // (unless the copy made at load still is that file). SaveToOtherFile writes to path, which
    // then is the data file of this run; the data file under another name is saved over as a
    // read-only file; an existing other file needs OverwriteOtherFile unless overwrite is set.
    SaveOutcome SaveOverReadOnlyFile();
    SaveOutcome SaveToOtherFile(const std::string& path, bool overwrite = false);

    // Backs the data file up now (never a viewed file).
    BackupOutcome BackUp();
    // Replaces the data file with a backup (the present file is backed up first), then reads
    // it again; the document is writable unless that read is incomplete.
    RestoreOutcome Restore(const std::string& backupPath);

private:
    LoadOutcome LoadViewed();
    void ApplyOwnLoad(const StoreOutcome& outcome);
    SaveOutcome SaveToDataFile(const FileIdentity& expected);
    void SetReadOnly(ReadOnlyReason reason);
    void Note(const std::string& utf8Text, const std::string& path) const;

    CCustomerDB m_store;
    std::string m_dataFile = ".\\DATA\\MXR.DAT";
    bool m_viewing = false;
    ReadOnlyReason m_readOnly = ReadOnlyReason::None;
    FileIdentity m_identity;
    std::string m_setAsidePath;
    StoreOptions m_storeOptions;
    storebackup::BackupPolicy m_backupPolicy;
    bool m_backupFailureNoted = false;
    std::function<void(const std::string&)> m_log;
    std::function<void(bool)> m_readOnlyListener;
    SaveWitness* m_witness = nullptr;

    // The worker writes m_loaded and m_loadOutcome only; the caller's thread reads them after
    // joining it.
    bool m_loading = false;
    std::thread m_loadThread;
    std::unique_ptr<CCustomerDB> m_loaded;
    StoreOutcome m_loadOutcome;
    std::optional<LoadOutcome> m_finishedLoad;
};
