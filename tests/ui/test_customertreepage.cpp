// The customer tree page and its commands: the copy-and-commit rule of the editing sheet,
// the display sheet's choice, and the page's buttons and edits on a realistic tree.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/customertreepage.h"
#include "ui/common/uitext.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"
#include "workspace/treediff.h"

using cp932::lit;
using namespace customertree;

namespace {

CMeasRecord measured(double kV, double finalMicroAmps, int day)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::fromCalendar({2024, 5, day, 9, 30, 0});
    for (int i = 0; i <= 300; ++i)
        r.Points.push_back(CMeasPoint{CDataValue(finalMicroAmps * (1.5 - i / 600.0)), 0.2 * i});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

// A tree as an office keeps it: three customers, cables, sets, measurements.
CCustomerDB officeTree()
{
    CCustomerDB db;
    for (const char* name : {"北電力 第一変電所", "東工業株式会社", "南ケーブル工事"}) {
        CCustomer& c = db.customers.At(db.customers.FindOrInsert(lit(name)));
        for (const char* cable : {"CV-T 22kV 1号", "CV-T 22kV 2号", "CVT-6.6kV"}) {
            CCable& k = c.cables.At(c.cables.FindOrInsert(lit(cable)));
            for (const char* set : {"2023年定期点検", "2024年定期点検"}) {
                CMeasData& s = k.sets.At(k.sets.FindOrInsert(lit(set)));
                s.InsertRecord(measured(20.0, 0.8, 12));
                s.InsertRecord(measured(10.0, 0.35, 12));
                s.InsertRecord(measured(30.0, 2.6, 13));
                RecalcRatios(s);
            }
        }
    }
    return db;
}

class CustomerTreePageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        doc.Store() = officeTree();
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
    CAppSettings settings;
};

} // namespace

TEST_F(CustomerTreePageTest, EditOkCommitsTheCopyCancelDropsIt)
{
    const CCustomerDB before = doc.Store();
    // Cancel after a rename, an addition, a deletion and new line settings.
    EXPECT_FALSE(RunEditCustomer(nullptr, doc, settings,
                                 [&](PageMode mode, CCustomerDB& tree, DataSelection&) {
                                     EXPECT_EQ(mode, PageMode::Edit);
                                     EXPECT_NE(&tree, &doc.Store());
                                     CustomerTreeModel m(tree, mode, settings);
                                     m.Rename(LevelCustomer, 0, "renamed");
                                     m.Add(LevelCustomer, "added");
                                     m.Delete(LevelCable);
                                     tree.comm.baudRate = 9600;
                                     return false;
                                 }));
    // The transfer sheet follows the same rule.
    EXPECT_FALSE(RunTransferData(nullptr, doc, settings,
                                 [&](PageMode mode, CCustomerDB& tree, DataSelection&) {
                                     EXPECT_EQ(mode, PageMode::Transfer);
                                     tree.customers.RemoveAll();
                                     return false;
                                 }));
    EXPECT_EQ(doc.Store(), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("DATA/MXR.DAT")));

    // OK: the copy replaces the store, is saved, and the choice is remembered.
    CCustomerDB edited;
    EXPECT_TRUE(RunEditCustomer(nullptr, doc, settings,
                                [&](PageMode mode, CCustomerDB& tree, DataSelection& sel) {
                                    CustomerTreeModel m(tree, mode, settings);
                                    m.Add(LevelCustomer, "added");
                                    tree.comm.baudRate = 9600;
                                    sel = m.CurrentSelection();
                                    edited = tree;
                                    return true;
                                }));
    EXPECT_EQ(doc.Store(), edited);
    EXPECT_EQ(settings.SelCustomer, "added");
    CCustomerDB reread;
    ASSERT_TRUE(LoadStore(reread, dir.filePath("DATA/MXR.DAT").toStdString()).ok);
    EXPECT_EQ(reread, edited);
}

TEST_F(CustomerTreePageTest, ShowDataStartsFromTheRememberedCableAndRefusesWithoutAMeasurement)
{
    settings.SelCustomer = lit("東工業株式会社");
    settings.SelCableName = lit("CVT-6.6kV");
    DataSelection seen;
    EXPECT_TRUE(RunShowData(nullptr, doc, settings,
                            [&](PageMode mode, CCustomerDB& tree, DataSelection& sel) {
                                EXPECT_EQ(mode, PageMode::Display);
                                EXPECT_EQ(&tree, &doc.Store());
                                seen = sel;
                                CustomerTreePage page(mode, tree, settings);
                                page.SetSelection(sel);
                                page.MeasList()->SelectRow(2);
                                page.Model().SelectMeasRow(2);
                                EXPECT_TRUE(page.OnApply());
                                sel = page.Selection();
                                return true;
                            }));
    EXPECT_EQ(seen.cable, lit("CVT-6.6kV"));
    EXPECT_EQ(doc.Selection(),
              (DataSelection{lit("東工業株式会社"), lit("CVT-6.6kV"), lit("2023年定期点検"), 2}));

    // An empty set and an empty tree: OK is refused.
    doc.Store().customers.At(0).cables.At(0).sets.FindOrInsert("000");
    CustomerTreePage page(PageMode::Display, doc.Store(), settings);
    page.SetSelection({});
    EXPECT_EQ(page.Selection().measData, "000");
    EXPECT_FALSE(page.OnApply());
    CCustomerDB empty;
    CustomerTreePage none(PageMode::Display, empty, settings);
    EXPECT_FALSE(none.OnApply());
    EXPECT_EQ(messages->texts(), QStringList(2, QStringLiteral("測定データを選んでください")));
}

TEST_F(CustomerTreePageTest, DisplayPageHidesEditingAndReadsOnly)
{
    CustomerTreePage page(PageMode::Display, doc.Store(), settings);
    for (int level = 0; level < 3; ++level) {
        EXPECT_TRUE(page.AddButton(level)->isHidden());
        EXPECT_TRUE(page.NameList(level)->ColumnReadOnly(0));
        EXPECT_FALSE(page.NameList(level)->RequestEdit(0, 0));
    }
    EXPECT_TRUE(page.DeleteMeasButton()->isHidden());
    EXPECT_EQ(page.Grid()->EditorOf(1), 18);
}

TEST_F(CustomerTreePageTest, PageButtonsAndEditsWorkOnTheTree)
{
    CCustomerDB& tree = doc.Store();
    CustomerTreePage page(PageMode::Edit, tree, settings);
    page.SetSelection({lit("東工業株式会社"), lit("CV-T 22kV 2号"), lit("2024年定期点検"), 1});
    EXPECT_EQ(page.NameList(LevelCable)->SelectedRow(), 1);
    EXPECT_EQ(page.MeasList()->SelectedRow(), 1);
    EXPECT_EQ(page.MeasList()->RowCount(), 3);
    EXPECT_EQ(
        page.Caption()->text(),
        QStringLiteral("測定データ一覧：  【 東工業株式会社－CV-T 22kV 2号－2024年定期点検 】"));

    // A refused rename says why and leaves the name.
    page.OnNameEdited(LevelCable, 1, QStringLiteral("cv-t 22KV 1号"));
    EXPECT_EQ(messages->texts().value(0),
              QStringLiteral("指定のケーブル名称は既に存在しています\ncv-t 22KV 1号"));
    EXPECT_EQ(page.Model().NameAt(LevelCable, 1), lit("CV-T 22kV 2号"));

    // The condition table edits the whole set.
    page.Grid()->CommitEdit(3, QStringLiteral("325"));
    for (const auto& r : page.Model().SelectedSet()->Records())
        EXPECT_DOUBLE_EQ(r.Condition.CabSectionalArea, 325.0);
    EXPECT_EQ(settings.DefCnd.CabSectionalArea, "325.0");

    // Deleting asks first; No keeps, Yes removes.
    messages->pushAnswer(MessageInterface::Answer::No);
    page.OnDelete(LevelMeasData);
    EXPECT_EQ(page.NameList(LevelMeasData)->RowCount(), 2);
    messages->pushAnswer(MessageInterface::Answer::Yes);
    page.OnDelete(LevelMeasData);
    EXPECT_EQ(page.NameList(LevelMeasData)->RowCount(), 1);
    EXPECT_EQ(page.NameList(LevelMeasData)->SelectedRow(), 0);
    EXPECT_EQ(messages->texts().last(),
              QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 2024年定期点検 】\n\n"
                             "測定 3 件も削除されます"));
    messages->pushAnswer(MessageInterface::Answer::Yes);
    page.OnDeleteMeas();
    EXPECT_EQ(page.MeasList()->RowCount(), 2);
}

TEST_F(CustomerTreePageTest, SheetLooksRight)
{
    TreePropertySheet sheet(ui::toQ(SheetTitle(settings, PageMode::Edit)));
    auto* page = new CustomerTreePage(PageMode::Edit, doc.Store(), settings);
    sheet.AddPage(page, sheet.windowTitle());
    page->SetSelection({lit("東工業株式会社"), lit("CV-T 22kV 1号"), lit("2024年定期点検"), 0});
    sheet.show();
    sheet.resize(1060, 720);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("需要家情報の編集"));
    // No English prompt over the tree: with the page shown it says nothing.
    for (const QLabel* label : sheet.findChildren<QLabel*>())
        EXPECT_FALSE(label->isVisible() && label->text().contains(QStringLiteral("Select")))
            << label->text().toStdString();
    EXPECT_TRUE(guitest::grabToPng(&sheet, guitest::grabDir() + "/pgmstedit.png"));
}

namespace {

ReceivedRecord received(double kV, int day)
{
    ReceivedRecord r;
    static_cast<CMeasRecord&>(r) = measured(kV, 0.5, day);
    return r;
}

// A transfer page on cable "CVT-6.6kV" of the first customer, with four received records.
struct TransferPage {
    TransferPage(CCustomerDB& tree, CAppSettings& settings, const char* set)
        : page(PageMode::Transfer, tree, settings)
    {
        page.SetSelection({lit("北電力 第一変電所"), lit("CVT-6.6kV"), lit(set), 0});
        page.SetReceived({received(15, 1), received(5, 2), received(25, 3), received(5, 4)});
    }
    void check(std::initializer_list<int> rows)
    {
        for (int r : rows)
            page.TransferList()->SetChecked(r, true);
    }
    std::vector<int> days() const
    {
        std::vector<int> d;
        for (const auto& r : page.Received())
            d.push_back(r.StartTime.toCalendar()->day);
        return d;
    }
    CustomerTreePage page;
};

CCable& cableOf(CCustomerDB& tree, const char* name = "CVT-6.6kV")
{
    CCustomer& c = tree.customers.At(tree.customers.Find(lit("北電力 第一変電所")));
    return c.cables.At(c.cables.Find(lit(name)));
}

} // namespace

TEST_F(CustomerTreePageTest, RegisterAddsBesideOldDataOrReplacesIt)
{
    CCustomerDB& tree = doc.Store();
    CMeasData& set = cableOf(tree).sets.At(1);
    const CTestCondition old = set.RecordAt(0).Condition;
    set.RecordAt(1).Condition.Remarks = "other"; // kept records take the old first's block

    TransferPage no(tree, settings, "2024年定期点検");
    no.check({1, 2});
    messages->pushAnswer(MessageInterface::Answer::No);
    ASSERT_TRUE(no.page.RegisterChecked());
    ASSERT_EQ(set.RecordCount(), 5u);
    std::vector<double> kV;
    for (const auto& r : set.Records()) {
        kV.push_back(r.TestVoltage);
        EXPECT_EQ(r.Condition, old);
    }
    EXPECT_EQ(kV, (std::vector<double>{5, 10, 20, 25, 30}));
    EXPECT_EQ(no.days(), (std::vector<int>{1, 4})) << "unchecked records keep their order";
    EXPECT_EQ(no.page.TransferList()->RowCount(), 2);
    EXPECT_EQ(no.page.MeasList()->RowCount(), 5);

    // Yes: only the registered records remain, with the conditions the set had. Equal
    // voltages are both registered.
    TransferPage yes(tree, settings, "2024年定期点検");
    yes.check({0, 1, 2, 3});
    messages->pushAnswer(MessageInterface::Answer::Yes);
    ASSERT_TRUE(yes.page.RegisterChecked());
    ASSERT_EQ(set.RecordCount(), 4u);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).TestVoltage, 5.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(1).TestVoltage, 5.0);
    EXPECT_EQ(set.RecordAt(3).Condition, old);
    EXPECT_EQ(yes.page.TransferList()->RowCount(), 0);

    // Cancel changes nothing.
    const CCustomerDB before = tree;
    TransferPage cancel(tree, settings, "2024年定期点検");
    cancel.check({0});
    messages->pushAnswer(MessageInterface::Answer::Cancel);
    EXPECT_FALSE(cancel.page.RegisterChecked());
    EXPECT_EQ(tree, before);
    EXPECT_EQ(cancel.page.Received().size(), 4u);
}

// The archive links of the received records follow the records the user registers, and only
// those: the sheet hands them on for the save.
TEST_F(CustomerTreePageTest, RegisteredRecordsTakeTheirArchiveLinksAlong)
{
    CCustomerDB& tree = doc.Store();
    TransferPage t(tree, settings, "2024年定期点検");
    std::vector<ReceivedRecord> records = t.page.Received();
    std::vector<ws::ReceivedLink> links;
    for (std::size_t i = 0; i < records.size(); ++i)
        links.push_back({ws::KeyText(records[i]), "/archive.txt", int(10 * i + 1), 10, 0});
    t.page.SetReceived(records, links);
    t.check({1, 3});
    messages->pushAnswer(MessageInterface::Answer::No);
    ASSERT_TRUE(t.page.RegisterChecked());
    ASSERT_EQ(t.page.RegisteredLinks().size(), 2u);
    EXPECT_EQ(t.page.RegisteredLinks()[0].firstLine, 11);
    EXPECT_EQ(t.page.RegisteredLinks()[1].firstLine, 31);
}

TEST_F(CustomerTreePageTest, NewSetTakesASiblingsOrTheDefaultConditions)
{
    CCustomerDB& tree = doc.Store();
    CCable& cable = cableOf(tree);
    cable.sets.At(1).RecordAt(0).Condition.Remarks = "last set";
    cable.sets.At(0).RecordAt(0).Condition.Remarks = "first set";

    // A new first set looks at the cable's last set; a new last set at the one before itself,
    // which is the same old last set.
    struct Case {
        const char* newSet;
        const char* remarks;
    } cases[] = {{"0000", "last set"}, {"9999", "last set"}};
    for (const auto& c : cases) {
        cable.sets.FindOrInsert(c.newSet);
        TransferPage t(tree, settings, c.newSet);
        t.check({0});
        ASSERT_TRUE(t.page.RegisterChecked()) << c.newSet;
        const CMeasData& set = cable.sets.At(cable.sets.Find(c.newSet));
        EXPECT_EQ(set.RecordAt(0).Condition.Remarks, c.remarks);
        cable.sets.RemoveAt(cable.sets.Find(c.newSet));
    }

    // The only set of a cable: the default conditions, no insulation resistance.
    settings.DefCnd = DefaultConditionTexts{lit("Ｒ相"), lit("アース接地"),
                                            "1",         "2",
                                            "3",         "45",
                                            "100",       "250",
                                            "0.5",       "1.0",
                                            "1.0",       "5.0",
                                            "1.0",       "10.0"};
    CCable& lone = cableOf(tree, "CV-T 22kV 1号");
    lone.sets.RemoveAll();
    lone.sets.FindOrInsert("only");
    TransferPage t(tree, settings, "only");
    t.page.SetSelection({lit("北電力 第一変電所"), lit("CV-T 22kV 1号"), "only", 0});
    t.check({2});
    ASSERT_TRUE(t.page.RegisterChecked());
    const CTestCondition& c = lone.sets.At(0).RecordAt(0).Condition;
    EXPECT_EQ(c.CabKind, CabKindR);
    EXPECT_DOUBLE_EQ(c.CabLength, 250.0);
    EXPECT_EQ(c.ShisuZetuen, UNSET_VALUE);
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(CustomerTreePageTest, RegisterRefusesWithoutSetOrCheckedRecords)
{
    CCustomerDB& tree = doc.Store();
    const CCustomerDB before = tree;
    TransferPage t(tree, settings, "2024年定期点検");
    EXPECT_FALSE(t.page.RegisterChecked()); // nothing checked: no question, nothing deleted
    cableOf(tree).sets.RemoveAll();
    t.page.SetSelection({lit("北電力 第一変電所"), lit("CVT-6.6kV"), "", 0});
    t.check({0});
    EXPECT_FALSE(t.page.RegisterChecked());
    EXPECT_EQ(messages->texts(),
              (QStringList{QStringLiteral("登録する転送データをチェックしてください"),
                           QStringLiteral("登録する測定データ名称を選んでください")}));
    EXPECT_EQ(t.page.Received().size(), 4u);

    // Reading from a file: a cancelled chooser changes nothing.
    messages->pushPath(QString());
    t.page.ReadReceptionFromFile();
    EXPECT_EQ(t.page.Received().size(), 4u);
    EXPECT_EQ(messages->entries().back().text, QStringLiteral("計測データファイルを開く"));
    (void)before;
}

TEST_F(CustomerTreePageTest, TransferSheetLooksRight)
{
    TreePropertySheet sheet(ui::toQ(SheetTitle(settings, PageMode::Transfer)));
    auto* page = new CustomerTreePage(PageMode::Transfer, doc.Store(), settings);
    sheet.AddPage(page, sheet.windowTitle());
    page->SetSelection({lit("東工業株式会社"), lit("CV-T 22kV 1号"), lit("2024年定期点検"), 0});
    ReceivedRecord shortOne = received(25, 3);
    shortOne.Announced = 80;
    shortOne.LineCount = 79;
    page->SetReceived({received(15, 1), received(5, 2), shortOne});
    page->TransferList()->SetChecked(1, true);
    sheet.show();
    sheet.resize(1360, 720);
    EXPECT_TRUE(guitest::grabToPng(&sheet, guitest::grabDir() + "/pgtransfer.png"));
}

TEST_F(CustomerTreePageTest, TransferListMarksRecordsWithLostLines)
{
    CustomerTreePage page(PageMode::Transfer, doc.Store(), settings);
    ReceivedRecord shortOne = received(25, 3), clean = received(15, 1);
    shortOne.Announced = 80;
    shortOne.LineCount = 79;
    clean.Announced = clean.LineCount = 80;
    page.SetReceived({clean, shortOne});
    const QAbstractItemModel* m = page.TransferList()->model();
    for (int column = 0; column < 5; ++column) {
        SCOPED_TRACE(column);
        EXPECT_FALSE(m->data(m->index(0, column), Qt::ToolTipRole).isValid());
        EXPECT_FALSE(m->data(m->index(0, column), Qt::BackgroundRole).isValid());
        EXPECT_TRUE(m->data(m->index(1, column), Qt::ToolTipRole)
                        .toString()
                        .startsWith(QString::fromUtf8("データ数不一致 80/79")));
        EXPECT_TRUE(m->data(m->index(1, column), Qt::BackgroundRole).isValid());
    }
    EXPECT_FALSE(m->data(m->index(0, 1), Qt::DecorationRole).isValid());
    EXPECT_TRUE(m->data(m->index(1, 1), Qt::DecorationRole).isValid()); // the warning icon
    EXPECT_FALSE(page.TransferList()->IsChecked(1)); // left for the user to decide

    // A record whose date block could not be read is marked as well, and says so.
    ReceivedRecord undated = clean;
    undated.DateReplaced = true;
    page.SetReceived({clean, undated});
    EXPECT_TRUE(m->data(m->index(1, 1), Qt::ToolTipRole)
                    .toString()
                    .startsWith(QString::fromUtf8("日付データ異常")));
    EXPECT_TRUE(m->data(m->index(1, 2), Qt::BackgroundRole).isValid());
    EXPECT_TRUE(m->data(m->index(1, 1), Qt::DecorationRole).isValid());
}

TEST_F(CustomerTreePageTest, InPlaceRenameBelongsToTheParentsOfItsStart)
{
    CustomerTreePage page(PageMode::Edit, doc.Store(), settings);
    page.SetSelection({lit("北電力 第一変電所"), lit("CVT-6.6kV"), "", 0});
    ReportList* cables = page.NameList(LevelCable);
    ASSERT_TRUE(cables->RequestEdit(2, 0));
    auto* editor = cables->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("CVT-6.6kV 新"));
    cables->itemDelegate()->setModelData(editor, cables->model(), cables->model()->index(2, 0));
    // The user clicks another customer before the edit's end is handled.
    ReportList* customers = page.NameList(LevelCustomer);
    customers->selectionModel()->setCurrentIndex(customers->model()->index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    ASSERT_EQ(page.Selection().customer, lit("東工業株式会社"));
    QCoreApplication::processEvents();
    EXPECT_EQ(cableOf(doc.Store(), "CVT-6.6kV 新").name, lit("CVT-6.6kV 新"));
    EXPECT_EQ(doc.Store().customers.At(0).cables.Find(lit("CVT-6.6kV 新")), -1);
    EXPECT_EQ(page.Selection().customer, lit("北電力 第一変電所"));
}

TEST_F(CustomerTreePageTest, DoubleClickChoosesOnlyAnExistingRow)
{
    CustomerTreePage page(PageMode::Display, doc.Store(), settings);
    int chosen = 0;
    QObject::connect(&page, &CustomerTreePage::chooseRequested, [&chosen] { ++chosen; });
    emit page.MeasList()->rowDoubleClicked(0);
    EXPECT_EQ(chosen, 1);
    doc.Store().customers.At(0).cables.At(0).sets.At(0).RemoveAllRecords();
    page.SetSelection({});
    emit page.MeasList()->rowDoubleClicked(-1);
    EXPECT_EQ(chosen, 1);
}
