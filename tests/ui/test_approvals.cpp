// Approval of a finished set in the window: the data page refuses every change to an approved
// set and says why, and marks it in its list; the main window's commands approve and withdraw
// through their dialogs, enabled as they apply; the printed pages carry the approval only
// while the user has switched that on.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cmath>

#include "fixtures.h"
#include "pagefixture.h"
#include "samplerecords.h"
#include "settings/appsettings.h"
#include "support/mainwindowsetup.h"
#include "support/scriptedmessages.h"
#include "support/whenmodal.h"
#include "support/widgetgrab.h"
#include "ui/common/approvaltext.h"
#include "ui/dialogs/approvaldialog.h"
#include "ui/document/documentapprovals.h"
#include "ui/frame/commandids.h"
#include "ui/pages/customertreepage.h"
#include "ui/pages/reportview.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "workspace/workspace.h"

using cp932::lit;
using namespace customertree;
using guitest::whenModal;

namespace {

const cmd::TreePath kSpring{lit("顧客Ａ"), "CV-1", lit("2024春")};
const QString kRefusal = ui::ApprovedRefusal(kSpring);

// "顧客Ａ" / "CV-1" / "2024春" with 10 and 20 kV, and "CV-2" / "empty".
CCustomerDB approvalTree()
{
    CCustomerDB db = storeWith({pagetest::measured(10, 100), pagetest::measured(20, 100)});
    RecalcRatios(db.customers.At(0).cables.At(0).sets.At(0));
    db.customers.At(0)
        .cables.At(db.customers.At(0).cables.FindOrInsert("CV-2"))
        .sets.FindOrInsert("empty");
    return db;
}

QByteArray poppler(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

} // namespace

// Every way the page offers to change the approved set (its conditions, a measurement cell,
// deleting a measurement, deleting or renaming the cable that holds it, registering into it)
// is refused with the reason, before any question, and leaves the tree alone; the entry
// beside it stays free. The list marks the set; the name itself stays.
TEST(PageApprovals, ApprovedSetRefusesChangesWithTheReason)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CCustomerDB tree = approvalTree();
    const CCustomerDB before = tree;
    const cmd::LockedSets locks({kSpring});
    CustomerTreePage page(PageMode::Edit, tree, settings);
    page.SetApprovals({&locks, {}});
    ASSERT_TRUE(pagetest::show(page, {lit("顧客Ａ"), "CV-1", lit("2024春"), 0}));

    ReportList* sets = page.NameList(LevelMeasData);
    EXPECT_EQ(sets->model()->index(0, 0).data().toString(), QStringLiteral("2024春（承認済）"));
    EXPECT_EQ(page.Model().NameAt(LevelMeasData, 0), lit("2024春"));

    page.Grid()->CommitEdit(4, QStringLiteral("123.4"));
    EXPECT_FALSE(page.MeasList()->RequestEdit(0, 3));
    page.OnDeleteMeas();
    page.OnDelete(LevelCable);
    EXPECT_FALSE(page.NameList(LevelCable)->RequestEdit(0, 0));
    EXPECT_EQ(tree, before);
    EXPECT_EQ(messages->texts(), QStringList(5, kRefusal));
    for (const auto& e : messages->entries())
        EXPECT_EQ(e.kind, CScriptedMessages::Kind::Error);

    // The other cable is not locked: its deletion asks.
    messages->clear();
    page.NameList(LevelCable)->selectRow(1);
    ASSERT_EQ(page.Model().Row(LevelCable), 1);
    messages->pushAnswer(MessageInterface::Answer::No);
    page.OnDelete(LevelCable);
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::YesNo);
    EXPECT_EQ(sets->model()->index(0, 0).data().toString(), QStringLiteral("empty"));

    // Received records are not registered into it.
    messages->clear();
    CustomerTreePage transfer(PageMode::Transfer, tree, settings);
    transfer.SetApprovals({&locks, {}});
    transfer.SetSelection({lit("顧客Ａ"), "CV-1", lit("2024春"), 0});
    ReceivedRecord received;
    static_cast<CMeasRecord&>(received) = pagetest::measured(30, 100);
    transfer.SetReceived({received});
    EXPECT_FALSE(transfer.RegisterChecked());
    EXPECT_EQ(tree, before);
    EXPECT_EQ(messages->texts(), QStringList{kRefusal});
}

// The set list's context menu offers approving and withdrawing as they apply; approving in
// the editing sheet waits until its changes are kept.
TEST(PageApprovals, SetMenuFollowsTheApproval)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CCustomerDB tree = approvalTree();
    cmd::LockedSets locks;
    std::vector<std::pair<cmd::TreePath, bool>> asked;
    PageApprovals approvals;
    approvals.locks = &locks;
    approvals.change = [&](QWidget*, const cmd::TreePath& set, bool approve) {
        asked.emplace_back(set, approve);
        locks = approve ? cmd::LockedSets({set}) : cmd::LockedSets();
        return true;
    };
    CustomerTreePage page(PageMode::Edit, tree, settings);
    page.SetApprovals(approvals);
    page.SetSelection({lit("顧客Ａ"), "CV-1", lit("2024春"), 0});

    auto states = [&page] {
        std::unique_ptr<QMenu> menu(page.CreateSetMenu());
        const QList<QAction*> actions = menu->actions();
        return std::pair{actions.at(0)->isEnabled(), actions.at(1)->isEnabled()};
    };
    EXPECT_EQ(states(), (std::pair{true, false}));
    page.OnApproveSet(true);
    EXPECT_EQ(states(), (std::pair{false, true}));
    EXPECT_EQ(page.NameList(LevelMeasData)->model()->index(0, 0).data().toString(),
              QStringLiteral("2024春（承認済）"));
    page.OnApproveSet(false);
    EXPECT_EQ(states(), (std::pair{true, false}));
    EXPECT_EQ(asked,
              (std::vector<std::pair<cmd::TreePath, bool>>{{kSpring, true}, {kSpring, false}}));
    EXPECT_TRUE(messages->texts().isEmpty());

    // A change not yet kept: approving asks for OK first and approves nothing.
    page.Grid()->CommitEdit(4, QStringLiteral("123.4"));
    ASSERT_TRUE(page.HasChanges());
    page.OnApproveSet(true);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(messages->texts(),
              QStringList{QStringLiteral("変更を確定（OK）してから承認してください。")});
}

namespace {

class WindowApprovalTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(w.dir.isValid());
        w.doc.Store() = approvalTree();
        w.doc.Selection() = {lit("顧客Ａ"), "CV-1", lit("2024春"), 0};
        w.doc.LoadSelectedMeasurement();
        w.frame().UpdateCommandStates();
    }
    QAction* action(int id) { return w.frame().Action(id); }
    std::vector<ws::JournalEntry> journal()
    {
        ws::Workspace workspace;
        if (!workspace.Open(w.doc.DataFilePath(), false).usable())
            return {};
        return workspace.Query();
    }

    guitest::MainWindowSetup w;
};

} // namespace

// 承認... asks the name (the one this workstation entered last) and the date; 承認の取り消し...
// asks a reason and stays closed to OK without one. Each is journaled, and the commands are
// enabled as they apply.
TEST_F(WindowApprovalTest, ApproveAndWithdrawFromTheMenu)
{
    w.settings.ApproverName = lit("山田");
    EXPECT_TRUE(action(commandid::ApproveSet)->isEnabled());
    EXPECT_FALSE(action(commandid::WithdrawApproval)->isEnabled());

    whenModal<ApprovalDialog>([](ApprovalDialog& d) {
        EXPECT_EQ(d.ApproverEdit()->text(), QStringLiteral("山田"));
        EXPECT_EQ(d.DateEdit()->date(), QDate::currentDate());
        d.ApproverEdit()->clear();
        EXPECT_FALSE(d.OkButton()->isEnabled());
        d.ApproverEdit()->setText(QStringLiteral("佐藤"));
        d.DateEdit()->setDate(QDate(2026, 12, 11));
        d.OkButton()->click();
    });
    action(commandid::ApproveSet)->trigger();
    EXPECT_FALSE(action(commandid::ApproveSet)->isEnabled());
    EXPECT_TRUE(action(commandid::WithdrawApproval)->isEnabled());
    EXPECT_EQ(w.settings.ApproverName, lit("佐藤"));
    const auto approval = docapprovals::Find(w.doc, kSpring);
    ASSERT_TRUE(approval);
    EXPECT_EQ(approval->approver, "佐藤");
    EXPECT_EQ(approval->date, "2026/12/11");

    whenModal<WithdrawApprovalDialog>([](WithdrawApprovalDialog& d) {
        EXPECT_FALSE(d.OkButton()->isEnabled());
        d.ReasonEdit()->setText(QStringLiteral("  "));
        EXPECT_FALSE(d.OkButton()->isEnabled());
        d.ReasonEdit()->setText(QStringLiteral("試験電圧の誤記"));
        d.OkButton()->click();
    });
    action(commandid::WithdrawApproval)->trigger();
    EXPECT_TRUE(action(commandid::ApproveSet)->isEnabled());
    EXPECT_FALSE(action(commandid::WithdrawApproval)->isEnabled());
    EXPECT_FALSE(docapprovals::Find(w.doc, kSpring));

    const std::vector<ws::JournalEntry> entries = journal();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2].command, ws::kind::Approve);
    EXPECT_EQ(entries.back().command, ws::kind::Withdraw);
    EXPECT_EQ(entries.back().reason, "試験電圧の誤記");
    EXPECT_TRUE(w.messages->texts().isEmpty()) << w.messages->texts().join('\n').toStdString();

    // Without a shown set neither applies.
    w.doc.ResetSelection();
    w.frame().UpdateCommandStates();
    EXPECT_FALSE(action(commandid::ApproveSet)->isEnabled());
    EXPECT_FALSE(action(commandid::WithdrawApproval)->isEnabled());
}

// The editing sheet and the import honour the approvals the store's workspace holds.
TEST_F(WindowApprovalTest, EditingAndImportRespectTheStoredApproval)
{
    ASSERT_TRUE(docapprovals::Approve(w.doc, kSpring, "山田", "2026/12/11", {"u", "pc"}).ok());
    const cmd::LockedSets locks = docapprovals::Locks(w.doc);
    ASSERT_TRUE(locks.IsLocked(kSpring));
    EXPECT_EQ(docapprovals::Locks(w.doc).Sets(), locks.Sets());
    // The next sheet's page: a condition edit is refused.
    CCustomerDB copy = w.doc.Store();
    CustomerTreePage page(PageMode::Edit, copy, w.settings);
    page.SetApprovals({&locks, {}});
    page.SetSelection(w.doc.Selection());
    page.Grid()->CommitEdit(4, QStringLiteral("9.9"));
    EXPECT_EQ(copy, w.doc.Store());
    EXPECT_EQ(w.messages->texts(), QStringList{kRefusal});
}

// The printed pages carry 「承認：name date」 only while 承認を印刷する is on; the switch is kept
// in the INI at once.
TEST_F(WindowApprovalTest, PrintedApprovalOnlyWhenSwitchedOn)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    ASSERT_TRUE(docapprovals::Approve(w.doc, kSpring, "山田", "2026/12/11", {"u", "pc"}).ok());
    w.frame().Printer()->setPageSize(QPageSize(QPageSize::A4));
    auto pdf = [this](const QString& name) {
        const QString target = w.dir.filePath(name);
        w.messages->pushPath(target);
        w.messages->pushAnswer(MessageInterface::Answer::No); // do not open it
        action(commandid::PdfOut)->trigger();
        return QString::fromUtf8(poppler("pdftotext", {"-layout", target, "-"}));
    };
    EXPECT_FALSE(action(commandid::PrintApproval)->isChecked());
    const QString off = pdf("off.pdf");
    ASSERT_TRUE(off.contains(QStringLiteral("成績表"))) << off.left(300).toStdString();
    EXPECT_FALSE(off.contains(QStringLiteral("承認")));

    action(commandid::PrintApproval)->trigger();
    EXPECT_TRUE(action(commandid::PrintApproval)->isChecked());
    EXPECT_EQ(w.settings.PrtApproval, 1);
    QFile ini(QString::fromStdString(w.settings.IniPath()));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("PrtApproval=1"));
    const QString on = pdf("on.pdf");
    // (The text extraction turns the ideographic space into a plain one.)
    const QRegularExpression line(QStringLiteral("承認：山田\\s+2026/12/11"));
    EXPECT_EQ(on.count(line), on.count(QChar(u'\f')))
        << "one a page: " << on.left(300).toStdString();
    // The rest of the page is as it was.
    QString rest = on;
    rest.remove(line);
    EXPECT_EQ(rest.simplified(), off.simplified());
    QDir().mkpath(guitest::grabDir()); // kept to be looked at
    QFile::remove(guitest::grabDir() + "/approval_report.pdf");
    QFile::copy(w.dir.filePath("on.pdf"), guitest::grabDir() + "/approval_report.pdf");
}

// Pictures to look at: the two dialogs, and the page's set list marking an approved set.
TEST(Grab, ApprovalDialogsAndMarkedSet)
{
    ApprovalDialog approve(QStringLiteral("顧客Ａ－CV-1－2024春"), QStringLiteral("山田"));
    EXPECT_TRUE(guitest::grabToPng(&approve, guitest::grabDir() + "/approval_dialog.png"));
    WithdrawApprovalDialog withdraw(QStringLiteral("顧客Ａ－CV-1－2024春"),
                                    QStringLiteral("山田 2026/12/11"));
    withdraw.ReasonEdit()->setText(QStringLiteral("試験電圧の誤記"));
    EXPECT_TRUE(guitest::grabToPng(&withdraw, guitest::grabDir() + "/approval_withdraw.png"));

    CAppSettings settings;
    CCustomerDB tree = approvalTree();
    CMeasData& second = sample::setAt(tree, lit("顧客Ａ"), "CV-1", lit("2025秋"));
    second.InsertRecord(pagetest::measured(10, 100));
    const cmd::LockedSets locks({kSpring});
    CustomerTreePage page(PageMode::Edit, tree, settings);
    page.SetApprovals({&locks, {}});
    ASSERT_TRUE(pagetest::show(page, {lit("顧客Ａ"), "CV-1", lit("2024春"), 0}));
    EXPECT_TRUE(guitest::grabToPng(&page, guitest::grabDir() + "/approval_page.png"));
}
