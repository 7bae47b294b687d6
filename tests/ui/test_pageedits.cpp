// The customer tree page in everyday use: what is typed is what is stored, an edit still open
// when the sheet closes is kept, dialogs open where the user expects them, nothing received
// is dropped without a question, and the keyboard reaches every action.
#include <gtest/gtest.h>
#include "support/whenmodal.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "settings/appsettings.h"
#include "store/backup.h"
#include "fixtures.h"
#include "pagefixture.h"
#include "support/scriptedmessages.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/customertreepage.h"
#include "ui/dialogs/judgmentparametersdialog.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"

using cp932::lit;
using namespace customertree;

namespace {

CMeasRecord measured(double kV)
{
    return pagetest::measured(kV, 100);
}

// "顧客Ａ" / "CV-1" / "2024春" with 10, 20 and 30 kV, and a second cable "CV-2" with one
// empty set.
CCustomerDB pageTree()
{
    CCustomerDB db = storeWith({measured(10), measured(20), measured(30)});
    CMeasData& set = db.customers.At(0).cables.At(0).sets.At(0);
    RecalcRatios(set);
    db.customers.At(0)
        .cables.At(db.customers.At(0).cables.FindOrInsert("CV-2"))
        .sets.FindOrInsert("empty");
    return db;
}

ReceivedRecord received(double kV)
{
    ReceivedRecord r;
    static_cast<CMeasRecord&>(r) = measured(kV);
    return r;
}

using guitest::whenModal;

class PageEditsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetDataFilePath(dir.filePath("MXR.DAT").toStdString());
        doc.Store() = pageTree();
        doc.Selection() = {lit("顧客Ａ"), "CV-1", lit("2024春"), 0};
    }
    CMeasData& set() { return doc.Store().customers.At(0).cables.At(0).sets.At(0); }
    static QModelIndex gridValue(ConditionGrid* grid, int tableRow)
    {
        return grid->model()->index(tableRow, 1);
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
    CAppSettings settings;
};

} // namespace

TEST_F(PageEditsTest, OutOfRangeNumbersAreRefusedAndTheTablesShowWhatIsStored)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    ConditionGrid* grid = page.Grid();

    // Humidity: a decimal comma and a value above 100 are refused with the range message; the
    // store and the table keep 0.0.
    for (const QString& typed : {QStringLiteral("12,5"), QStringLiteral("101")}) {
        grid->CommitEdit(7, typed);
        EXPECT_EQ(grid->Value(7), QStringLiteral("0.0")) << typed.toStdString();
    }
    EXPECT_EQ(messages->texts(),
              QStringList(2, QStringLiteral("0 から 100 までの数字を入力してください。")));
    for (const auto& r : set().Records())
        EXPECT_EQ(r.Condition.Humidity, 0.0);
    // An accepted value is shown as stored and formatted ("%.1lf"); one with more decimals
    // than the table shows is refused rather than stored beside a text that hides them.
    grid->CommitEdit(4, QStringLiteral(" 123.4 "));
    EXPECT_DOUBLE_EQ(set().RecordAt(2).Condition.CabLength, 123.4);
    EXPECT_EQ(grid->Value(4), QStringLiteral("123.4"));
    messages->clear();
    grid->CommitEdit(4, QStringLiteral("123.45"));
    EXPECT_DOUBLE_EQ(set().RecordAt(2).Condition.CabLength, 123.4);
    EXPECT_EQ(grid->Value(4), QStringLiteral("123.4"));
    EXPECT_EQ(messages->texts(),
              QStringList{QStringLiteral("0 から 99999.9 までの数字を入力してください。\n"
                                         "小数点以下は 1 桁までです。")});

    // The test voltage through the list's own editor: refused, then accepted and re-sorted.
    messages->clear();
    ReportList* meas = page.MeasList();
    for (const QString& typed : {QStringLiteral("12,5"), QStringLiteral("25")}) {
        ASSERT_TRUE(meas->RequestEdit(0, 3));
        auto* editor = meas->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(typed);
        EXPECT_TRUE(meas->CommitOpenEdit());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the old editor
    }
    EXPECT_EQ(messages->texts(),
              QStringList{QStringLiteral("0 から 99.99 までの数字を入力してください。")});
    EXPECT_DOUBLE_EQ(set().RecordAt(1).TestVoltage, 25.0);
    EXPECT_EQ(meas->model()->index(1, 3).data().toString(), QStringLiteral("25.00"));
    EXPECT_EQ(meas->SelectedRow(), 1);
}

TEST_F(PageEditsTest, ConditionNoneStaysUntilTheUserPicksAnEntry)
{
    for (auto& r : set().Records())
        r.Condition.CabKind = CabKindNone;
    const std::string defaultsBefore = settings.DefaultConditions().CabKind;
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    page.show();
    ConditionGrid* grid = page.Grid();
    const QModelIndex kind = gridValue(grid, 1); // below the group caption
    ASSERT_EQ(kind.data().toString(), QStringLiteral("None"));

    grid->edit(kind);
    auto* box = grid->viewport()->findChild<QComboBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_TRUE(grid->CommitOpenEdit());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(set().RecordAt(0).Condition.CabKind, CabKindNone);
    EXPECT_EQ(grid->Value(1), QStringLiteral("None"));
    EXPECT_EQ(settings.DefaultConditions().CabKind, defaultsBefore);

    grid->edit(kind);
    box = grid->viewport()->findChild<QComboBox*>();
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(2);
    grid->CommitOpenEdit();
    for (const auto& r : set().Records())
        EXPECT_EQ(r.Condition.CabKind, CabKindS);
}

TEST_F(PageEditsTest, OkKeepsTheEditStillOpenInTheSameTurn)
{
    // A click on OK while the length is being typed: the sheet is accepted before any event
    // of the editor is handled.
    whenModal<TreePropertySheet>([](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ASSERT_NE(page, nullptr);
        ConditionGrid* grid = page->Grid();
        grid->setCurrentIndex(gridValue(grid, 4)); // 長さ(m)
        grid->edit(gridValue(grid, 4));
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("321"));
        sheet.accept();
    });
    ASSERT_TRUE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_DOUBLE_EQ(set().RecordAt(0).Condition.CabLength, 321.0);

    // Enter in a name editor, then OK at once: the editor's own commit is still queued.
    whenModal<TreePropertySheet>([](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ReportList* cables = page->NameList(LevelCable);
        ASSERT_TRUE(cables->RequestEdit(0, 0));
        auto* editor = cables->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("CV-1 改"));
        QTest::keyClick(editor, Qt::Key_Return);
        sheet.accept();
    });
    ASSERT_TRUE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_GE(doc.Store().customers.At(0).cables.Find(lit("CV-1 改")), 0);
    EXPECT_TRUE(messages->entries().empty()) << messages->texts().join('|').toStdString();
}

TEST_F(PageEditsTest, RefusedLastEditKeepsTheSheetOpen)
{
    whenModal<TreePropertySheet>([this](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ReportList* meas = page->MeasList();
        ASSERT_TRUE(meas->RequestEdit(0, 4));
        meas->viewport()->findChild<QLineEdit*>()->setText(QStringLiteral("abc"));
        EXPECT_FALSE(sheet.PressOk());
        EXPECT_EQ(messages->texts(),
                  QStringList{QStringLiteral("0 から 999.9 までの数字を入力してください。")});
        sheet.reject();
    });
    EXPECT_FALSE(RunEditCustomer(nullptr, doc, settings));
}

TEST_F(PageEditsTest, CancelledCriteriaAfterApplyToPastShowsTheStoredSwitches)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    ASSERT_EQ(page.Model().MeasCell(0, 5).empty(), false);
    QSignalSpy repaints(page.MeasList()->model(), &QAbstractItemModel::dataChanged);
    messages->pushAnswer(MessageInterface::Answer::Yes);
    whenModal<JudgmentParametersDialog>([](JudgmentParametersDialog& dialog) {
        dialog.SeikyokuCheck()->setChecked(false);
        ASSERT_TRUE(dialog.OnApplyToPast());
        dialog.reject();
    });
    page.OnConditionButton(13);
    EXPECT_EQ(set().RecordAt(0).ShowSeikyoku, 0);
    EXPECT_EQ(page.Model().MeasCell(0, 5), "");
    EXPECT_GE(repaints.count(), 1) << "the 成極比 column must be drawn again";
}

TEST_F(PageEditsTest, CriteriaAppliedToPastDataBackUpTheStoreBeforeTheCommit)
{
    // The store on disk with the day's backup already made: a plain commit adds no other.
    ASSERT_TRUE(doc.CommitStore());
    ASSERT_TRUE(doc.CommitStore());
    const QDir backups(QString::fromStdString(
        storebackup::BackupFolderFor(dir.filePath("MXR.DAT").toStdString())));
    const auto count = [&] { return backups.entryList({"MXR-*.DAT"}, QDir::Files).size(); };
    const qsizetype before = count();
    ASSERT_GE(before, 1);

    messages->pushAnswer(MessageInterface::Answer::Yes);
    whenModal<TreePropertySheet>([](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ASSERT_NE(page, nullptr);
        whenModal<JudgmentParametersDialog>([](JudgmentParametersDialog& dialog) {
            dialog.SeikyokuCheck()->setChecked(false);
            ASSERT_TRUE(dialog.OnApplyToPast());
            dialog.reject();
        });
        page->OnConditionButton(13);
        EXPECT_TRUE(page->BulkChanged());
        sheet.accept();
    });
    ASSERT_TRUE(RunEditCustomer(nullptr, doc, settings));
    EXPECT_EQ(count(), before + 1);
    EXPECT_EQ(set().RecordAt(0).ShowSeikyoku, 0);
}

TEST_F(PageEditsTest, SecondClickOnTheFinalValueOpensItsDialogAndNoTextEditor)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    ASSERT_TRUE(pagetest::show(page, doc.Selection()));
    ReportList* meas = page.MeasList();
    const QPoint cell = meas->visualRect(meas->model()->index(1, 2)).center();

    bool dialog = false;
    whenModal<FinalValueDialog>([](FinalValueDialog& d) { d.reject(); }, &dialog);
    QTest::mouseClick(meas->viewport(), Qt::LeftButton, {}, cell);
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog) << "the first click only selects";
    EXPECT_EQ(meas->SelectedRow(), 1);

    whenModal<FinalValueDialog>([](FinalValueDialog& d) { d.reject(); }, &dialog);
    QTest::mouseClick(meas->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(dialog) << "the second click opens the final value dialog";
    EXPECT_EQ(meas->viewport()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(PageEditsTest, ClosingTheTransferSheetWithUnregisteredRecordsAsksFirst)
{
    const QString question = QStringLiteral("受信したデータが登録されていません。閉じますか？");
    whenModal<TreePropertySheet>([&](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        page->SetReceived({received(5), received(15)});
        // No keeps the sheet open, whichever way the user tried to close it.
        messages->pushAnswer(MessageInterface::Answer::No);
        sheet.reject(); // キャンセル
        messages->pushAnswer(MessageInterface::Answer::No);
        sheet.close(); // the window's close button
        messages->pushAnswer(MessageInterface::Answer::No);
        QTest::keyClick(&sheet, Qt::Key_Escape);
        EXPECT_TRUE(sheet.isVisible());
        EXPECT_EQ(messages->texts(), QStringList(3, question));
        messages->pushAnswer(MessageInterface::Answer::Yes);
        sheet.reject();
    });
    EXPECT_FALSE(RunTransferData(nullptr, doc, settings));
    EXPECT_EQ(messages->texts().size(), 4);

    // With nothing left to register the sheet closes without a question.
    messages->clear();
    whenModal<TreePropertySheet>([](TreePropertySheet& sheet) { sheet.reject(); });
    EXPECT_FALSE(RunTransferData(nullptr, doc, settings));
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(PageEditsTest, DeleteQuestionsSayWhatGoesWithTheEntry)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    const CCustomerDB before = doc.Store();
    for (int level : {LevelCustomer, LevelCable, LevelMeasData}) {
        messages->pushAnswer(MessageInterface::Answer::No);
        page.OnDelete(level);
    }
    EXPECT_EQ(messages->texts(),
              (QStringList{QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 顧客Ａ "
                                          "】\n\nケーブル 2 件、測定データ 2 件、測定 3 "
                                          "件も削除されます"),
                           QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 CV-1 "
                                          "】\n\n測定データ 1 件、測定 3 件も削除されます"),
                           QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 2024春 "
                                          "】\n\n測定 3 件も削除されます")}));
    // A hurried Enter deletes nothing: いいえ has the focus.
    for (const auto& e : messages->entries())
        EXPECT_EQ(e.focus, MessageInterface::Answer::No) << e.text.toStdString();
    EXPECT_EQ(doc.Store(), before);
}

TEST_F(PageEditsTest, KeyboardReachesEditsDeletionsAndEveryButton)
{
    CustomerTreePage page(PageMode::Transfer, doc.Store(), settings);
    page.SetSelection(doc.Selection());
    page.resize(1200, 700);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    // F2 edits the selected name in place; Esc leaves it.
    ReportList* cables = page.NameList(LevelCable);
    cables->setFocus();
    QTest::keyClick(cables, Qt::Key_F2);
    auto* editor = cables->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("CV-1"));
    QTest::keyClick(editor, Qt::Key_Escape);

    // Delete asks about the selected entry (the set, then a measurement).
    messages->pushAnswer(MessageInterface::Answer::No);
    QTest::keyClick(page.NameList(LevelMeasData), Qt::Key_Delete);
    messages->pushAnswer(MessageInterface::Answer::No);
    QTest::keyClick(page.MeasList(), Qt::Key_Delete);
    ASSERT_EQ(messages->texts().size(), 2);
    EXPECT_TRUE(messages->texts().at(0).contains(QStringLiteral("【 2024春 】")));
    EXPECT_EQ(messages->texts().at(1),
              QStringLiteral("選択中のデータを削除します\nよろしいですか\n"
                             "【 2024/05/12 09:30:00　３相一括　10.00 kV 】"));
    EXPECT_EQ(set().RecordCount(), 3u);

    // Every button of the page has a mnemonic of its own.
    QStringList keys;
    for (QPushButton* b : page.findChildren<QPushButton*>()) {
        const QString key = QKeySequence::mnemonic(b->text()).toString();
        EXPECT_FALSE(key.isEmpty()) << b->text().toStdString();
        EXPECT_FALSE(keys.contains(key)) << b->text().toStdString();
        keys << key;
    }
    EXPECT_EQ(keys.size(), 10);
}
