// Approvals: the approval table, approving and withdrawing with their journal entries.
#include "workspace/approvals.h"

#include <string_view>

#include "model/cp932text.h"
#include "model/namedlist.h"
#include "workspace/workspace.h"

namespace ws {
namespace {

constexpr const char* kTable = R"sql(
CREATE TABLE IF NOT EXISTS approval (
    id INTEGER PRIMARY KEY,
    customer TEXT NOT NULL,
    cable TEXT NOT NULL,
    set_name TEXT NOT NULL,
    customer_raw BLOB NOT NULL,
    cable_raw BLOB NOT NULL,
    set_raw BLOB NOT NULL,
    approver TEXT NOT NULL,
    approved_on TEXT NOT NULL,
    time INTEGER NOT NULL,
    user TEXT NOT NULL,
    workstation TEXT NOT NULL,
    journal_id INTEGER,
    withdrawn_time INTEGER,
    withdrawn_user TEXT,
    withdrawn_workstation TEXT,
    withdraw_reason TEXT,
    withdraw_journal_id INTEGER
);
CREATE INDEX IF NOT EXISTS approval_active ON approval (set_raw) WHERE withdrawn_time IS NULL;
)sql";

constexpr const char* kActiveColumns =
    "SELECT id, customer_raw, cable_raw, set_raw, approver, approved_on, time, user, "
    "workstation FROM approval WHERE withdrawn_time IS NULL";

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    // A full-width space (U+3000) at either end is trimmed too.
    std::string out = text.substr(first, last - first + 1);
    static const std::string kWide = "\xE3\x80\x80";
    while (out.size() >= 3 && out.compare(0, 3, kWide) == 0)
        out.erase(0, 3);
    while (out.size() >= 3 && out.compare(out.size() - 3, 3, kWide) == 0)
        out.erase(out.size() - 3);
    return out == text ? out : trimmed(out);
}

bool samePath(const cmd::TreePath& a, const cmd::TreePath& b)
{
    return CompareNames(a.customer, b.customer) == 0 && CompareNames(a.cable, b.cable) == 0 &&
           CompareNames(a.set, b.set) == 0;
}

Approval readRow(const sqlite::Stmt& s)
{
    Approval a;
    a.id = s.Int(0);
    a.set = {s.Text(1), s.Text(2), s.Text(3)};
    a.approver = s.Text(4);
    a.date = s.Text(5);
    a.time = s.Int(6);
    a.user = s.Text(7);
    a.workstation = s.Text(8);
    return a;
}

std::string setWords(const cmd::TreePath& p)
{
    return cp932::toUtf8(p.customer) + "－" + cp932::toUtf8(p.cable) + "－" + cp932::toUtf8(p.set);
}

// The journal entry of an approval or its withdrawal: one item, the set, whose "承認" field
// goes from before to after.
JournalEntry entryFor(const char* kind, const cmd::TreePath& set, const std::string& before,
                      const std::string& after, const Actor& actor, int64_t now)
{
    JournalEntry e;
    e.time = now;
    e.user = actor.user;
    e.workstation = actor.workstation;
    e.command = kind;
    JournalItem item;
    item.change = ItemChange::Changed;
    item.level = ItemLevel::Set;
    item.customer = cp932::toUtf8(set.customer);
    item.cable = cp932::toUtf8(set.cable);
    item.set = cp932::toUtf8(set.set);
    item.fields.push_back({"承認", before, after});
    e.items.push_back(std::move(item));
    return e;
}

} // namespace

void CreateApprovalTable(sqlite::Db& db)
{
    db.Exec(kTable);
}

std::string ApprovalText(const Approval& approval)
{
    return approval.approver + " " + approval.date;
}

Approvals::Approvals(Workspace& workspace) : m_ws(workspace)
{
    CreateApprovalTable(m_ws.Db());
}

ApprovalStatus Approvals::Approve(const CCustomerDB& tree, const cmd::TreePath& path,
                                  const std::string& approverIn, const std::string& dateIn,
                                  const Actor& actor, int64_t now)
{
    const std::string approver = trimmed(approverIn);
    const std::string date = trimmed(dateIn);
    if (approver.empty())
        return ApprovalStatus::NameRequired;
    if (date.empty())
        return ApprovalStatus::DateRequired;
    // The tree's own spelling of the names is what the approval keeps.
    const int c = tree.customers.Find(path.customer);
    const CCustomer* customer = c < 0 ? nullptr : &tree.customers.At(c);
    const int k = customer ? customer->cables.Find(path.cable) : -1;
    const CCable* cable = k < 0 ? nullptr : &customer->cables.At(k);
    const int s = cable ? cable->sets.Find(path.set) : -1;
    if (s < 0)
        return ApprovalStatus::NotFound;
    const cmd::TreePath set{customer->name, cable->name, cable->sets.At(s).name};

    sqlite::Transaction transaction(m_ws.Db());
    if (IsApproved(set))
        return ApprovalStatus::AlreadyApproved;
    Approval approval{0, set, approver, date, now, actor.user, actor.workstation};
    JournalEntry entry = entryFor(kind::Approve, set, "", ApprovalText(approval), actor, now);
    entry.summary = "承認: " + setWords(set) + " (" + ApprovalText(approval) + ")";
    const int64_t journalId = m_ws.Append(entry);
    sqlite::Stmt insert(m_ws.Db(),
                        "INSERT INTO approval (customer, cable, set_name, customer_raw, "
                        "cable_raw, set_raw, approver, approved_on, time, user, workstation, "
                        "journal_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    insert.Bind(1, cp932::toUtf8(set.customer))
        .Bind(2, cp932::toUtf8(set.cable))
        .Bind(3, cp932::toUtf8(set.set))
        .BindBlob(4, set.customer)
        .BindBlob(5, set.cable)
        .BindBlob(6, set.set)
        .Bind(7, approver)
        .Bind(8, date)
        .Bind(9, now)
        .Bind(10, actor.user)
        .Bind(11, actor.workstation)
        .Bind(12, journalId);
    insert.Run();
    transaction.Commit();
    return ApprovalStatus::Done;
}

ApprovalStatus Approvals::Withdraw(const cmd::TreePath& path, const std::string& reasonIn,
                                   const Actor& actor, int64_t now)
{
    const std::string reason = trimmed(reasonIn);
    sqlite::Transaction transaction(m_ws.Db());
    const std::optional<Approval> approval = Find(path);
    if (!approval)
        return ApprovalStatus::NotApproved;
    if (reason.empty())
        return ApprovalStatus::ReasonRequired;
    JournalEntry entry =
        entryFor(kind::Withdraw, approval->set, ApprovalText(*approval), "", actor, now);
    entry.summary = "承認の取り消し: " + setWords(approval->set);
    entry.reason = reason;
    const int64_t journalId = m_ws.Append(entry);
    sqlite::Stmt update(m_ws.Db(), "UPDATE approval SET withdrawn_time = ?1, withdrawn_user = ?2, "
                                   "withdrawn_workstation = ?3, withdraw_reason = ?4, "
                                   "withdraw_journal_id = ?5 WHERE id = ?6");
    update.Bind(1, now)
        .Bind(2, actor.user)
        .Bind(3, actor.workstation)
        .Bind(4, reason)
        .Bind(5, journalId)
        .Bind(6, approval->id);
    update.Run();
    transaction.Commit();
    return ApprovalStatus::Done;
}

std::optional<Approval> Approvals::Find(const cmd::TreePath& path) const
{
    // Few sets are approved at a time; the names compare as the tree compares them, which
    // SQL cannot do for CP932 bytes.
    for (Approval& a : List())
        if (samePath(a.set, path))
            return std::move(a);
    return std::nullopt;
}

std::vector<Approval> Approvals::List() const
{
    std::vector<Approval> out;
    sqlite::Stmt s(m_ws.Db(), std::string(kActiveColumns) + " ORDER BY id");
    while (s.Step())
        out.push_back(readRow(s));
    return out;
}

cmd::LockedSets Approvals::Locks() const
{
    cmd::LockedSets locks;
    for (Approval& a : List())
        locks.Add(std::move(a.set));
    return locks;
}

cmd::LockedSets LocksOfStore(const std::string& storePath)
{
    Workspace workspace;
    if (!workspace.Open(storePath, false).usable())
        return {};
    return Approvals(workspace).Locks();
}

} // namespace ws
