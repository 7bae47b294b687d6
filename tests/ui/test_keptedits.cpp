// What the user threw away stays thrown away and nothing is lost by a slip of the keyboard: a
// cancelled sheet leaves the default conditions as they were and asks before dropping its
// changes, an emptied name is asked about, and Tab leaves the lists for the next control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "pagefixture.h"
#include "support/scriptedmessages.h"
#include "ui/dialogs/nameentrydialog.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/customertreepage.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"

using cp932::lit;
using namespace customertree;
using Answer = MessageInterface::Answer;

namespace {

CMeasRecord measured(double kV)
{
    return pagetest::measured(kV, 50);
}

// Runs `during` on the modal sheet once its event loop runs; a sheet left open is closed
// without questions so the test cannot hang.
void whenSheet(std::function<void(TreePropertySheet&, CustomerTreePage&)> during)
{
    QTimer::singleShot(0, [during] {
        auto* sheet = qobject_cast<TreePropertySheet*>(QApplication::activeModalWidget());
        if (!sheet) {
            ADD_FAILURE() << "no sheet";
            return;
        }
        auto* page = qobject_cast<CustomerTreePage*>(sheet->CurrentPage());
        ASSERT_NE(page, nullptr);
        during(*sheet, *page);
        if (sheet->isVisible()) {
            ADD_FAILURE() << "the sheet is still open";
            sheet->SetCloseHook({});
            sheet->reject();
        }
    });
}

class KeptEditsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetDataFilePath(dir.filePath("MXR.DAT").toStdString());
        doc.Store() = storeWith({measured(10), measured(20)});
        doc.Store().customers.FindOrInsert(lit("顧客Ｂ"));
        doc.Selection() = {lit("顧客Ａ"), "CV-1", lit("2024春"), 0};
        DefaultConditionTexts d;
        d.CabSectionalArea = "100.0";
        d.CabLength = "250.0";
        d.CurrentR = "0.1";
        settings.SetDefaultConditions(d);
    }
    // The default conditions a later registration would take, as one comparable text.
    std::string defaults() const
    {
        const DefaultConditionTexts d = settings.DefaultConditions();
        return d.CabKind + "|" + d.Shindan + "|" + d.CabSectionalArea + "|" + d.CabLength + "|" +
               d.CurrentR + "|" + d.CurrentS + "|" + d.CurrentT + "|" + d.ShisuZetuen + "|" +
               d.SeikyokuMin + "|" + d.JyakutenMax + "|" + d.LastCurrentMax;
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
    CAppSettings settings;
};

const QString kDiscard = QStringLiteral("変更を破棄しますか？");

} // namespace

TEST_F(KeptEditsTest, ACancelledSheetLeavesTheDefaultsAndAsksBeforeDroppingItsChanges)
{
    const std::string before = defaults();
    whenSheet([&](TreePropertySheet& sheet, CustomerTreePage& page) {
        EXPECT_FALSE(page.HasChanges());
        page.Grid()->CommitEdit(3, QStringLiteral("12.5")); // 断面(sq)
        EXPECT_EQ(settings.DefaultConditions().CabSectionalArea, "12.5")
            << "a registration in the same sheet takes the edited conditions";
        // いいえ keeps the sheet and its changes, whichever way the user tried to close it.
        messages->pushAnswer(Answer::No);
        sheet.reject(); // キャンセル
        messages->pushAnswer(Answer::No);
        QTest::keyClick(&sheet, Qt::Key_Escape);
        messages->pushAnswer(Answer::No);
        sheet.close(); // the window's close button
        EXPECT_TRUE(sheet.isVisible());
        messages->pushAnswer(Answer::Yes);
        sheet.reject();
    });
    EXPECT_FALSE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_EQ(defaults(), before) << "the thrown-away edit must not shape the next registration";
    EXPECT_DOUBLE_EQ(
        doc.Store().customers.At(0).cables.At(0).sets.At(0).RecordAt(0).Condition.CabSectionalArea,
        0.0);
    ASSERT_EQ(messages->entries().size(), 4u);
    for (const auto& e : messages->entries()) {
        EXPECT_EQ(e.text, kDiscard);
        EXPECT_EQ(e.focus, Answer::No);
    }

    // OK keeps the edit and the defaults that follow it.
    whenSheet([](TreePropertySheet& sheet, CustomerTreePage& page) {
        page.Grid()->CommitEdit(3, QStringLiteral("12.5"));
        sheet.accept();
    });
    EXPECT_TRUE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_EQ(settings.DefaultConditions().CabSectionalArea, "12.5");

    // A sheet without changes closes without a word; so does one whose editor was left as it
    // opened.
    messages->clear();
    whenSheet([](TreePropertySheet& sheet, CustomerTreePage& page) {
        ReportList* customers = page.NameList(LevelCustomer);
        ASSERT_TRUE(customers->RequestEdit(0, 0));
        customers->CommitOpenEdit();
        page.Grid()->CommitEdit(3, QStringLiteral("12.5"));
        EXPECT_FALSE(page.HasChanges());
        QTest::keyClick(&sheet, Qt::Key_Escape);
    });
    EXPECT_FALSE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_TRUE(messages->entries().empty()) << messages->texts().join('|').toStdString();
}

TEST_F(KeptEditsTest, ARenameToAnEmptyNameAsksFirst)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    ASSERT_TRUE(pagetest::show(page, doc.Selection()));
    ReportList* customers = page.NameList(LevelCustomer);
    const QString question =
        QStringLiteral("需要家名が入力されていません。\n空の需要家名でよろしいですか？");

    // A click on the selected customer opens its editor; Delete there edits the text and asks
    // nothing; the empty name is asked about when the edit ends.
    const QPoint cell = customers->visualRect(customers->model()->index(0, 0)).center();
    QTest::mouseClick(customers->viewport(), Qt::LeftButton, {}, cell);
    auto* editor = customers->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_TRUE(messages->entries().empty()) << "Delete in the editor is a text edit";
    messages->pushAnswer(Answer::No);
    QTest::keyClick(editor, Qt::Key_Return);
    customers->CommitOpenEdit();
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].text, question);
    EXPECT_EQ(messages->entries()[0].focus, Answer::No);
    EXPECT_EQ(doc.Store().customers.At(0).name, lit("顧客Ａ"));
    EXPECT_EQ(customers->model()->index(0, 0).data().toString(), QStringLiteral("顧客Ａ"));

    // はい: an empty name stays possible (stored files may hold one).
    messages->pushAnswer(Answer::Yes);
    page.OnNameEdited(LevelCustomer, 0, QString());
    EXPECT_EQ(doc.Store().customers.Find(""), 0);
    EXPECT_TRUE(page.HasChanges());

    // 追加 with an empty field asks the same.
    NameEntryDialog add;
    add.SetKind(LevelCable);
    add.OnInitDialog();
    messages->clear();
    messages->pushAnswer(Answer::No);
    EXPECT_FALSE(add.OnOK());
    messages->pushAnswer(Answer::Yes);
    EXPECT_TRUE(add.OnOK());
    EXPECT_EQ(add.Name(), "");
    EXPECT_EQ(
        messages->texts(),
        QStringList(2, QStringLiteral(
                           "ケーブル名が入力されていません。\n空のケーブル名でよろしいですか？")));
}

TEST_F(KeptEditsTest, TabMovesToTheNextControlAndArrowsMoveBetweenRows)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    page.resize(1000, 700);
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    ReportList* customers = page.NameList(LevelCustomer);

    customers->setFocus();
    QTest::keyClick(customers, Qt::Key_Down);
    EXPECT_EQ(customers->SelectedRow(), 1) << "the arrow keys move between rows";
    EXPECT_EQ(QApplication::focusWidget(), customers);
    QTest::keyClick(customers, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), customers) << "Tab leaves the list";
    EXPECT_EQ(customers->SelectedRow(), 1);

    // Tab in a name editor ends the edit and moves on; it opens no editor on the next row.
    customers->setFocus();
    QTest::keyClick(customers, Qt::Key_Up);
    ASSERT_TRUE(customers->RequestEdit(0, 0));
    auto* editor = customers->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("顧客Ａ改"));
    QTest::keyClick(editor, Qt::Key_Tab);
    customers->CommitOpenEdit();
    EXPECT_EQ(customers->indexWidget(customers->model()->index(0, 0)), nullptr);
    EXPECT_EQ(customers->indexWidget(customers->model()->index(1, 0)), nullptr)
        << "no editor opened on the next row";
    EXPECT_GE(doc.Store().customers.Find(lit("顧客Ａ改")), 0);
    EXPECT_EQ(doc.Store().customers.Find(lit("顧客Ｂ")), 1) << "the next row is not renamed";
    EXPECT_NE(QApplication::focusWidget(), customers);
}
