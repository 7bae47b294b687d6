// UndoCommands: 編集 → 元に戻す / やり直し over the changes of this run. It keeps every
// journaled commit of the document as a step of its UndoStack, and runs an undo or a redo as a
// new change of the store: saved and journaled like any other, never a rewind of the journal.
// The steps are dropped when the store is read anew (a reload, a sync, a restore, a change
// found from outside), since they no longer describe it.
#pragma once

#include <QObject>
#include <QString>

#include "model/customerdb.h"
#include "workspace/journalentry.h"
#include "workspace/undostack.h"

class MeasurementDocument;
class QWidget;

class UndoCommands : public QObject {
    Q_OBJECT
public:
    // Follows the document's commits and store replacements; messages go to messageParent,
    // notes to the document's status notes.
    UndoCommands(MeasurementDocument& doc, QWidget* messageParent);

    bool CanUndo() const { return m_stack.CanUndo(); }
    bool CanRedo() const { return m_stack.CanRedo(); }
    // The menu texts: "元に戻す: 測定データ 3 件の登録(&U)\tCtrl+Z", or without a step
    // "元に戻す(&U)\tCtrl+Z"; the same with "やり直し" and Ctrl+Y.
    QString UndoText() const;
    QString RedoText() const;

    // Runs the step on the store and commits it; a refusal is shown. Returns whether it ran.
    bool Undo();
    bool Redo();

    // Whether an approved set stops an undo (nullptr: none does).
    void SetLockQuery(ws::UndoStack::LockQuery query) { m_stack.SetLockQuery(std::move(query)); }
    const ws::UndoStack& Stack() const { return m_stack; }

signals:
    // The steps changed: the menu follows.
    void changed();

private:
    // A committed change as a step (the document's commit listener).
    void record(const CCustomerDB& before, const CCustomerDB& after, const ws::JournalEntry& entry);
    bool run(bool undo);
    // The store takes the tree a step gave, committed as a change with its own entry.
    void commitStep(bool undo, CCustomerDB&& after, const ws::UndoOutcome& outcome);
    void clearFor(const QString& why);

    MeasurementDocument& m_doc;
    QWidget* m_messageParent;
    ws::UndoStack m_stack;
};
