// Approvals in the workspace: approving and withdrawing, each with its journal entry in the
// same transaction; what each refuses; the locks they give the tree commands.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "model/cp932text.h"
#include "samplerecords.h"
#include "workspace/approvals.h"
#include "workspace/workspace.h"

namespace fs = std::filesystem;

namespace {

const ws::Actor kActor{"tanaka", "pc-7"};

class ApprovalsTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_approvals_XXXXXX";
        m_dir = mkdtemp(tmpl);
        tree = sample::editTree({});
        sample::setAt(tree, cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"));
        ASSERT_TRUE(workspace.Open(storePath(), true).usable());
    }
    void TearDown() override
    {
        workspace.Close();
        fs::remove_all(m_dir);
    }
    std::string storePath() const { return (m_dir / "MXR.DAT").string(); }

    fs::path m_dir;
    CCustomerDB tree;
    ws::Workspace workspace;
    const cmd::TreePath spring{cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春")};
};

} // namespace

// Approving and withdrawing each leave one journal entry with the set and the approval's
// words; the table keeps the withdrawn approval, and the set can be approved again.
TEST_F(ApprovalsTest, ApproveAndWithdrawAreJournaled)
{
    ws::Approvals approvals(workspace);
    const std::size_t before = workspace.EntryCount();
    ASSERT_EQ(approvals.Approve(tree, spring, " 山田 ", "2026/12/11", kActor, 1000),
              ws::ApprovalStatus::Done);
    const auto found = approvals.Find(spring);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->approver, "山田") << "trimmed";
    EXPECT_EQ(found->date, "2026/12/11");
    EXPECT_EQ(found->user, "tanaka");
    EXPECT_EQ(found->workstation, "pc-7");

    ASSERT_EQ(approvals.Withdraw(spring, "測定条件の誤記", kActor, 2000), ws::ApprovalStatus::Done);
    EXPECT_FALSE(approvals.IsApproved(spring));

    const std::vector<ws::JournalEntry> entries = workspace.Query();
    ASSERT_EQ(workspace.EntryCount(), before + 2);
    const ws::JournalEntry& approve = entries[entries.size() - 2];
    const ws::JournalEntry& withdraw = entries.back();
    EXPECT_EQ(approve.command, ws::kind::Approve);
    EXPECT_EQ(approve.time, 1000);
    EXPECT_EQ(approve.user, "tanaka");
    ASSERT_EQ(approve.items.size(), 1u);
    EXPECT_EQ(approve.items[0].level, ws::ItemLevel::Set);
    EXPECT_EQ(approve.items[0].customer, "顧客Ａ");
    EXPECT_EQ(approve.items[0].set, "2024春");
    EXPECT_EQ(approve.items[0].fields,
              (std::vector<ws::FieldChange>{{"承認", "", "山田 2026/12/11"}}));
    EXPECT_EQ(withdraw.command, ws::kind::Withdraw);
    EXPECT_EQ(withdraw.reason, "測定条件の誤記");
    EXPECT_EQ(withdraw.items.at(0).fields,
              (std::vector<ws::FieldChange>{{"承認", "山田 2026/12/11", ""}}));
    // The journal's filter for the set finds both.
    ws::JournalFilter forSet;
    forSet.customer = "顧客Ａ";
    forSet.cable = "CV-1";
    forSet.set = "2024春";
    EXPECT_EQ(workspace.Query(forSet).size(), 2u);

    ASSERT_EQ(approvals.Approve(tree, spring, "佐藤", "2026/12/12", kActor, 3000),
              ws::ApprovalStatus::Done);
    sqlite::Stmt rows(workspace.Db(), "SELECT count(*) FROM approval");
    ASSERT_TRUE(rows.Step());
    EXPECT_EQ(rows.Int(0), 2) << "the withdrawn approval stays on record";
}

// What each refuses leaves the approvals and the journal as they were.
TEST_F(ApprovalsTest, RefusalsChangeNothing)
{
    ws::Approvals approvals(workspace);
    const cmd::TreePath other{"alpha", "C1", "S1"};
    ASSERT_EQ(approvals.Approve(tree, other, "山田", "2026/12/11", kActor, 1),
              ws::ApprovalStatus::Done);
    const std::size_t entries = workspace.EntryCount();
    struct Case {
        const char* what;
        ws::ApprovalStatus got, expected;
    };
    const Case cases[] = {
        {"no name", approvals.Approve(tree, spring, "　 ", "2026/12/11", kActor, 2),
         ws::ApprovalStatus::NameRequired},
        {"no date", approvals.Approve(tree, spring, "山田", "", kActor, 2),
         ws::ApprovalStatus::DateRequired},
        {"no such set", approvals.Approve(tree, {"alpha", "C1", "S9"}, "山田", "d", kActor, 2),
         ws::ApprovalStatus::NotFound},
        {"approved already (other case)",
         approvals.Approve(tree, {"ALPHA", "c1", "s1"}, "佐藤", "d", kActor, 2),
         ws::ApprovalStatus::AlreadyApproved},
        {"withdraw without reason", approvals.Withdraw(other, " ", kActor, 2),
         ws::ApprovalStatus::ReasonRequired},
        {"withdraw what is not approved", approvals.Withdraw(spring, "r", kActor, 2),
         ws::ApprovalStatus::NotApproved},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_EQ(workspace.EntryCount(), entries);
    ASSERT_EQ(approvals.List().size(), 1u);
    EXPECT_EQ(approvals.List()[0].set, other);
}

// The approval row and its journal entry are one transaction: a failure writing the one
// leaves neither.
TEST_F(ApprovalsTest, ApprovalAndJournalEntryCommitTogether)
{
    ws::Approvals approvals(workspace);
    workspace.Db().Exec("CREATE TRIGGER refuse BEFORE INSERT ON approval "
                        "BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    const std::size_t entries = workspace.EntryCount();
    EXPECT_THROW(approvals.Approve(tree, spring, "山田", "2026/12/11", kActor, 1), sqlite::Error);
    EXPECT_EQ(workspace.EntryCount(), entries);
    EXPECT_FALSE(approvals.IsApproved(spring));

    workspace.Db().Exec("DROP TRIGGER refuse");
    ASSERT_EQ(approvals.Approve(tree, spring, "山田", "2026/12/11", kActor, 1),
              ws::ApprovalStatus::Done);
    workspace.Db().Exec("CREATE TRIGGER refuse BEFORE UPDATE ON approval "
                        "BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    EXPECT_THROW(approvals.Withdraw(spring, "r", kActor, 2), sqlite::Error);
    EXPECT_EQ(workspace.EntryCount(), entries + 1);
    EXPECT_TRUE(approvals.IsApproved(spring));
}

// The locks follow the approvals, keep the store's own bytes of the names, and are read from
// the store's workspace; a store without one has none and gets none made.
TEST_F(ApprovalsTest, LocksOfTheStore)
{
    {
        ws::Approvals approvals(workspace);
        ASSERT_EQ(approvals.Approve(tree, spring, "山田", "2026/12/11", kActor, 1),
                  ws::ApprovalStatus::Done);
        EXPECT_TRUE(approvals.Locks().IsLocked(spring));
    }
    workspace.Close();
    const cmd::LockedSets locks = ws::LocksOfStore(storePath());
    ASSERT_EQ(locks.Sets().size(), 1u);
    EXPECT_EQ(locks.Sets()[0], spring);
    EXPECT_FALSE(locks.IsLocked({"alpha", "C1", "S1"}));

    const std::string bare = (m_dir / "other" / "MXR.DAT").string();
    fs::create_directories(m_dir / "other");
    EXPECT_TRUE(ws::LocksOfStore(bare).Sets().empty());
    EXPECT_TRUE(fs::is_empty(m_dir / "other")) << "no workspace made for reading";
}
