// The ケーブル台帳 dialog: proposals from the conditions that are only taken when accepted, the
// interval that applies, refused numbers keeping the dialog open, the journaled write, the
// orphans, the keyboard path through the fields, and the edit page's way to it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "fixtures.h"
#include "pagefixture.h"
#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/cableregisterdialog.h"
#include "workspace/workspace.h"

using cp932::lit;

namespace {

const ws::Actor kActor{"tanaka", "pc-7"};

// "顧客Ａ" / "CV-1" / "2024春" whose conditions give 325 sq and 1200 m, and "CV-2" without sets.
CCustomerDB registerTree()
{
    CMeasRecord r = pagetest::measured(10, 50);
    r.Condition.CabSectionalArea = 325;
    r.Condition.CabLength = 1200;
    CCustomerDB db = storeWith({r});
    db.customers.At(0).cables.FindOrInsert("CV-2");
    return db;
}

struct Fixture {
    Fixture() : dir(QDir::tempPath() + QStringLiteral("/mxr-register-XXXXXX"))
    {
        EXPECT_TRUE(workspace.Open((dir.path() + QStringLiteral("/MXR.DAT")).toStdString(), true)
                        .usable());
    }
    QTemporaryDir dir;
    ws::Workspace workspace;
    CCustomerDB tree = registerTree();
};

} // namespace

TEST(CableRegisterDialog, ProposesRefusesAndWritesOnlyWhatOkKeeps)
{
    ScopedScriptedMessages messages;
    Fixture f;
    ws::CableRegister reg(f.workspace);
    CableRegisterDialog dialog(reg, f.tree, lit("顧客Ａ"), "CV-1", 12);
    dialog.SetActor(kActor);

    // The conditions' values are proposed, not filled in.
    EXPECT_TRUE(dialog.Field("section")->text().isEmpty());
    ASSERT_FALSE(dialog.AcceptSectionButton()->isHidden());
    QTest::mouseClick(dialog.AcceptSectionButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Field("section")->text(), QStringLiteral("325"));
    EXPECT_TRUE(dialog.AcceptSectionButton()->isHidden()) << "offered only while empty";
    EXPECT_FALSE(dialog.AcceptLengthButton()->isHidden());

    EXPECT_EQ(dialog.IntervalNote(), QStringLiteral("空欄：全体の既定 12 か月"));
    dialog.Field("customerInterval")->setText(QStringLiteral("24"));
    EXPECT_EQ(dialog.IntervalNote(), QStringLiteral("空欄：需要家の既定 24 か月"));

    // A refused number keeps the dialog open with the field focused, and nothing written.
    dialog.show();
    dialog.Field("voltage")->setText(QStringLiteral("6,6"));
    dialog.Field("year")->setText(QStringLiteral("1998"));
    dialog.TypeBox()->setCurrentText(QStringLiteral("CVQ"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_TRUE(messages->entries()[0].text.startsWith(QStringLiteral("電圧階級：")));
    EXPECT_EQ(dialog.focusWidget(), dialog.Field("voltage"));
    EXPECT_FALSE(reg.Find(lit("顧客Ａ"), "CV-1"));

    dialog.Field("voltage")->setText(QStringLiteral("6.6"));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    const auto written = reg.Find(lit("顧客Ａ"), "CV-1");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->voltageKv, 6.6);
    EXPECT_EQ(written->crossSection, 325);
    EXPECT_FALSE(written->lengthM) << "a proposal not accepted is not saved";
    EXPECT_EQ(written->installYear, 1998);
    EXPECT_EQ(written->cableType, "CVQ");
    EXPECT_EQ(reg.CustomerInterval(lit("顧客Ａ")), 24);
    EXPECT_EQ(reg.CableTypes().back(), "CVQ") << "a type typed joins the list";
    const std::vector<ws::JournalEntry> journal = f.workspace.Query();
    ASSERT_EQ(journal.size(), 2u) << "the entry and the customer's interval";
    EXPECT_EQ(journal[0].command, ws::kind::RegisterEdit);
    EXPECT_EQ(journal[0].items[0].level, ws::ItemLevel::Cable);
}

TEST(CableRegisterDialog, ListsOrphansAndRemovesOneOnlyWhenAsked)
{
    ScopedScriptedMessages messages;
    Fixture f;
    ws::CableRegister reg(f.workspace);
    ws::CableRegisterEntry gone;
    gone.customer = lit("顧客Ａ");
    gone.cable = "OLD-9";
    gone.person = "佐藤";
    reg.Put(gone, kActor, 100);
    CableRegisterDialog dialog(reg, f.tree, lit("顧客Ａ"), "CV-2", std::nullopt);
    dialog.SetActor(kActor);
    ASSERT_EQ(dialog.OrphanList()->count(), 1);
    EXPECT_EQ(dialog.OrphanList()->item(0)->text(), QStringLiteral("顧客Ａ－OLD-9"));
    dialog.OrphanList()->setCurrentRow(0);
    messages->pushAnswer(MessageInterface::Answer::No);
    dialog.OnRemoveOrphan();
    EXPECT_EQ(dialog.OrphanList()->count(), 1);
    messages->pushAnswer(MessageInterface::Answer::Yes);
    dialog.OnRemoveOrphan();
    EXPECT_EQ(dialog.OrphanList()->count(), 0);
    EXPECT_FALSE(reg.Find(lit("顧客Ａ"), "OLD-9"));
    EXPECT_EQ(reg.OldRevisions(lit("顧客Ａ"), "OLD-9").size(), 1u) << "kept as a revision";
    EXPECT_EQ(dialog.IntervalNote(), QStringLiteral("空欄：全体の既定"));
}

// The CSV buttons: a file with a bad row is refused with the row's line and writes nothing; a
// good one is taken and the dialog shows what it wrote; the export writes the register back.
TEST(CableRegisterDialog, ImportsAndExportsThroughItsButtons)
{
    ScopedScriptedMessages messages;
    Fixture f;
    ws::CableRegister reg(f.workspace);
    CableRegisterDialog dialog(reg, f.tree, lit("顧客Ａ"), "CV-1", 12);
    dialog.SetActor(kActor);
    const QString path = f.dir.filePath(QStringLiteral("in.csv"));
    auto write = [&](const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("\xEF\xBB\xBF需要家,ケーブル,担当,試験周期 (月)\r\n顧客Ａ,CV-1,佐藤,6\r\n"
          "顧客Ａ,CV-2,鈴木,six\r\n");
    messages->pushPath(path);
    dialog.OnImport();
    ASSERT_EQ(messages->entries().size(), 2u);
    EXPECT_TRUE(messages->entries()[1].text.contains(QStringLiteral("3 行目「試験周期 (月)」")));
    EXPECT_TRUE(reg.List().empty());

    write("\xEF\xBB\xBF需要家,ケーブル,担当,試験周期 (月)\r\n顧客Ａ,CV-1,佐藤,6\r\n");
    messages->pushPath(path);
    dialog.OnImport();
    EXPECT_EQ(messages->entries().back().text,
              QStringLiteral("1 件を取り込みました（変更 1 件）"));
    EXPECT_EQ(dialog.Field("person")->text(), QStringLiteral("佐藤"));
    EXPECT_EQ(dialog.Field("interval")->text(), QStringLiteral("6"));

    const QString out = f.dir.filePath(QStringLiteral("out.csv"));
    messages->pushChoice(1);
    messages->pushPath(out);
    dialog.OnExport();
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("\xEF\xBB\xBF"));
}

// Tab walks every field in reading order, so the dialog works from the keyboard alone.
TEST(CableRegisterDialog, TabReachesEveryFieldInOrder)
{
    ScopedScriptedMessages messages;
    Fixture f;
    ws::CableRegister reg(f.workspace);
    CableRegisterDialog dialog(reg, f.tree, lit("顧客Ａ"), "CV-1", 12);
    dialog.resize(1280, 720);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.Field("location")->setFocus();
    QStringList order;
    for (int i = 0; i < 14; ++i) {
        QWidget* w = QApplication::focusWidget();
        order << (w ? w->objectName() : QString());
        QTest::keyClick(w, Qt::Key_Tab);
    }
    const QStringList fields{QStringLiteral("location"), QStringLiteral("voltage"),
                             QStringLiteral("cableType"), QStringLiteral("section"),
                             QStringLiteral("sectionAccept"), QStringLiteral("length"),
                             QStringLiteral("lengthAccept"), QStringLiteral("year"),
                             QStringLiteral("importance"), QStringLiteral("interval"),
                             QStringLiteral("person"), QStringLiteral("remarks"),
                             QStringLiteral("customerInterval")};
    EXPECT_EQ(order.mid(0, fields.size()), fields);
    EXPECT_LE(dialog.sizeHint().width(), 1280);
    EXPECT_LE(dialog.sizeHint().height(), 720);
}

TEST(PageRegister, TheCableButtonOpensTheRegisterOnlyForStoredNames)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CCustomerDB tree = registerTree();
    CustomerTreePage page(PageMode::Edit, tree, settings);
    cmd::LockedSets none;
    std::vector<cmd::TreePath> opened;
    PageApprovals approvals;
    approvals.locks = &none;
    approvals.editRegister = [&](QWidget*, const cmd::TreePath& cable) {
        opened.push_back(cable);
        return true;
    };
    page.SetApprovals(approvals);
    ASSERT_TRUE(pagetest::show(page, {lit("顧客Ａ"), "CV-1", lit("2024春")}));
    ASSERT_TRUE(page.RegisterButton()->isVisible());
    QTest::mouseClick(page.RegisterButton(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], (cmd::TreePath{lit("顧客Ａ"), "CV-1", ""}));

    page.OnNameEdited(customertree::LevelCable, 0, QStringLiteral("CV-9"));
    QTest::mouseClick(page.RegisterButton(), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1u) << "a rename not yet kept: the user is asked to OK first";
    ASSERT_FALSE(messages->entries().empty());
    EXPECT_TRUE(messages->entries().back().text.contains(QStringLiteral("ケーブル台帳")));
}

TEST(Grab, CableRegisterDialog)
{
    ScopedScriptedMessages messages;
    Fixture f;
    ws::CableRegister reg(f.workspace);
    ws::CableRegisterEntry gone;
    gone.customer = lit("顧客Ａ");
    gone.cable = "OLD-9";
    reg.Put(gone, kActor, 100);
    reg.SetCustomerInterval(lit("顧客Ａ"), 24);
    CableRegisterDialog dialog(reg, f.tree, lit("顧客Ａ"), "CV-1", 12);
    dialog.Field("location")->setText(QStringLiteral("第2変電所 2号系統"));
    dialog.Field("voltage")->setText(QStringLiteral("6.6"));
    dialog.TypeBox()->setCurrentText(QStringLiteral("CVT"));
    EXPECT_TRUE(guitest::grabToPng(&dialog, guitest::grabDir() +
                                                QStringLiteral("/cable-register-dialog.png")));
}

TEST(Grab, DataPageWithTheRegisterButton)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CCustomerDB tree = registerTree();
    CustomerTreePage page(PageMode::Edit, tree, settings);
    cmd::LockedSets none;
    PageApprovals approvals;
    approvals.locks = &none;
    approvals.editRegister = [](QWidget*, const cmd::TreePath&) { return false; };
    page.SetApprovals(approvals);
    ASSERT_TRUE(pagetest::show(page, {lit("顧客Ａ"), "CV-1", lit("2024春")}));
    EXPECT_TRUE(guitest::grabToPng(&page, guitest::grabDir() +
                                              QStringLiteral("/data-page-register-button.png")));
}
