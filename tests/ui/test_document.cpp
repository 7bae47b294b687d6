// MeasurementDocument: what the views are told for a selection, loading the store at the first new document
// and committing it.
#include <QComboBox>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "ui/frame/scalebar.h"
#include "ui/document/measurementdocument.h"
#include "ui/common/uitext.h"

namespace {

class DocumentTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetDataFilePath(path("DATA/MXR.DAT"));
        bar.FillLists();
        bar.Connect(doc.Notifier());
        view.Connect(doc.Notifier());
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    MeasurementDocument doc;
    ScaleBar bar;
    ChangeRecorder view;
};

} // namespace

TEST_F(DocumentTest, MissResetsTheSelectionAndShowsAnEmptyRecord)
{
    doc.Store() = storeWith({recordWithPoints({{0, 1.0}})});
    const DataSelection misses[] = {
        {cp932::lit("顧客Ａ"), "CV-1", "other", 0}, // no such set
        {cp932::lit("顧客Ａ"), "CV-2", cp932::lit("2024春"), 0},
        {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), 1}, // beyond the records
        {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), -1},
    };
    for (const DataSelection& sel : misses) {
        SCOPED_TRACE(sel.cable + "/" + std::to_string(sel.index));
        view.changes.clear();
        doc.Selection() = sel;
        doc.LoadSelectedMeasurement();
        EXPECT_EQ(doc.Selection(), DataSelection());
        EXPECT_EQ(view.kinds(), (std::vector<Change>{Change::Names, Change::Cleared, Change::Refresh, Change::Names, Change::Cleared, Change::Record, Change::Refresh}));
        EXPECT_EQ(std::get<SelectionNames>(view.changes[3].second), SelectionNames());
        EXPECT_EQ(std::get<CMeasRecord>(view.changes[5].second), CMeasRecord());
    }
}

TEST_F(DocumentTest, HitSendsNamesRecordAndAutoScaledLists)
{
    // Peak 0.3 μA, last used point at 185 s; the point after them is not used.
    CMeasRecord r = recordWithPoints({{0, 0.1}, {60, 0.3}, {185, 0.2}, {400, 900}});
    r.UsedPoints = 3;
    doc.Store() = storeWith({CMeasRecord(), r});
    bar.startTimeList()->setCurrentIndex(2);
    doc.Selection() = {cp932::lit("顧客Ａ"), "cv-1", cp932::lit("2024春"), 1}; // case folded

    doc.LoadSelectedMeasurement();

    EXPECT_EQ(view.kinds(), (std::vector<Change>{Change::Names, Change::Cleared, Change::Record, Change::Refresh, Change::StartTime, Change::Width, Change::Axis}));
    EXPECT_EQ(std::get<SelectionNames>(view.changes[0].second),
              (SelectionNames{cp932::lit("顧客Ａ"), "cv-1", cp932::lit("2024春")}));
    EXPECT_EQ(std::get<CMeasRecord>(view.changes[2].second), r);
    EXPECT_EQ(std::get<double>(view.changes[4].second), 1.0); // start time kept
    EXPECT_EQ(std::get<double>(view.changes[5].second), 4.0);
    EXPECT_EQ(std::get<double>(view.changes[6].second), 1.0);
}

TEST_F(DocumentTest, ResetSelectionSendsEmptyNamesClearRefresh)
{
    doc.Selection() = {"a", "b", "c", 2};
    doc.ResetSelection();
    EXPECT_EQ(doc.Selection(), DataSelection());
    EXPECT_EQ(view.kinds(), (std::vector<Change>{Change::Names, Change::Cleared, Change::Refresh}));
}

TEST_F(DocumentTest, FirstNewDocumentLoadsTheStoreOnceAndSendsTheListValues)
{
    const CCustomerDB saved = storeWith({recordWithPoints({{0, 2.0}})});
    ASSERT_TRUE(SaveStore(saved, path("DATA/MXR.DAT")).ok);

    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.Store(), saved);
    EXPECT_EQ(view.kinds(), (std::vector<Change>{Change::StartTime, Change::Width, Change::Axis}));

    // Later new documents do not read the file again.
    doc.Store().customers.RemoveAll();
    doc.OnNewDocument();
    EXPECT_EQ(doc.Store().customers.Count(), 0);
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(DocumentTest, UnreadableStoreIsReportedAndSetAside)
{
    // A store whose signature differs in one byte.
    std::string bytes = SaveStoreToBytes(CCustomerDB());
    bytes[5] ^= 1;
    QDir(dir.path()).mkpath("DATA");
    QFile f(dir.filePath("DATA/MXR.DAT"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    f.close();

    doc.OnNewDocument();

    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::Error);
    EXPECT_EQ(
        messages->entries()[0].text,
        QStringLiteral("データファイルが読めません\n壊れている可能性があります\n新規に作成します"));
    EXPECT_EQ(QDir(dir.filePath("DATA")).entryList({"MXR.DAT.unreadable-*"}).size(), 1);

    // The next save asks first; saved anyway, it starts the new store and the unreadable
    // bytes stay in the copy.
    EXPECT_TRUE(doc.IsReadOnly());
    messages->pushChoice(0);
    ASSERT_TRUE(doc.CommitStore());
    CCustomerDB reread;
    EXPECT_TRUE(LoadStore(reread, path("DATA/MXR.DAT")).ok);
}

TEST_F(DocumentTest, CommitStoreWritesTheStoreAndReportsAFailure)
{
    doc.Store() = storeWith({recordWithPoints({{0, 3.0}, {0.2, 4.0}})});
    ASSERT_TRUE(doc.CommitStore()); // creates the DATA folder
    CCustomerDB reread;
    ASSERT_TRUE(LoadStore(reread, path("DATA/MXR.DAT")).ok);
    EXPECT_EQ(reread, doc.Store());
    EXPECT_TRUE(messages->entries().empty());

    // A data path below a plain file cannot be written: the user is told, nothing is lost.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    doc.SetDataFilePath(path("blocker/MXR.DAT"));
    EXPECT_FALSE(doc.CommitStore());
    EXPECT_EQ(messages->entries().size(), 1u);
}
