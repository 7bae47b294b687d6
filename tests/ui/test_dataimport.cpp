// DataImportDialog: reading an export file, merging checked rows into the document after the
// questions, and every refusal leaving the document as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "settings/appsettings.h"
#include "exchangedata.h"
#include "model/cp932text.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/common/approvaltext.h"
#include "ui/dialogs/dataimportdialog.h"
#include "ui/dialogs/exchangeui.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "widgets/checklistview.h"

namespace {

using Kind = CScriptedMessages::Kind;
using Answer = MessageInterface::Answer;
using cp932::lit;

// The export file: the realistic tree with one more customer and one more set of 東北電力.
CCustomerDB fileTree()
{
    CCustomerDB db = xdata::realisticTree();
    xdata::fill(xdata::setAt(db, lit("南部ガス"), "K-7", lit("初回")), {5.0, 10.0}, 20, 1.0);
    xdata::fill(xdata::setAt(db, lit("東北電力"), lit("CV 6.6kV 3C-150"), lit("2025定期点検")),
                {5.0}, 30, 1.0);
    return db;
}

class DataImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.path() + "/MX_20240601_120000.dat";
        ASSERT_TRUE(SaveStore(fileTree(), m_file.toStdString()).ok);
        m_doc.comm.port = 4;
        m_before = m_doc;
        m_dialog = std::make_unique<DataImportDialog>(m_doc);
        m_dialog->SetSettings(&m_settings);
        m_dialog->SetCommitHandler([this](const CCustomerDB&, const auto&) { ++m_commits; });
        m_dialog->OnInitDialog();
    }

    void load()
    {
        m_msg->pushPath(m_file);
        m_dialog->OnBrowse();
        ASSERT_EQ(1u, m_msg->entries().size()); // the chooser only
        m_msg->clear();
    }
    void selectFile(const ExchangeNode& n) { exchangeui::SelectNode(m_dialog->SourceTree(), n); }
    void selectDest(const ExchangeNode& n)
    {
        exchangeui::SelectNode(m_dialog->DestinationTree(), n);
    }
    void check(std::initializer_list<int> rows)
    {
        for (int r : rows)
            m_dialog->List()->SetRowChecked(r, true);
    }

    QTemporaryDir m_dir;
    QString m_file;
    CAppSettings m_settings;
    CCustomerDB m_doc = xdata::realisticTree();
    CCustomerDB m_before;
    int m_commits = 0;
    std::unique_ptr<DataImportDialog> m_dialog;
    ScopedScriptedMessages m_msg;
};

TEST_F(DataImportTest, OpensWithThePromptAndTheDocumentAsDestination)
{
    EXPECT_EQ(QStringLiteral("読み込むデータファイルを指定してください。"),
              m_dialog->PathEdit()->text());
    QTreeWidget* source = m_dialog->SourceTree();
    ASSERT_EQ(1, source->topLevelItemCount());
    EXPECT_EQ(QStringLiteral("取り込むデータ"), source->topLevelItem(0)->text(0));
    EXPECT_TRUE(source->topLevelItem(0)->font(0).bold());
    EXPECT_EQ(0, source->topLevelItem(0)->childCount());
    QTreeWidgetItem* dest = m_dialog->DestinationTree()->topLevelItem(0);
    EXPECT_EQ(QStringLiteral("測定データ"), dest->text(0));
    EXPECT_EQ(3, dest->childCount());
    EXPECT_EQ(0, m_dialog->List()->RowCount());
}

TEST_F(DataImportTest, BrowseReadsTheFileAndListsItsCustomers)
{
    m_msg->pushPath(m_file);
    m_dialog->OnBrowse();
    ASSERT_EQ(1u, m_msg->entries().size());
    EXPECT_EQ(Kind::OpenFile, m_msg->entries()[0].kind);
    EXPECT_EQ(QStringLiteral("計測データファイルを開く"), m_msg->entries()[0].text);
    EXPECT_EQ(m_file, m_dialog->PathEdit()->text());
    EXPECT_EQ(fileTree(), m_dialog->FileTree());
    EXPECT_EQ(4, m_dialog->SourceTree()->topLevelItem(0)->childCount());
    EXPECT_EQ(4, m_dialog->List()->RowCount());
    EXPECT_EQ(QStringLiteral("需要家名称"), m_dialog->List()->headerItem()->text(1));
}

TEST_F(DataImportTest, NewCustomerIsAddedAndTheDocumentCommitted)
{
    load();
    const int row = m_dialog->FileTree().customers.Find(lit("南部ガス"));
    check({row});
    selectDest(ExchangeNode::root());
    ASSERT_TRUE(m_dialog->OnImport());
    EXPECT_EQ(QStringList{QStringLiteral("正常に取り込みました")}, m_msg->texts());
    EXPECT_EQ(Kind::Notice, m_msg->entries()[0].kind);
    EXPECT_EQ(1, m_commits);
    EXPECT_EQ(4, m_doc.customers.Count());
    EXPECT_EQ(4, m_doc.comm.port); // the document's settings stay
    const int at = m_doc.customers.Find(lit("南部ガス"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(fileTree().customers.At(row), m_doc.customers.At(at));
    // The destination tree shows the document again, its selection kept.
    QTreeWidget* dest = m_dialog->DestinationTree();
    EXPECT_EQ(4, dest->topLevelItem(0)->childCount());
    EXPECT_EQ(ExchangeNode::root(), exchangeui::CurrentNode(dest));
}

TEST_F(DataImportTest, YesAtEveryQuestionMergesDownToTheMeasurements)
{
    load();
    selectFile(ExchangeNode::ofCustomer(1)); // 東北電力: its cables
    check({0});                              // CV 6.6kV 3C-150
    selectDest(ExchangeNode::ofCustomer(1));
    m_msg->pushAnswer(Answer::Yes); // the cable
    m_msg->pushAnswer(Answer::Yes); // 2023定期点検
    m_msg->pushAnswer(Answer::Yes); // 2024定期点検
    ASSERT_TRUE(m_dialog->OnImport());
    ASSERT_EQ(4u, m_msg->entries().size());
    EXPECT_EQ(
        QStringLiteral("取り込む「ケーブル」名称は既に存在しています\n■「 CV 6.6kV 3C-150 "
                       "」\n同じ「ケーブル」データとして追加しますか？\n新たな「ケーブル」名称"
                       "で追加する場合「いいえ」を押して処理を中断し\n新たな「ケーブル」名称"
                       "を作成してからもう一度取り込みを行ってください\n"),
        m_msg->entries()[0].text);
    EXPECT_EQ(Kind::YesNo, m_msg->entries()[0].kind);
    const CCable& k = m_doc.customers.At(1).cables.At(0);
    ASSERT_EQ(3, k.sets.Count()); // 2025定期点検 added
    EXPECT_EQ(8u, k.sets.At(0).RecordCount());
    EXPECT_EQ(1, m_commits);
    // Positions of the destination node did not move: still selected.
    EXPECT_EQ(ExchangeNode::ofCustomer(1), exchangeui::CurrentNode(m_dialog->DestinationTree()));
}

TEST_F(DataImportTest, NoAtALaterQuestionLeavesTheDocumentExactlyAsBefore)
{
    load();
    check({0, 1, 2, 3});
    selectDest(ExchangeNode::root());
    m_msg->pushAnswer(Answer::Yes); // Alpha
    m_msg->pushAnswer(Answer::Yes); // K1
    m_msg->pushAnswer(Answer::Yes); // s
    m_msg->pushAnswer(Answer::No);  // 東北電力
    EXPECT_FALSE(m_dialog->OnImport());
    EXPECT_EQ(4u, m_msg->entries().size()); // the questions, no message after them
    EXPECT_EQ(m_before, m_doc);
    EXPECT_EQ(0, m_commits);
}

TEST_F(DataImportTest, RefusalsShowTheirMessageAndChangeNothing)
{
    load();
    const QString level = QStringLiteral(
        "指定の「取り込み先:」には入れられません\n正しい「取り込み先:」を選んでください");
    struct Case {
        ExchangeNode file;
        bool checked;
        ExchangeNode dest; // level None: no destination selected
        QString message;
    } cases[] = {
        {ExchangeNode::root(), false, ExchangeNode::root(),
         QStringLiteral("取り込むデータがチェックされていません")},
        {ExchangeNode::ofCustomer(1), true, ExchangeNode{},
         QStringLiteral("「取り込み先:」を選んでください")},
        {ExchangeNode::ofSet(1, 0, 0), true, ExchangeNode::ofCable(1, 0), level},
        {ExchangeNode::ofCustomer(1), true, ExchangeNode::root(), level},
    };
    for (const Case& c : cases) {
        m_msg->clear();
        selectFile(c.file);
        if (c.checked)
            check({0});
        if (c.dest.level == ExchangeNode::None)
            m_dialog->DestinationTree()->setCurrentItem(nullptr);
        else
            selectDest(c.dest);
        EXPECT_FALSE(m_dialog->OnImport());
        ASSERT_EQ(1u, m_msg->entries().size()) << c.message.toStdString();
        EXPECT_EQ(Kind::Error, m_msg->entries()[0].kind);
        EXPECT_EQ(c.message, m_msg->entries()[0].text);
    }
    EXPECT_EQ(m_before, m_doc);
    EXPECT_EQ(0, m_commits);
}

TEST_F(DataImportTest, MeasurementsIntoASetAndTwiceMeansTwice)
{
    load();
    selectFile(ExchangeNode::ofSet(3, 0, 0)); // 北陸製鉄所 / 第2変電所 引込 / 初回 (after 南部ガス)
    check({0, 2});
    selectDest(ExchangeNode::ofSet(1, 1, 0)); // 東北電力 / CVT 22kV 1C-325 / 竣工時
    ASSERT_TRUE(m_dialog->OnImport());
    EXPECT_EQ(ExchangeNode::ofSet(1, 1, 0), exchangeui::CurrentNode(m_dialog->DestinationTree()));
    ASSERT_TRUE(m_dialog->OnImport());
    EXPECT_EQ(6u, m_doc.customers.At(1).cables.At(1).sets.At(0).RecordCount());
    EXPECT_EQ(2, m_commits);
}

// An import that would change an approved set is refused whole, with the reason.
TEST_F(DataImportTest, AnApprovedSetTakesNoImport)
{
    const CCustomer& customer = m_doc.customers.At(1);
    const cmd::TreePath approved{customer.name, customer.cables.At(1).name,
                                 customer.cables.At(1).sets.At(0).name};
    const cmd::LockedSets locks({approved});
    m_dialog->SetLocks(&locks);
    load();
    selectFile(ExchangeNode::ofSet(3, 0, 0));
    check({0});
    selectDest(ExchangeNode::ofSet(1, 1, 0)); // the approved set
    EXPECT_FALSE(m_dialog->OnImport());
    EXPECT_EQ(QStringList{ui::ApprovedRefusal(approved)}, m_msg->texts());
    EXPECT_EQ(Kind::Error, m_msg->entries()[0].kind);
    EXPECT_EQ(m_before, m_doc);
    EXPECT_EQ(0, m_commits);
}

TEST_F(DataImportTest, FailedReadShowsTheStoreMessageAndKeepsTheTreeRead)
{
    load();
    const QString bad = m_dir.path() + "/bad.dat";
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x2A"
            "not a store at all, just some bytes of the wrong kind......");
    f.close();
    EXPECT_FALSE(m_dialog->LoadFile(bad));
    ASSERT_EQ(2u, m_msg->entries().size());
    EXPECT_EQ(
        QStringLiteral("データファイルが読めません\n壊れている可能性があります\n新規に作成します"),
        m_msg->entries()[0].text);
    EXPECT_EQ(QStringLiteral("指定ファイルの読み込みに失敗しました"), m_msg->entries()[1].text);
    EXPECT_EQ(Kind::Error, m_msg->entries()[1].kind);
    EXPECT_EQ(fileTree(), m_dialog->FileTree());
    EXPECT_EQ(m_file, m_dialog->PathEdit()->text());
    EXPECT_EQ(4, m_dialog->List()->RowCount());
    // The chosen file is not set aside: nothing beside it.
    EXPECT_EQ(2u, QDir(m_dir.path()).entryList(QDir::Files).size());

    m_msg->clear();
    EXPECT_FALSE(m_dialog->LoadFile(m_dir.path() + "/gone.dat"));
    EXPECT_EQ(QStringList{QStringLiteral("指定ファイルの読み込みに失敗しました")}, m_msg->texts());
    EXPECT_EQ(m_before, m_doc);
}

using GrabDataImport = DataImportTest;
TEST_F(GrabDataImport, DialogWithAFileLoaded)
{
    load();
    selectFile(ExchangeNode::ofCable(1, 0));
    check({2});
    selectDest(ExchangeNode::ofCable(1, 0));
    m_dialog->SourceTree()->expandAll();
    m_dialog->DestinationTree()->expandAll();
    m_dialog->show(); // at its own size, not one fitted to the offscreen screen
    EXPECT_TRUE(guitest::grabToPng(m_dialog.get(), guitest::grabDir() + "/dataimport.png"));
}

TEST(DataImportSelection, FollowsTheShownRecordPastInsertedOnes)
{
    CCustomerDB db = xdata::realisticTree(); // 2023定期点検: 2.5, 5.0, 7.5, 10.0 kV
    DataSelection sel{lit("東北電力"), lit("CV 6.6kV 3C-150"), lit("2023定期点検"), 1};
    const CMeasRecord shown = *SelectedRecord(db, sel);
    CMeasData& set = db.customers.At(1).cables.At(0).sets.At(0);
    set.InsertRecord(xdata::measured(1.0, 40, 1.0));
    set.InsertRecord(xdata::measured(3.0, 41, 1.0));
    FollowSelectedRecord(db, sel, shown);
    EXPECT_EQ(3, sel.index);
    EXPECT_EQ(shown, *SelectedRecord(db, sel));
    // Nothing moves when nothing was inserted before it, or nothing is selected.
    FollowSelectedRecord(db, sel, shown);
    EXPECT_EQ(3, sel.index);
    DataSelection none;
    FollowSelectedRecord(db, none, shown);
    EXPECT_EQ(-1, none.index);
}

TEST(DataExchangeCommands, AreAlwaysEnabled)
{
    QTemporaryDir dir;
    MeasurementDocument* doc = new MeasurementDocument;
    doc->SetDataFilePath((dir.path() + "/MXR.DAT").toStdString());
    MainWindow frame(doc);
    doc->setParent(&frame);
    EXPECT_TRUE(frame.Action(commandid::ExportData)->isEnabled());
    EXPECT_TRUE(frame.Action(commandid::ImportData)->isEnabled());
}

} // namespace

TEST_F(DataImportTest, ImportIntoASetWithOtherConditionsAsksFirst)
{
    CMeasData& target = m_doc.customers.At(1).cables.At(1).sets.At(0);
    CTestCondition kept = target.RecordAt(0).Condition;
    kept.Remarks = lit("端末部清掃済");
    kept.LastCurrentMax = 42.0;
    ApplyCondition(target, kept);
    const CCustomerDB before = m_doc;
    load();
    selectFile(ExchangeNode::ofSet(3, 0, 0));
    check({0, 2});
    selectDest(ExchangeNode::ofSet(1, 1, 0));

    m_msg->pushAnswer(MessageInterface::Answer::No);
    EXPECT_FALSE(m_dialog->OnImport());
    ASSERT_EQ(1u, m_msg->entries().size()); // the question, nothing after it
    EXPECT_EQ(Kind::YesNo, m_msg->entries()[0].kind);
    EXPECT_TRUE(
        m_msg->entries()[0].text.contains(QStringLiteral("置き換わります：試験条件、判定基準")));
    EXPECT_EQ(before, m_doc);
    EXPECT_EQ(0, m_commits);

    m_msg->clear();
    m_msg->pushAnswer(MessageInterface::Answer::Yes);
    ASSERT_TRUE(m_dialog->OnImport());
    const CMeasData& merged = m_doc.customers.At(1).cables.At(1).sets.At(0);
    EXPECT_EQ(before.customers.At(1).cables.At(1).sets.At(0).RecordCount() + 2,
              merged.RecordCount());
    for (const CMeasRecord& r : merged.Records())
        EXPECT_EQ(kept, r.Condition);
}
