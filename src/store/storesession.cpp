// StoreSession: loading, saving, read-only state, backups and restore of the data file.
#include "store/storesession.h"

#include <sys/resource.h>
#include <unistd.h>

#include "model/cp932text.h"
#include "model/safefile.h"

namespace {

// The program's own store, in place or on the load thread.
StoreOutcome ReadOwnStore(CCustomerDB& db, const std::string& dataFile,
                          const StoreOptions& options)
{
    // Saves killed half-way leave their temporary files beside the store.
    safefile::RemoveStaleTemporaries(safefile::FolderOf(NativeStorePath(dataFile)));
    // An unreadable store is copied aside before anything could be saved over it.
    return LoadOwnStore(db, dataFile, options);
}

} // namespace

StoreSession::StoreSession() = default;

StoreSession::~StoreSession()
{
    if (m_loadThread.joinable())
        m_loadThread.join();
}

void StoreSession::SetViewFile(std::string path)
{
    m_dataFile = std::move(path);
    m_viewing = true;
}

void StoreSession::Note(const std::string& utf8Text, const std::string& path) const
{
    if (m_log)
        m_log(cp932::lit(utf8Text) + path);
}

void StoreSession::SetReadOnly(ReadOnlyReason reason)
{
    const bool was = IsReadOnly();
    m_readOnly = reason;
    if (was != IsReadOnly() && m_readOnlyListener)
        m_readOnlyListener(IsReadOnly());
}

LoadOutcome StoreSession::Load()
{
    JoinLoad();
    if (m_viewing)
        return LoadViewed();
    LoadOutcome outcome;
    outcome.store = ReadOwnStore(m_store, m_dataFile, m_storeOptions);
    ApplyOwnLoad(outcome.store);
    return outcome;
}

LoadOutcome StoreSession::LoadViewed()
{
    SetReadOnly(ReadOnlyReason::ViewedFile);
    LoadOutcome outcome;
    outcome.store = LoadStore(m_store, m_dataFile, m_storeOptions);
    m_identity = outcome.store.identity;
    outcome.viewedFileMissing = outcome.store.ok && !outcome.store.identity.exists;
    return outcome;
}

void StoreSession::ApplyOwnLoad(const StoreOutcome& outcome)
{
    m_identity = outcome.identity;
    m_setAsidePath = outcome.setAsidePath;
    if (!outcome.setAsidePath.empty())
        Note("読めないデータファイルを退避しました: ", outcome.setAsidePath);
    else if (outcome.unreadable)
        Note("読めないデータファイルを退避できませんでした: ", m_dataFile);
    // A missing file is a first start (success); any other failure left part of the file
    // unread, so saving the tree in memory over it would lose the rest.
    if (!outcome.ok) {
        Note("データファイルを読み取り専用で開きました: ", m_dataFile);
        SetReadOnly(ReadOnlyReason::IncompleteLoad);
    }
}

void StoreSession::StartBackgroundLoad(std::function<void()> done)
{
    if (m_loading)
        return;
    m_loading = true;
    m_finishedLoad.reset();
    m_store.customers.RemoveAll();
    // The load keeps the line settings of the tree it reads into, as a load in place does.
    m_loaded = std::make_unique<CCustomerDB>();
    m_loaded->comm = m_store.comm;
    m_loadThread = std::thread([this, path = m_dataFile, options = m_storeOptions,
                                db = m_loaded.get(), done = std::move(done)] {
        // A lower priority leaves the processor to the UI thread while the window builds and
        // paints its first picture.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        m_loadOutcome = ReadOwnStore(*db, path, options);
        if (done)
            done();
    });
}

void StoreSession::JoinLoad()
{
    if (!m_loading)
        return;
    m_loadThread.join();
    m_store = std::move(*m_loaded);
    m_loaded.reset();
    m_loading = false;
    ApplyOwnLoad(m_loadOutcome);
    m_finishedLoad = LoadOutcome{m_loadOutcome, false};
    m_loadOutcome = {};
}

std::optional<LoadOutcome> StoreSession::TakeFinishedLoad()
{
    std::optional<LoadOutcome> finished;
    finished.swap(m_finishedLoad);
    return finished;
}

SaveOutcome StoreSession::Save()
{
    SaveOutcome outcome;
    // A viewed file is never written.
    if (m_viewing) {
        outcome.status = SaveStatus::NotWritten;
        return outcome;
    }
    // A save before the load finished would write the empty tree over the user's file.
    JoinLoad();
    if (IsReadOnly()) {
        outcome.status = SaveStatus::NeedsDecision;
        outcome.decision = SaveDecision::ReadOnlyFile;
        return outcome;
    }
    return SaveToDataFile(m_identity);
}

SaveOutcome StoreSession::SaveToDataFile(const FileIdentity& expected)
{
    SaveOutcome outcome;
    if (storebackup::NeedsDailyBackup(NativeStorePath(m_dataFile))) {
        const BackupOutcome backup = BackUp();
        if (backup.firstFailure)
            outcome.backupFailure = backup.result;
    }
    outcome.path = m_dataFile;
    outcome.wrote = true;
    std::function<void(const FileIdentity&)> prepare;
    if (m_witness)
        prepare = [this](const FileIdentity& next) { m_witness->Prepare(next); };
    outcome.store = SaveOwnStore(m_store, m_dataFile, expected, m_storeOptions, prepare);
    if (!outcome.store.changedAsidePath.empty())
        Note("変更されていたデータファイルを退避しました: ", outcome.store.changedAsidePath);
    if (!outcome.store.ok) {
        if (m_witness)
            m_witness->NotSaved();
        outcome.status = SaveStatus::Failed;
        outcome.failure = SaveFailure::Write;
        return outcome;
    }
    m_identity = outcome.store.identity;
    if (m_witness)
        m_witness->Saved(m_identity);
    return outcome;
}

SaveOutcome StoreSession::SaveOverReadOnlyFile()
{
    // The file as it is now is kept before it is replaced: a file set aside at load that is
    // still the same needs no second copy.
    const std::string path = NativeStorePath(m_dataFile);
    const FileIdentity now = IdentityOfPath(path);
    std::string keptPath = m_setAsidePath;
    if (now.exists && (keptPath.empty() || now != m_identity)) {
        keptPath = CopyAside(path, "kept", std::time(nullptr));
        if (keptPath.empty()) {
            SaveOutcome failed;
            failed.status = SaveStatus::Failed;
            failed.failure = SaveFailure::KeepAsideFailed;
            failed.path = path;
            return failed;
        }
        Note("上書き前のデータファイルを退避しました: ", keptPath);
    }
    // Compared with the file just copied: a change after the copy is kept aside as well.
    SaveOutcome saved = SaveToDataFile(now);
    if (saved.status != SaveStatus::Saved)
        return saved;
    m_setAsidePath.clear();
    SetReadOnly(ReadOnlyReason::None);
    if (now.exists)
        saved.keptPath = keptPath;
    return saved;
}

SaveOutcome StoreSession::SaveToOtherFile(const std::string& path, bool overwrite)
{
    // The data file under another name is no other file: it is kept aside first.
    const FileIdentity target = IdentityOfPath(path);
    if (target.exists && target == IdentityOfPath(NativeStorePath(m_dataFile)))
        return SaveOverReadOnlyFile();
    SaveOutcome outcome;
    if (target.exists && !overwrite) {
        outcome.status = SaveStatus::NeedsDecision;
        outcome.decision = SaveDecision::OverwriteOtherFile;
        outcome.path = path;
        return outcome;
    }
    outcome.path = path;
    outcome.wrote = true;
    outcome.store = SaveStore(m_store, path, m_storeOptions);
    if (!outcome.store.ok) {
        outcome.status = SaveStatus::Failed;
        outcome.failure = SaveFailure::Write;
        return outcome;
    }
    // The chosen file holds everything now: later saves of this run go there, and the file
    // that could not be read stays as it was.
    Note("データファイルを別のファイルに保存しました: ", path);
    m_dataFile = path;
    m_identity = outcome.store.identity;
    m_setAsidePath.clear();
    SetReadOnly(ReadOnlyReason::None);
    return outcome;
}

BackupOutcome StoreSession::BackUp()
{
    BackupOutcome outcome;
    if (m_viewing)
        return outcome; // a viewed file is never written, so it needs no backup
    outcome.result = storebackup::MakeBackup(NativeStorePath(m_dataFile), m_backupPolicy);
    if (outcome.result.ok) {
        if (!outcome.result.noStore)
            Note("データファイルのバックアップを作成しました: ", outcome.result.path);
        outcome.ok = true;
        return outcome;
    }
    Note("データファイルのバックアップを作成できませんでした: ", outcome.result.Describe());
    outcome.firstFailure = !m_backupFailureNoted;
    m_backupFailureNoted = true;
    return outcome;
}

RestoreOutcome StoreSession::Restore(const std::string& backupPath)
{
    RestoreOutcome outcome;
    if (m_viewing)
        return outcome;
    outcome.result =
        storebackup::RestoreBackup(backupPath, NativeStorePath(m_dataFile), m_backupPolicy);
    if (outcome.result.safeguard.ok && !outcome.result.safeguard.noStore)
        Note("復元の前にバックアップを作成しました: ", outcome.result.safeguard.path);
    if (!outcome.result.ok) {
        Note("バックアップから復元できませんでした: ", outcome.result.message);
        return outcome;
    }
    Note("バックアップから復元しました: ", backupPath);
    outcome.ok = true;
    SetReadOnly(ReadOnlyReason::None);
    outcome.load = Load();
    return outcome;
}
