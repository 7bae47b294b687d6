// Undo and redo in the main window: the steps from the document's commits, and an undo or a
// redo committed as a change of its own.
#include "ui/frame/undocommands.h"

#include <QWidget>

#include <ctime>
#include <string>

#include "ui/common/messages.h"
#include "workspace/treediff.h"
#include "ui/document/measurementdocument.h"

namespace {

// A step's name inside a menu text: an ampersand of a name is no mnemonic.
QString menuName(const std::string& utf8)
{
    return QString::fromStdString(utf8).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString menuText(const QString& verb, const QString& mnemonic, const std::string& step,
                 const QString& keys)
{
    if (step.empty())
        return verb + mnemonic + QLatin1Char('\t') + keys;
    return verb + QStringLiteral(": ") + menuName(step) + mnemonic + QLatin1Char('\t') + keys;
}

// The kinds of entries that replace what the steps describe: none of them stays undoable.
bool replacesTheStore(const std::string& command)
{
    return command == ws::kind::Restore || command == ws::kind::Pull ||
           command == ws::kind::External || command == ws::kind::Start;
}

} // namespace

UndoCommands::UndoCommands(MeasurementDocument& doc, QWidget* messageParent)
    : QObject(messageParent), m_doc(doc), m_messageParent(messageParent)
{
    // The store read anew: a load, a reload after a sync, a restore, a change found from
    // outside. The steps no longer describe it.
    connect(&doc.Notifier(), &DocumentNotifier::storeReplaced, this, [this] {
        clearFor(QStringLiteral("データファイルを読み直したため、元に戻す履歴を消去しました"));
    });
    doc.AddCommitListener([this](const CCustomerDB& before, const CCustomerDB& after,
                                 const ws::JournalEntry& entry) { record(before, after, entry); });
}

QString UndoCommands::UndoText() const
{
    return menuText(QStringLiteral("元に戻す"), QStringLiteral("(&U)"), m_stack.UndoName(),
                    QStringLiteral("Ctrl+Z"));
}

QString UndoCommands::RedoText() const
{
    return menuText(QStringLiteral("やり直し"), QStringLiteral("(&R)"), m_stack.RedoName(),
                    QStringLiteral("Ctrl+Y"));
}

void UndoCommands::record(const CCustomerDB& before, const CCustomerDB& after,
                          const ws::JournalEntry& entry)
{
    // An undo or redo of ours moved its step already; an approval changes no tree.
    if (entry.command == ws::kind::Undo || entry.command == ws::kind::Redo ||
        entry.command == ws::kind::Approve || entry.command == ws::kind::Withdraw)
        return;
    if (replacesTheStore(entry.command)) {
        clearFor(QStringLiteral("データファイルが置き換えられたため、元に戻す履歴を消去しました"));
        return;
    }
    const ws::UndoStack::PushResult result =
        m_stack.Push(before, after, ws::TouchedBy(entry.items), entry.summary);
    if (result == ws::UndoStack::PushResult::TooLarge)
        emit m_doc.Notifier().statusNote(
            QStringLiteral("この変更は大きすぎるため元に戻せません（元に戻す履歴を消去しました）"));
    if (result != ws::UndoStack::PushResult::Unchanged)
        emit changed();
}

bool UndoCommands::Undo()
{
    return run(true);
}

bool UndoCommands::Redo()
{
    return run(false);
}

bool UndoCommands::run(bool undo)
{
    if (undo ? !m_stack.CanUndo() : !m_stack.CanRedo())
        return false;
    // The step runs on a copy, as the editing sheets do; the copy replaces the store when it
    // is committed.
    CCustomerDB after = m_doc.Store();
    const ws::UndoOutcome outcome = undo ? m_stack.Undo(after) : m_stack.Redo(after);
    const QString verb = undo ? QStringLiteral("元に戻せません") : QStringLiteral("やり直せません");
    const QString where = QString::fromStdString(outcome.where);
    switch (outcome.status) {
    case ws::UndoStatus::Done: break;
    case ws::UndoStatus::Empty: return false;
    case ws::UndoStatus::Changed:
        ui::messages().error(m_messageParent,
                             QStringLiteral("%1: %2\n%3 はこの変更の後に変更されています。")
                                 .arg(verb, QString::fromStdString(outcome.stepName), where));
        return false;
    case ws::UndoStatus::Locked:
        ui::messages().error(
            m_messageParent,
            QStringLiteral("%1: %2\n%3 は承認済みです。変更するには承認を取り消してください。")
                .arg(verb, QString::fromStdString(outcome.stepName), where));
        return false;
    }

    // The store holds the result from here on, saved or not (as after a sheet's OK), so the
    // step has moved whatever the save's outcome.
    commitStep(undo, std::move(after), outcome);
    emit changed();
    return true;
}

void UndoCommands::clearFor(const QString& why)
{
    if (!m_stack.CanUndo() && !m_stack.CanRedo())
        return;
    m_stack.Clear();
    emit m_doc.Notifier().statusNote(why);
    emit changed();
}

void UndoCommands::commitStep(bool undo, CCustomerDB&& after, const ws::UndoOutcome& outcome)
{
    CCustomerDB before = std::move(m_doc.Store());
    m_doc.Store() = std::move(after);
    // The entry names what the step put back; its command and name say it was an undo.
    ws::JournalEntry entry = ws::MakeEntry(before, m_doc.Store(), outcome.changes,
                                           m_doc.Journal().GetActor(), std::time(nullptr));
    entry.command = undo ? ws::kind::Undo : ws::kind::Redo;
    entry.summary = (undo ? "元に戻す: " : "やり直し: ") + outcome.stepName;
    m_doc.CommitChange(before, std::move(entry));
    m_doc.LoadSelectedMeasurement();
}
