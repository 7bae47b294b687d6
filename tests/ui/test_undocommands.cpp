// 編集 → 元に戻す / やり直し in the main window: Ctrl+Z and Ctrl+Y over committed changes, the
// store file and the journal after each, the menu naming the step, the steps dropped when the
// store is read anew, a refusal told, and Ctrl+Z of a dialog's text field left to the field.
#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "commands/treecommands.h"
#include "fixtures.h"
#include "samplerecords.h"
#include "support/docondisk.h"
#include "support/mainwindowsetup.h"
#include "support/whenmodal.h"
#include "support/widgetgrab.h"
#include "ui/document/documentapprovals.h"
#include "ui/frame/commandids.h"
#include "ui/frame/undocommands.h"
#include "ui/pages/customertreepage.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"
#include "workspace/workspace.h"

namespace {

using Kind = CScriptedMessages::Kind;

CMeasRecord received(double kV, int second)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.StartTime = *OleDateTime::parse("2024/05/01 10:20:" + std::to_string(10 + second));
    sample::addPoints(r, 50, [](int i) { return 5.0 - 0.01 * i; });
    return r;
}

const cmd::TreePath kSet{cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春")};

class UndoUiTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(w.dir.path()).mkpath("DATA"));
        w.doc.Store() = storeWith({received(6.6, 0)});
        ASSERT_TRUE(w.doc.CommitStore());
        w.frame().show();
        w.frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w.frame()));
    }
    QString storePath() const { return w.dir.filePath("DATA/MXR.DAT"); }
    // A registration committed as the transfer sheet's OK commits it: the commands' changes
    // with the tree before them.
    void registerRecords(std::vector<CMeasRecord> records)
    {
        const CCustomerDB before = w.doc.Store();
        cmd::ChangeList changes;
        ASSERT_TRUE(
            cmd::Run(w.doc.Store(), cmd::RegisterReceived{kSet, records, {}, false}, &changes)
                .done());
        ASSERT_TRUE(w.doc.CommitChange(before, changes.changes));
    }
    void press(int key)
    {
        QTest::keyClick(&w.frame(), static_cast<Qt::Key>(key), Qt::ControlModifier);
    }
    std::vector<ws::JournalEntry> journal() const
    {
        ws::Workspace workspace;
        if (!workspace.Open(storePath().toStdString(), false).usable())
            return {};
        return workspace.Query();
    }
    QAction* action(int id) { return w.frame().Action(id); }

    guitest::MainWindowSetup w;
};

} // namespace

TEST_F(UndoUiTest, CtrlZRestoresTheStoreFileAndIsJournaledCtrlYRedoes)
{
    const std::string saved = readBytes(storePath());
    registerRecords({received(10.0, 1), received(3.3, 2)});
    const std::string registered = readBytes(storePath());
    ASSERT_NE(registered, saved);

    press(Qt::Key_Z);
    EXPECT_EQ(readBytes(storePath()), saved);
    std::vector<ws::JournalEntry> entries = journal();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().command, ws::kind::Undo);
    EXPECT_EQ(entries.back().summary, "元に戻す: 測定データ 2 件の登録");
    EXPECT_FALSE(entries.back().items.empty());

    press(Qt::Key_Y);
    EXPECT_EQ(readBytes(storePath()), registered);
    entries = journal();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().command, ws::kind::Redo);
    EXPECT_EQ(entries.back().summary, "やり直し: 測定データ 2 件の登録");
    // The journal only grew: the registration is still in it under the undo and the redo.
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[entries.size() - 3].command, cmd::KindName(cmd::Kind::RegisterReceived));
    EXPECT_TRUE(w.messages->entries().empty()) << w.messages->texts().join("\n").toStdString();
}

TEST_F(UndoUiTest, TheMenuNamesTheStepAndFollowsTheStack)
{
    const QList<QAction*> menus = w.frame().menuBar()->actions();
    ASSERT_GE(menus.size(), 2);
    EXPECT_EQ(menus[1]->text(), QStringLiteral("編集(&E)"));
    EXPECT_EQ(menus[1]->menu()->actions(),
              (QList<QAction*>{action(commandid::EditUndo), action(commandid::EditRedo)}));
    EXPECT_FALSE(action(commandid::EditUndo)->isEnabled());
    EXPECT_FALSE(action(commandid::EditRedo)->isEnabled());
    EXPECT_EQ(action(commandid::EditUndo)->text(), QStringLiteral("元に戻す(&U)\tCtrl+Z"));

    registerRecords({received(10.0, 1)});
    EXPECT_TRUE(action(commandid::EditUndo)->isEnabled());
    EXPECT_EQ(action(commandid::EditUndo)->text(),
              QStringLiteral("元に戻す: 測定データ 1 件の登録(&U)\tCtrl+Z"));
    action(commandid::EditUndo)->trigger();
    EXPECT_FALSE(action(commandid::EditUndo)->isEnabled());
    EXPECT_TRUE(action(commandid::EditRedo)->isEnabled());
    EXPECT_EQ(action(commandid::EditRedo)->text(),
              QStringLiteral("やり直し: 測定データ 1 件の登録(&R)\tCtrl+Y"));
}

TEST_F(UndoUiTest, AReloadDropsTheStepsWithANote)
{
    registerRecords({received(10.0, 1)});
    registerRecords({received(20.0, 2)});
    press(Qt::Key_Z);
    ASSERT_TRUE(w.frame().Undo()->CanUndo());
    ASSERT_TRUE(w.frame().Undo()->CanRedo());

    w.doc.ReloadStoreFile();
    EXPECT_FALSE(w.frame().Undo()->CanUndo());
    EXPECT_FALSE(w.frame().Undo()->CanRedo());
    EXPECT_FALSE(action(commandid::EditUndo)->isEnabled());
    EXPECT_TRUE(
        w.frame().statusBar()->currentMessage().contains(QStringLiteral("元に戻す履歴を消去")))
        << w.frame().statusBar()->currentMessage().toStdString();
}

TEST_F(UndoUiTest, AnUndoOverAChangedSetIsRefusedAndTold)
{
    registerRecords({received(10.0, 1)});
    // The set changed in memory since, outside the steps.
    ASSERT_TRUE(cmd::Run(w.doc.Store(), cmd::RemoveMeasurement{kSet, 0}).done());
    const CCustomerDB now = w.doc.Store();
    const std::string file = readBytes(storePath());

    press(Qt::Key_Z);
    EXPECT_EQ(w.doc.Store(), now);
    EXPECT_EQ(readBytes(storePath()), file);
    ASSERT_EQ(w.messages->entries().size(), 1u);
    EXPECT_EQ(w.messages->entries()[0].kind, Kind::Error);
    EXPECT_TRUE(w.messages->entries()[0].text.startsWith(
        QStringLiteral("元に戻せません: 測定データ 1 "
                       "件の登録\n需要家「顧客Ａ」のケーブル「CV-1」の測定データ「2024春」")))
        << w.messages->entries()[0].text.toStdString();
}

// A step over a set approved since is refused and told, and leaves the store file alone.
TEST_F(UndoUiTest, AnUndoOverAnApprovedSetIsRefused)
{
    registerRecords({received(10.0, 1)});
    ASSERT_TRUE(docapprovals::Approve(w.doc, kSet, "y", "2026/12/11", {"u", "pc"}).ok());
    const CCustomerDB now = w.doc.Store();
    const std::string file = readBytes(storePath());

    press(Qt::Key_Z);
    EXPECT_EQ(w.doc.Store(), now);
    EXPECT_EQ(readBytes(storePath()), file);
    ASSERT_EQ(w.messages->entries().size(), 1u);
    EXPECT_EQ(w.messages->entries()[0].kind, Kind::Error);
    EXPECT_TRUE(w.messages->entries()[0].text.contains(QStringLiteral("2024春")))
        << w.messages->entries()[0].text.toStdString();
}

TEST_F(UndoUiTest, CtrlZInADialogsTextFieldStaysTheFields)
{
    registerRecords({received(10.0, 1)});
    QDialog dialog(&w.frame());
    auto* field = new QLineEdit(&dialog);
    (new QVBoxLayout(&dialog))->addWidget(field);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    field->setFocus();
    QTest::keyClicks(field, "abc");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(w.frame().Undo()->CanUndo());
    EXPECT_EQ(w.doc.Store().RecordCount(), 2u);
}

// The editing sheet's OK, with a condition edit and a cable rename, is one step; Ctrl+Z in the
// sheet's name editor undoes the typing, not the store.
TEST_F(UndoUiTest, ASheetsOkIsOneStepAndCtrlZInItsEditorIsTheEditors)
{
    registerRecords({received(10.0, 1)});
    const CCustomerDB registered = w.doc.Store();
    w.doc.Selection() = {kSet.customer, kSet.cable, kSet.set, 0};
    guitest::whenModal<TreePropertySheet>([](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ASSERT_NE(page, nullptr);
        page->Grid()->CommitEdit(4, QStringLiteral("321")); // 長さ(m)
        ReportList* cables = page->NameList(customertree::LevelCable);
        ASSERT_TRUE(cables->RequestEdit(0, 0));
        auto* editor = cables->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("CV-9"));
        QTest::keyClicks(editor, "x");
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(editor->text(), QStringLiteral("CV-9"));
        QTest::keyClick(editor, Qt::Key_Return);
        sheet.accept();
    });
    action(commandid::EditCustomer)->trigger();
    ASSERT_EQ(w.doc.Store().customers.At(0).cables.At(0).name, "CV-9");
    EXPECT_EQ(w.frame().Undo()->Stack().UndoCount(), 2u); // the registration is still there

    // The window manager gives the main window back its activation; the offscreen platform
    // leaves that to the test.
    w.frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.frame()));
    press(Qt::Key_Z);
    EXPECT_EQ(w.doc.Store(), registered);
    press(Qt::Key_Z);
    EXPECT_EQ(w.doc.Store().RecordCount(), 1u);
    EXPECT_TRUE(w.messages->entries().empty()) << w.messages->texts().join("\n").toStdString();
}

using GrabUndoUi = UndoUiTest;
TEST_F(GrabUndoUi, EditMenu)
{
    registerRecords({received(10.0, 1), received(3.3, 2)});
    registerRecords({received(20.0, 3)});
    press(Qt::Key_Z);
    w.frame().resize(900, 600);
    QMenu* edit = w.frame().menuBar()->actions()[1]->menu();
    edit->popup(w.frame().mapToGlobal(QPoint(60, 20)));
    EXPECT_TRUE(guitest::grabToPng(edit, guitest::grabDir() + "/editmenu.png"));
    EXPECT_TRUE(guitest::grabToPng(&w.frame(), guitest::grabDir() + "/editmenu-frame.png"));
    edit->hide();
}
