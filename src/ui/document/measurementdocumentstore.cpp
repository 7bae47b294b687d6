// MeasurementDocument: the user's side of the store session. It loads the data store at start-up and
// saves it at each commit and at the close, and turns what the session returns (outcomes and
// the decisions it needs) into the questions, messages and file dialog the user sees.
#include <QApplication>
#include <QCursor>
#include <QFile>

#include "ui/common/messages.h"
#include "ui/document/measurementdocument.h"
#include "ui/common/storemessagebox.h"
#include "ui/common/uitext.h"
#include "workspace/treediff.h"

#include <ctime>
#include <utility>

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

void MeasurementDocument::SetViewFile(std::string path)
{
    m_session.SetViewFile(std::move(path));
}

void MeasurementDocument::SelectFirstMeasurement()
{
    m_selection = DataSelection();
    const CCustomerDB& store = m_session.Store();
    if (store.customers.Count() > 0) {
        const CCustomer& customer = store.customers.At(0);
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

void MeasurementDocument::ShowLoadOutcome(const LoadOutcome& outcome)
{
    if (outcome.viewedFileMissing) {
        ui::messages().error(m_messageParent,
                             QStringLiteral("指定のファイルを開けません\n%1")
                                 .arg(shown(m_session.DataFilePath())));
    } else {
        ui::ShowStoreMessage(m_messageParent, outcome.store);
    }
    JournalLoad();
    emit m_notifier.storeReplaced();
}

void MeasurementDocument::JournalLoad()
{
    const char* command = std::exchange(m_loadCommand, ws::kind::External);
    std::string summary = std::exchange(m_loadSummary, {});
    std::string reason = std::exchange(m_loadReason, {});
    // A viewed file has no journal; a store read in part says nothing about what changed.
    if (m_session.IsViewing() || m_session.IsReadOnly()) {
        m_journal.Detach();
        return;
    }
    if (m_journal.StorePath() != m_session.DataFilePath())
        m_journal.Attach(m_session.DataFilePath());
    const std::optional<ws::JournalEntry> found = m_journal.AfterLoad(
        m_session.Store(), m_session.Identity(), command, std::move(summary), std::move(reason));
    if (found && found->command == ws::kind::External)
        emit m_notifier.statusNote(
            QStringLiteral("データファイルはこのプログラムの外で変更されていました（%1 件を変更履歴に記録しました）")
                .arg(found->items.size()));
}

bool MeasurementDocument::CommitChange(const CCustomerDB& before,
                                       const std::vector<cmd::Change>& changes)
{
    if (changes.empty())
        return CommitStore();
    return CommitChange(before, ws::MakeEntry(before, m_session.Store(), changes,
                                              m_journal.GetActor(), std::time(nullptr)));
}

bool MeasurementDocument::CommitChange(const CCustomerDB& before, ws::JournalEntry entry)
{
    if (!m_session.IsViewing() && !entry.items.empty())
        m_journal.Stage(before, entry);
    if (!CommitStore())
        return false;
    if (!m_journal.LastJournaled().empty())
        entry.id = m_journal.LastJournaled().back().id;
    for (const CommitListener& listener : m_commitListeners)
        listener(before, m_session.Store(), entry);
    return true;
}

void MeasurementDocument::AddCommitListener(CommitListener listener)
{
    m_commitListeners.push_back(std::move(listener));
}

void MeasurementDocument::LoadStoreFile()
{
    WaitForLoad();
    LoadOutcome outcome;
    {
        WaitCursor wait;
        outcome = m_session.Load();
    }
    ShowLoadOutcome(outcome);
}

void MeasurementDocument::InitStore()
{
    // A file named for viewing is read in place: its first measurement is shown at once.
    if (!m_loadInBackground || m_session.IsViewing()) {
        LoadStoreFile();
        return;
    }
    if (m_session.IsLoading())
        return;
    m_session.StartBackgroundLoad([this] {
        // On the worker: the document's end of the load runs on the UI thread.
        QMetaObject::invokeMethod(this, &MeasurementDocument::FinishBackgroundLoad,
                                  Qt::QueuedConnection);
    });
    emit m_notifier.loadingChanged(true);
}

void MeasurementDocument::WaitForLoad()
{
    if (!m_session.IsLoading())
        return;
    WaitCursor wait;
    FinishBackgroundLoad();
}

void MeasurementDocument::FinishBackgroundLoad()
{
    // Called by the worker's queued call, or earlier by WaitForLoad (the queued call then
    // finds nothing left to do).
    m_session.JoinLoad();
    const std::optional<LoadOutcome> outcome = m_session.TakeFinishedLoad();
    if (!outcome)
        return;
    ShowLoadOutcome(*outcome);
    emit m_notifier.loadingChanged(false);
}

bool MeasurementDocument::CommitStore()
{
    emit m_notifier.treeChanged();
    return SaveStoreFile() == SaveResult::Saved;
}

bool MeasurementDocument::SaveForClose()
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
               MessageInterface::Answer::No) == MessageInterface::Answer::Yes;
}

MeasurementDocument::SaveResult MeasurementDocument::SaveStoreFile()
{
    // A viewed file is never written; the commands that change the store are off meanwhile.
    if (m_session.IsViewing())
        return SaveResult::Declined;
    // A save before the load finished would write the empty tree over the user's file.
    WaitForLoad();
    SaveOutcome outcome;
    {
        WaitCursor wait;
        outcome = m_session.Save();
    }
    if (outcome.status == SaveStatus::NeedsDecision)
        return SaveWhileReadOnly();
    return ShowSaveOutcome(outcome);
}

MeasurementDocument::SaveResult MeasurementDocument::ShowSaveOutcome(const SaveOutcome& outcome)
{
    if (outcome.backupFailure)
        ShowBackupFailure(*outcome.backupFailure);
    if (outcome.failure == SaveFailure::KeepAsideFailed) {
        ui::messages().error(
            m_messageParent,
            QStringLiteral("データファイルを退避できないため保存しませんでした\n%1")
                .arg(shown(outcome.path)));
        return SaveResult::Failed;
    }
    if (outcome.wrote) {
        if (!outcome.store.changedAsidePath.empty())
            ui::messages().information(
                m_messageParent,
                QStringLiteral("データファイルはこのプログラムの外で変更されていました。\n"
                               "変更されたファイルは次の名前で残してあります:\n%1")
                    .arg(shown(outcome.store.changedAsidePath)));
        ui::ShowStoreMessage(m_messageParent, outcome.store);
    }
    switch (outcome.status) {
    case SaveStatus::Saved: break;
    case SaveStatus::NotWritten: return SaveResult::Declined;
    case SaveStatus::NeedsDecision: return SaveResult::Dismissed; // answered by the callers
    case SaveStatus::Failed: return SaveResult::Failed;
    }
    if (!outcome.keptPath.empty())
        ui::messages().information(
            m_messageParent,
            QStringLiteral(
                "データファイルを保存しました。\n元のファイルは次の名前で残してあります:\n%1")
                .arg(shown(outcome.keptPath)));
    return SaveResult::Saved;
}

MeasurementDocument::SaveResult MeasurementDocument::SaveWhileReadOnly()
{
    const int choice = ui::messages().choice(
        m_messageParent,
        QStringLiteral(
            "データファイルは読み込みが完了しなかったため、読み取り専用で開いています。\n"
            "%1\n変更をどこに保存しますか？")
            .arg(shown(m_session.DataFilePath())),
        {QStringLiteral("データファイルに保存"), QStringLiteral("別のファイルに保存..."),
         QStringLiteral("保存しない")});
    if (choice == SaveElsewhere)
        return SaveToOtherFile();
    if (choice == DoNotSave)
        return SaveResult::Declined;
    if (choice != SaveAnyway)
        return SaveResult::Dismissed;
    SaveOutcome outcome;
    {
        WaitCursor wait;
        outcome = m_session.SaveOverReadOnlyFile();
    }
    return ShowSaveOutcome(outcome);
}

MeasurementDocument::SaveResult MeasurementDocument::SaveToOtherFile()
{
    const QString chosen = ui::messages().saveFileName(
        m_messageParent, QStringLiteral("別のファイルに保存"),
        shown(NativeStorePath(m_session.DataFilePath())),
        QStringLiteral("データファイル (*.DAT *.dat);;すべてのファイル (*)"));
    if (chosen.isEmpty())
        return SaveResult::Dismissed;
    const std::string path = QFile::encodeName(chosen).toStdString();
    SaveOutcome outcome;
    {
        WaitCursor wait;
        outcome = m_session.SaveToOtherFile(path);
    }
    if (outcome.status == SaveStatus::NeedsDecision) {
        if (ui::messages().questionYesNo(
                m_messageParent,
                QStringLiteral("指定のファイルは既に存在しています\n上書きしてもよろしいですか\n%1")
                    .arg(chosen),
                MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
            return SaveResult::Dismissed;
        WaitCursor wait;
        outcome = m_session.SaveToOtherFile(path, true);
    }
    return ShowSaveOutcome(outcome);
}
