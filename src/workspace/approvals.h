// Approvals of finished measurement data sets, kept in the workspace database beside the store.
// An approved set is locked: the tree commands refuse to change its measurements, conditions
// or name (cmd::Locks) until the approval is withdrawn. Approving and withdrawing are each one
// SQLite transaction together with their journal entry, so the journal never misses one.
//
// The table keeps every approval with its withdrawal, never deleting a row: the active
// approval of a set is its row without a withdrawal. Names are kept twice: UTF-8 for people
// and queries, and the store's own CP932 bytes, which the lock compares (a name with bytes
// that have no UTF-8 form still locks exactly its own set).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "workspace/journalentry.h"
#include "workspace/sqlitedb.h"

namespace ws {

class Workspace;

struct Approval {
    int64_t id = 0;
    cmd::TreePath set;    // CP932, as the store spelt the names when approved
    std::string approver; // UTF-8, as entered
    std::string date;     // UTF-8 "YYYY/MM/DD", the approval's date as entered
    int64_t time = 0;     // when it was recorded (seconds since the epoch)
    std::string user, workstation;

    bool operator==(const Approval&) const = default;
};

enum class ApprovalStatus {
    Done,
    NotFound,        // Approve: the tree holds no such set
    AlreadyApproved, // Approve: the set has an active approval
    NotApproved,     // Withdraw: the set has none
    NameRequired,    // Approve: the approver's name is empty
    DateRequired,    // Approve: the date is empty
    ReasonRequired,  // Withdraw: the reason is empty
};

// Creates the approval table where it is missing (idempotent; for the workspace's migration
// and for the first use on a workspace made before approvals existed).
void CreateApprovalTable(sqlite::Db& db);

// The journal's words for an approval: "山田 2026/12/11".
std::string ApprovalText(const Approval& approval);

class Approvals {
public:
    // The workspace must be open and stay open while this object is used.
    explicit Approvals(Workspace& workspace);

    // Approves the set of the tree at path (its names as the tree spells them) by approver on
    // date (both UTF-8, trimmed), journaled as kind::Approve.
    ApprovalStatus Approve(const CCustomerDB& tree, const cmd::TreePath& path,
                           const std::string& approver, const std::string& date, const Actor& actor,
                           int64_t now);
    // Withdraws the active approval of the set with the reason (UTF-8, required), journaled
    // as kind::Withdraw.
    ApprovalStatus Withdraw(const cmd::TreePath& path, const std::string& reason,
                            const Actor& actor, int64_t now);

    // The active approval of a set (names compare as the tree compares them).
    std::optional<Approval> Find(const cmd::TreePath& path) const;
    bool IsApproved(const cmd::TreePath& path) const { return Find(path).has_value(); }
    // Every active approval, oldest first.
    std::vector<Approval> List() const;
    // The approved sets as locks for the tree commands.
    cmd::LockedSets Locks() const;

private:
    Workspace& m_ws;
};

// The approved sets of the store at storePath, read from its workspace without creating one:
// none when it has no workspace (or one this program cannot read).
cmd::LockedSets LocksOfStore(const std::string& storePath);

} // namespace ws
