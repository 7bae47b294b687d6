// The approvals of the document's store, as the UI reads and changes them: each call opens the
// workspace beside the store file for that moment, so the approvals are always those on disk
// (another window or mxrtool may have changed them) and nothing is held open between them.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "commands/treecommands.h"
#include "workspace/approvals.h"

class MeasurementDocument;

namespace docapprovals {

// A viewed file's workspace is never opened: it has no approvals here and takes none.
// The approved sets of the document's store; none when it has no workspace yet.
cmd::LockedSets Locks(const MeasurementDocument& doc);
// The active approval of a set, or nothing.
std::optional<ws::Approval> Find(const MeasurementDocument& doc, const cmd::TreePath& set);

struct Result {
    ws::ApprovalStatus status = ws::ApprovalStatus::Done;
    QString error; // the workspace could not be opened or written (status is then meaningless)
    bool ok() const { return error.isEmpty() && status == ws::ApprovalStatus::Done; }
};

// Approves a set of the document's store (creating the workspace at the first approval).
Result Approve(MeasurementDocument& doc, const cmd::TreePath& set, const std::string& approver,
               const std::string& date, const ws::Actor& actor);
// Withdraws a set's approval with the reason.
Result Withdraw(MeasurementDocument& doc, const cmd::TreePath& set, const std::string& reason,
                const ws::Actor& actor);

} // namespace docapprovals
