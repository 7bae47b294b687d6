// DataExportDialog: the tree and list of the document, saving checked rows to export files, and the
// refusals that leave everything as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "settings/appsettings.h"
#include "exchangedata.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/dataexportdialog.h"
#include "ui/dialogs/exchangeui.h"
#include "widgets/checklistview.h"

namespace {

using Kind = CScriptedMessages::Kind;
using Answer = MessageInterface::Answer;

class DataExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_settings.SavedataDir = m_dir.path().toStdString();
        m_dialog = std::make_unique<DataExportDialog>(m_doc);
        m_dialog->SetSettings(&m_settings);
        m_dialog->OnInitDialog();
    }

    void select(const ExchangeNode& node) { exchangeui::SelectNode(m_dialog->Tree(), node); }
    QString path(const QString& name) const { return m_dir.path() + "/" + name; }

    QTemporaryDir m_dir;
    CAppSettings m_settings;
    CCustomerDB m_doc = xdata::realisticTree();
    std::unique_ptr<DataExportDialog> m_dialog;
    ScopedScriptedMessages m_msg;
};

TEST_F(DataExportTest, OpensWithTheDocumentTreeFolderAndProposedName)
{
    QTreeWidget* tree = m_dialog->Tree();
    ASSERT_EQ(1, tree->topLevelItemCount());
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(QStringLiteral("測定データ"), root->text(0));
    EXPECT_TRUE(root->font(0).bold());
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(3, root->childCount());
    EXPECT_EQ(QStringLiteral("東北電力"), root->child(1)->text(0));
    EXPECT_EQ(QStringLiteral("2024定期点検"), root->child(1)->child(0)->child(1)->text(0));
    EXPECT_EQ(root, tree->currentItem());

    EXPECT_EQ(m_dir.path(), m_dialog->FolderEdit()->text());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^MX_\\d{8}_\\d{6}\\.dat$"))
                    .match(m_dialog->FileEdit()->text())
                    .hasMatch());
    CheckListView* list = m_dialog->List();
    EXPECT_EQ(QStringLiteral("需要家名称"), list->headerItem()->text(1));
    EXPECT_EQ(3, list->RowCount());

    // A set lists its measurements with their display texts.
    select(ExchangeNode::ofSet(1, 0, 0));
    ASSERT_EQ(4, list->RowCount());
    EXPECT_EQ(7, list->columnCount());
    EXPECT_EQ(QStringLiteral("最終値"), list->headerItem()->text(2));
    EXPECT_TRUE(list->topLevelItem(0)->text(2).startsWith(QStringLiteral("10:00.0,")));
    EXPECT_EQ(QStringLiteral("2.50"), list->topLevelItem(0)->text(3));
    list->SetRowChecked(1, true);
    list->SetRowChecked(2, true);
    m_dialog->show(); // at its own size, not one fitted to the offscreen screen
    EXPECT_TRUE(guitest::grabToPng(m_dialog.get(), guitest::grabDir() + "/dataexport.png"));
}

TEST_F(DataExportTest, SavesCheckedMeasurementsUnderTheirNames)
{
    m_settings.SavedataDir = "/elsewhere";
    m_dialog->FolderEdit()->setText(m_dir.path());
    m_dialog->FileEdit()->setText(QStringLiteral("part.dat"));
    select(ExchangeNode::ofSet(1, 0, 0));
    m_dialog->List()->SetRowChecked(0, true);
    m_dialog->List()->SetRowChecked(3, true);
    ASSERT_TRUE(m_dialog->OnSave());
    EXPECT_EQ(QStringList{QStringLiteral("保存は正常に行われました")}, m_msg->texts());
    EXPECT_EQ(Kind::Notice, m_msg->entries().back().kind);
    EXPECT_EQ(m_dir.path().toStdString(), m_settings.SavedataDir);

    CCustomerDB back;
    ASSERT_TRUE(LoadStore(back, path("part.dat").toStdString()).ok);
    EXPECT_EQ(CCommSetting{}, back.comm);
    ASSERT_EQ(1, back.customers.Count());
    const CCustomer& c = back.customers.At(0);
    EXPECT_EQ(m_doc.customers.At(1).name, c.name);
    ASSERT_EQ(1, c.cables.Count());
    ASSERT_EQ(1, c.cables.At(0).sets.Count());
    const CMeasData& s = c.cables.At(0).sets.At(0);
    const CMeasData& original = m_doc.customers.At(1).cables.At(0).sets.At(0);
    EXPECT_EQ(original.name, s.name);
    ASSERT_EQ(2u, s.RecordCount());
    EXPECT_EQ(original.RecordAt(0), s.RecordAt(0));
    EXPECT_EQ(original.RecordAt(3), s.RecordAt(1));
}

TEST_F(DataExportTest, WholeTreeFromTheRoot)
{
    m_doc.comm.port = 7;
    m_dialog->FileEdit()->setText(QStringLiteral("all.dat"));
    for (int r = 0; r < 3; ++r)
        m_dialog->List()->SetRowChecked(r, true);
    ASSERT_TRUE(m_dialog->OnSave());
    CCustomerDB back;
    ASSERT_TRUE(LoadStore(back, path("all.dat").toStdString()).ok);
    EXPECT_EQ(m_doc.customers, back.customers);
    EXPECT_EQ(CCommSetting{}, back.comm);
}

TEST_F(DataExportTest, RefusalsWriteNothing)
{
    QFile plain(path("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString access =
        QStringLiteral("保存先にアクセスできません\n存在するフォルダを入力してください\n");
    struct Case {
        bool check;
        QString folder;
        QString file;
        QString message;
    } cases[] = {
        {false, m_dir.path(), "a.dat", QStringLiteral("保存データがチェックされていません")},
        {true, path("plain.txt"), "a.dat", access + path("plain.txt")},
        {true, path("missing"), "a.dat", access + path("missing")},
        {true, "", "a.dat", access},
        {true, m_dir.path(), "", QStringLiteral("保存ファイル名を指定してください")},
    };
    for (const Case& c : cases) {
        m_msg->clear();
        m_dialog->List()->SetRowChecked(0, c.check);
        m_dialog->FolderEdit()->setText(c.folder);
        m_dialog->FileEdit()->setText(c.file);
        EXPECT_FALSE(m_dialog->OnSave());
        ASSERT_EQ(1u, m_msg->entries().size()) << c.message.toStdString();
        EXPECT_EQ(Kind::Error, m_msg->entries()[0].kind);
        EXPECT_EQ(c.message, m_msg->entries()[0].text);
    }
    EXPECT_FALSE(QFileInfo::exists(path("a.dat")));
    EXPECT_EQ(m_dir.path().toStdString(), m_settings.SavedataDir);
}

TEST_F(DataExportTest, OverwriteIsAskedAndNoKeepsTheFile)
{
    m_dialog->FileEdit()->setText(QStringLiteral("x.dat"));
    m_dialog->List()->SetRowChecked(0, true);
    ASSERT_TRUE(m_dialog->OnSave());
    QFile file(path("x.dat"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();

    m_dialog->List()->SetRowChecked(1, true);
    m_msg->clear();
    m_msg->pushAnswer(Answer::No);
    EXPECT_FALSE(m_dialog->OnSave());
    ASSERT_EQ(1u, m_msg->entries().size());
    EXPECT_EQ(QStringLiteral("指定のファイルは既に存在しています\n上書きしてもよろしいですか\n") +
                  path("x.dat"),
              m_msg->entries()[0].text);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(first, file.readAll());
    file.close();

    m_msg->pushAnswer(Answer::Yes);
    EXPECT_TRUE(m_dialog->OnSave());
    CCustomerDB back;
    ASSERT_TRUE(LoadStore(back, path("x.dat").toStdString()).ok);
    EXPECT_EQ(2, back.customers.Count());
}

TEST_F(DataExportTest, WriteFailureShowsOnlyTheWritersMessage)
{
    // The name of an existing folder: the overwrite question, then the write fails.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
    m_dialog->FileEdit()->setText(QStringLiteral("sub"));
    m_dialog->List()->SetRowChecked(0, true);
    m_dialog->SetStoreOptions({100, 20, false});
    m_msg->pushAnswer(Answer::Yes);
    EXPECT_FALSE(m_dialog->OnSave());
    ASSERT_EQ(2u, m_msg->entries().size());
    // The store's own three-line or open message, nothing after it.
    EXPECT_FALSE(m_msg->entries()[1].text.isEmpty());
    EXPECT_NE(QStringLiteral("保存は正常に行われました"), m_msg->entries()[1].text);
    EXPECT_TRUE(QFileInfo(path("sub")).isDir());
}

TEST_F(DataExportTest, EmptyTreeShowsTheRootAndNothingToSave)
{
    const CCustomerDB empty;
    DataExportDialog dialog(empty);
    dialog.SetSettings(&m_settings);
    dialog.OnInitDialog();
    ASSERT_EQ(1, dialog.Tree()->topLevelItemCount());
    EXPECT_EQ(0, dialog.Tree()->topLevelItem(0)->childCount());
    EXPECT_EQ(0, dialog.List()->RowCount());
    EXPECT_FALSE(dialog.OnSave());
    EXPECT_EQ(QStringList{QStringLiteral("保存データがチェックされていません")}, m_msg->texts());
}

TEST_F(DataExportTest, BrowseReplacesTheFolder)
{
    m_msg->pushPath(path("chosen"));
    m_dialog->OnBrowse();
    EXPECT_EQ(path("chosen"), m_dialog->FolderEdit()->text());
    EXPECT_EQ(QStringLiteral("フォルダ選択をしてください"), m_msg->entries()[0].text);
    m_msg->pushPath(QString()); // cancelled
    m_dialog->OnBrowse();
    EXPECT_EQ(path("chosen"), m_dialog->FolderEdit()->text());
}

} // namespace
