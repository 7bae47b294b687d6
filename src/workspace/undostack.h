// UndoStack: the steps of this run that can be undone and redone. A step is one user action
// that was committed (a sheet's OK, an import, an undo is not one): it keeps only the parts of
// the tree the action touched, each as the content on the other side of the action and a hash
// of the content the action left, so that a step of a large store costs what its parts cost.
//
// Undo and Redo change the given tree in place and are new changes of it: the caller saves
// and journals the result (command kind::Undo or kind::Redo) like any other action. Neither
// runs when a touched part is no longer what the step left there (something else changed it
// since), nor when it would change an approved set. Plain C++, no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "workspace/journalentry.h"

namespace ws {

enum class UndoStatus {
    Done,
    Empty,   // no step to undo (or redo)
    Changed, // a touched part is not what the step left: see where
    Locked,  // the step would change an approved set: see where
};

struct UndoOutcome {
    UndoStatus status = UndoStatus::Empty;
    // The step's name (UTF-8, as pushed): "測定データ 3 件の登録".
    std::string stepName;
    // Changed, Locked: the entry that stops it, as the user reads it (UTF-8):
    // "需要家「A」ケーブル「K」測定データ「S」".
    std::string where;
    // Done: the parts the step put back, as changes naming them (a part that appears is an
    // AddName, one that goes a RemoveName, a rename a RenameName, a set whose content was
    // swapped an EditMeasurement of it), so that DiffTrees compares exactly these.
    std::vector<cmd::Change> changes;

    bool done() const { return status == UndoStatus::Done; }
};

// An entry an action touched (CP932 names; the levels below `level` stay empty): the parts of
// a step are looked for at and below the entries its action touched.
struct TouchedEntry {
    cmd::Level level = cmd::Level::Customer;
    cmd::TreePath path;
};
// What the changes or the journal items of an action tell it touched (a rename: the entry
// under both names); nothing when they do not tell (an import, a recomputation of everything):
// the whole trees are compared then.
using Touched = std::optional<std::vector<TouchedEntry>>;
Touched TouchedBy(const std::vector<cmd::Change>& changes);
Touched TouchedBy(const std::vector<JournalItem>& items);

class UndoStack {
public:
    // Whether the set at the path (CP932 names) is approved, so that nothing may change it.
    using LockQuery = std::function<bool(const cmd::TreePath& set)>;

    // The memory the stack keeps for its steps by default.
    static constexpr std::size_t kDefaultBudget = std::size_t{96} << 20;

    explicit UndoStack(std::size_t budgetBytes = kDefaultBudget);
    ~UndoStack();
    UndoStack(const UndoStack&) = delete;
    UndoStack& operator=(const UndoStack&) = delete;

    enum class PushResult {
        Recorded,
        Unchanged, // the action changed nothing: the stack is as it was
        TooLarge,  // its parts alone exceed the budget: the stack was emptied
    };
    // Records a committed action: the tree before and after it, the entries it touched
    // (nothing: compare all) and its name (UTF-8). Clears what could be redone. An action too
    // large to keep empties the whole stack, since undoing an older step past an action that
    // cannot be undone would leave a state that never was.
    PushResult Push(const CCustomerDB& before, const CCustomerDB& after, const Touched& touched,
                    std::string name);

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // The name of the step Undo (Redo) would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;

    // Puts the parts of the newest step back as they were before it; the step moves to the
    // redo side. Anything but Done leaves tree and stack as they were.
    UndoOutcome Undo(CCustomerDB& tree);
    // Makes the step undone last again; it moves back to the undo side.
    UndoOutcome Redo(CCustomerDB& tree);

    void Clear();
    // nullptr: nothing is locked.
    void SetLockQuery(LockQuery query) { m_locked = std::move(query); }

    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }
    // The estimated bytes the steps keep.
    std::size_t MemoryUsed() const;
    std::size_t Budget() const { return m_budget; }
    // A smaller budget drops the oldest steps at once.
    void SetBudget(std::size_t bytes);

    struct Step;

private:
    UndoOutcome swap(std::deque<std::unique_ptr<Step>>& from, std::deque<std::unique_ptr<Step>>& to,
                     CCustomerDB& tree);
    void trim();

    std::deque<std::unique_ptr<Step>> m_undo; // newest last
    std::deque<std::unique_ptr<Step>> m_redo; // the next to redo last
    std::size_t m_budget;
    LockQuery m_locked;
};

} // namespace ws
