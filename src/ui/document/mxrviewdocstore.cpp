// CMXRViewDoc: loading the data store at start-up and saving it at each commit and at the close,
// with the guards that keep the user's file: read-only after an incomplete load, a changed file
// kept aside before it is replaced, stale temporary files of killed saves removed.
#include <QApplication>
#include <QCursor>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "model/safefile.h"
#include "ui/common/messages.h"
#include "ui/document/mxrviewdoc.h"
#include "ui/common/storemessagebox.h"
#include "ui/common/uitext.h"

namespace {

// The wait cursor for the length of a file operation.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Paths are handled as UTF-8 text, as the store's own messages show them.
QString shown(const std::string& path)
{
    return QString::fromStdString(path);
}

// The buttons of the read-only question, in their index order.
enum ReadOnlyChoice { SaveAnyway = 0, SaveElsewhere = 1, DoNotSave = 2 };

} // namespace

void CMXRViewDoc::WriteLog(const std::string& utf8Text, const std::string& path)
{
    if (m_log)
        m_log->Write(cp932::lit(utf8Text) + path);
}

void CMXRViewDoc::SetReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    emit readOnlyChanged(readOnly);
}

void CMXRViewDoc::SetViewFile(std::string path)
{
    m_dataFile = std::move(path);
    m_viewing = true;
}

void CMXRViewDoc::LoadViewedFile()
{
    SetReadOnly(true);
    StoreOutcome outcome;
    {
        WaitCursor wait;
        outcome = LoadStore(m_store, m_dataFile, m_storeOptions);
    }
    m_identity = outcome.identity;
    // A missing file reads as an empty store when it is the program's own; a file the user
    // named must be there.
    if (outcome.ok && !outcome.identity.exists) {
        ui::messages().error(
            m_messageParent,
            QStringLiteral("指定のファイルを開けません\n%1").arg(shown(m_dataFile)));
        return;
    }
    ui::ShowStoreMessage(m_messageParent, outcome);
}

void CMXRViewDoc::SelectFirstMeasurement()
{
    m_selection = DataSelection();
    if (m_store.customers.Count() > 0) {
        const CCustomer& customer = m_store.customers.At(0);
        m_selection.customer = customer.name;
        if (customer.cables.Count() > 0) {
            const CCable& cable = customer.cables.At(0);
            m_selection.cable = cable.name;
            if (cable.sets.Count() > 0) {
                const CMeasData& set = cable.sets.At(0);
                m_selection.measData = set.name;
                if (set.RecordCount() > 0)
                    m_selection.index = 0;
            }
        }
    }
    LoadSelectedMeasurement();
}

namespace {

// The program's own store, in place or on the load thread (plain C++, no Qt object).
StoreOutcome ReadOwnStore(CCustomerDB& db, const std::string& dataFile,
                          const StoreOptions& options)
{
    // Saves killed half-way leave their temporary files beside the store.
    safefile::RemoveStaleTemporaries(safefile::FolderOf(NativeStorePath(dataFile)));
    // An unreadable store is copied aside before anything could be saved over it.
    return LoadOwnStore(db, dataFile, options);
}

} // namespace

void CMXRViewDoc::LoadStoreFile()
{
    WaitForLoad();
    if (m_viewing) {
        LoadViewedFile();
        return;
    }
    WaitCursor wait;
    ApplyLoadOutcome(ReadOwnStore(m_store, m_dataFile, m_storeOptions));
}

void CMXRViewDoc::StartBackgroundLoad()
{
    if (m_loading)
        return;
    m_loading = true;
    m_store.customers.RemoveAll();
    // The load keeps the line settings of the tree it reads into, as a load in place does.
    m_loaded = std::make_unique<CCustomerDB>();
    m_loaded->comm = m_store.comm;
    emit loadingChanged(true);
    m_loadThread = std::thread([this, path = m_dataFile, options = m_storeOptions,
                                db = m_loaded.get()] {
        // Plain C++ only: the store code touches no Qt object. A lower priority leaves the
        // processor to the UI thread while the window builds and paints its first picture.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        m_loadOutcome = ReadOwnStore(*db, path, options);
        QMetaObject::invokeMethod(this, &CMXRViewDoc::FinishBackgroundLoad, Qt::QueuedConnection);
    });
}

void CMXRViewDoc::WaitForLoad()
{
    if (!m_loading)
        return;
    WaitCursor wait;
    FinishBackgroundLoad();
}

void CMXRViewDoc::FinishBackgroundLoad()
{
    // Called by the worker's queued call, or earlier by WaitForLoad (the queued call then
    // finds nothing left to do).
    if (!m_loading)
        return;
    m_loadThread.join();
    m_store = std::move(*m_loaded);
    m_loaded.reset();
    m_loading = false;
    ApplyLoadOutcome(m_loadOutcome);
    m_loadOutcome = {};
    emit loadingChanged(false);
}

void CMXRViewDoc::ApplyLoadOutcome(const StoreOutcome& outcome)
{
    m_identity = outcome.identity;
    m_setAsidePath = outcome.setAsidePath;
    if (!outcome.setAsidePath.empty())
        WriteLog("読めないデータファイルを退避しました: ", outcome.setAsidePath);
    else if (outcome.unreadable)
        WriteLog("読めないデータファイルを退避できませんでした: ", m_dataFile);
    // A missing file is a first start (success); any other failure left part of the file
    // unread, so saving the tree in memory over it would lose the rest.
    if (!outcome.ok) {
        WriteLog("データファイルを読み取り専用で開きました: ", m_dataFile);
        SetReadOnly(true);
    }
    ui::ShowStoreMessage(m_messageParent, outcome);
}

bool CMXRViewDoc::CommitStore()
{
    return SaveStoreFile() == SaveResult::Saved;
}

bool CMXRViewDoc::SaveForClose()
{
    switch (SaveStoreFile()) {
    case SaveResult::Saved:
    case SaveResult::Declined: return true;
    case SaveResult::Dismissed: return false;
    case SaveResult::Failed: break;
    }
    return ui::messages().questionYesNo(
               m_messageParent,
               QStringLiteral("データファイルを保存できませんでした。\n保存せずに終了しますか？"),
               CMessageInterface::Answer::No) == CMessageInterface::Answer::Yes;
}

CMXRViewDoc::SaveResult CMXRViewDoc::SaveStoreFile()
{
    // A viewed file is never written; the commands that change the store are off meanwhile.
    if (m_viewing)
        return SaveResult::Declined;
    // A save before the load finished would write the empty tree over the user's file.
    WaitForLoad();
    if (m_readOnly)
        return SaveWhileReadOnly();
    return SaveToDataFile(m_identity);
}

CMXRViewDoc::SaveResult CMXRViewDoc::SaveToDataFile(const FileIdentity& expected)
{
    if (storebackup::NeedsDailyBackup(NativeStorePath(m_dataFile)))
        BackUpStore();
    StoreOutcome outcome;
    {
        WaitCursor wait;
        outcome = SaveOwnStore(m_store, m_dataFile, expected, m_storeOptions);
    }
    if (!outcome.changedAsidePath.empty()) {
        WriteLog("変更されていたデータファイルを退避しました: ", outcome.changedAsidePath);
        ui::messages().information(
            m_messageParent,
            QStringLiteral("データファイルはこのプログラムの外で変更されていました。\n"
                           "変更されたファイルは次の名前で残してあります:\n%1")
                .arg(shown(outcome.changedAsidePath)));
    }
    ui::ShowStoreMessage(m_messageParent, outcome);
    if (!outcome.ok)
        return SaveResult::Failed;
    m_identity = outcome.identity;
    return SaveResult::Saved;
}

CMXRViewDoc::SaveResult CMXRViewDoc::SaveWhileReadOnly()
{
    const int choice = ui::messages().choice(
        m_messageParent,
        QStringLiteral(
            "データファイルは読み込みが完了しなかったため、読み取り専用で開いています。\n"
            "%1\n変更をどこに保存しますか？")
            .arg(shown(m_dataFile)),
        {QStringLiteral("データファイルに保存"), QStringLiteral("別のファイルに保存..."),
         QStringLiteral("保存しない")});
    if (choice == SaveElsewhere)
        return SaveToOtherFile();
    if (choice == DoNotSave)
        return SaveResult::Declined;
    if (choice != SaveAnyway)
        return SaveResult::Dismissed;
    return SaveOverReadOnlyFile();
}

CMXRViewDoc::SaveResult CMXRViewDoc::SaveOverReadOnlyFile()
{
    // The file as it is now is kept before it is replaced: a file set aside at load that is
    // still the same needs no second copy.
    const std::string path = NativeStorePath(m_dataFile);
    const FileIdentity now = IdentityOfPath(path);
    std::string keptPath = m_setAsidePath;
    if (now.exists && (keptPath.empty() || now != m_identity)) {
        keptPath = CopyAside(path, "kept", std::time(nullptr));
        if (keptPath.empty()) {
            ui::messages().error(
                m_messageParent,
                QStringLiteral("データファイルを退避できないため保存しませんでした\n%1")
                    .arg(shown(path)));
            return SaveResult::Failed;
        }
        WriteLog("上書き前のデータファイルを退避しました: ", keptPath);
    }
    // Compared with the file just copied: a change after the copy is kept aside as well.
    const SaveResult saved = SaveToDataFile(now);
    if (saved != SaveResult::Saved)
        return saved;
    m_setAsidePath.clear();
    SetReadOnly(false);
    if (now.exists)
        ui::messages().information(
            m_messageParent,
            QStringLiteral(
                "データファイルを保存しました。\n元のファイルは次の名前で残してあります:\n%1")
                .arg(shown(keptPath)));
    return saved;
}

CMXRViewDoc::SaveResult CMXRViewDoc::SaveToOtherFile()
{
    const QString chosen = ui::messages().saveFileName(
        m_messageParent, QStringLiteral("別のファイルに保存"), shown(NativeStorePath(m_dataFile)),
        QStringLiteral("データファイル (*.DAT *.dat);;すべてのファイル (*)"));
    if (chosen.isEmpty())
        return SaveResult::Dismissed;
    const std::string path = QFile::encodeName(chosen).toStdString();
    // The data file under another name is no other file: it is kept aside first.
    const FileIdentity target = IdentityOfPath(path);
    if (target.exists && target == IdentityOfPath(NativeStorePath(m_dataFile)))
        return SaveOverReadOnlyFile();
    if (target.exists &&
        ui::messages().questionYesNo(
            m_messageParent,
            QStringLiteral("指定のファイルは既に存在しています\n上書きしてもよろしいですか\n%1")
                .arg(chosen),
            CMessageInterface::Answer::No) != CMessageInterface::Answer::Yes)
        return SaveResult::Dismissed;
    StoreOutcome outcome;
    {
        WaitCursor wait;
        outcome = SaveStore(m_store, path, m_storeOptions);
    }
    ui::ShowStoreMessage(m_messageParent, outcome);
    if (!outcome.ok)
        return SaveResult::Failed;
    // The chosen file holds everything now: later commits of this run go there, and the file
    // that could not be read stays as it was.
    WriteLog("データファイルを別のファイルに保存しました: ", path);
    m_dataFile = path;
    m_identity = outcome.identity;
    m_setAsidePath.clear();
    SetReadOnly(false);
    return SaveResult::Saved;
}
