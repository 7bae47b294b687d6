// The document's backups: the daily backup before a save, the restore dialog, and a backup
// that fails on a full disk without stopping the save.
#include <QDir>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures.h"
#include "smalltmpfs.h"
#include "store/backup.h"
#include "store/store.h"
#include "support/docondisk.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/document/measurementdocument.h"
#include "ui/dialogs/restorebackupdialog.h"
#include "workspace/workspace.h"
#include "workspace/workspacebackup.h"

namespace {

using Kind = CScriptedMessages::Kind;

class DocBackupTest : public DocOnDiskTest {
protected:
    QStringList backups() const
    {
        return QDir(dir.filePath("DATA/backup")).entryList({"MXR-*.DAT"}, QDir::Files);
    }
};

} // namespace

TEST_F(DocBackupTest, FirstSaveOfTheDayBacksUpAndTheDialogRestores)
{
    const CCustomerDB original = storeWith({recordWithPoints({{0, 1.0}, {0.2, 2.0}})});
    ASSERT_TRUE(SaveStore(original, store().toStdString()).ok);
    const std::string originalBytes = readBytes(store());
    doc.OnNewDocument();

    doc.Store() = storeWith({recordWithPoints({{0, 9.0}})});
    ASSERT_TRUE(doc.CommitStore());
    ASSERT_EQ(backups().size(), 1) << "the first save of the day backs up the old store";
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_EQ(backups().size(), 1) << "later saves of the day do not";

    RestoreBackupDialog dialog(doc);
    dialog.show();
    ASSERT_EQ(dialog.Table()->rowCount(), 1);
    EXPECT_EQ(dialog.Table()->item(0, 2)->text(), "1");
    EXPECT_EQ(dialog.Table()->item(0, 3)->text(), "1");
    guitest::grabToPng(&dialog, guitest::grabDir() + "/restore_backup.png");

    messages->pushAnswer(MessageInterface::Answer::No);
    dialog.OnRestore();
    EXPECT_NE(readBytes(store()), originalBytes) << "declined: nothing restored";

    // Replacing the data file is asked with いいえ focused.
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].focus, MessageInterface::Answer::No);

    messages->clear();
    doc.Selection() = {"gone", "gone", "gone", 3};
    messages->pushAnswer(MessageInterface::Answer::Yes);
    dialog.OnRestore();
    EXPECT_EQ(readBytes(store()), originalBytes);
    EXPECT_EQ(doc.Store(), original);
    EXPECT_EQ(backups().size(), 2) << "the replaced store became a backup";
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // The restored store shows its first measurement, and a line says what came back.
    EXPECT_EQ(doc.Selection().customer, original.customers.At(0).name);
    EXPECT_EQ(doc.Selection().index, 0);
    ASSERT_EQ(messages->entries().size(), 2u);
    EXPECT_EQ(messages->entries()[1].kind, Kind::Notice);
    EXPECT_TRUE(messages->entries()[1].text.endsWith(
        QStringLiteral(" のバックアップから復元しました（需要家 1 件、計測 1 件）。")))
        << messages->entries()[1].text.toStdString();
}

// The document's backups carry the workspace, and a restore from the dialog journals itself.
TEST_F(DocBackupTest, TheWorkspaceGoesWithTheBackupAndTheRestoreIsJournaled)
{
    ASSERT_TRUE(SaveStore(storeWith({recordWithPoints({{0, 1.0}})}), store().toStdString()).ok);
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(store().toStdString(), true).usable());
        ws::JournalEntry note;
        note.time = 1000;
        note.command = ws::kind::Approve;
        note.summary = "承認";
        w.Append(note);
    }
    doc.OnNewDocument();
    doc.Store() = storeWith({recordWithPoints({{0, 9.0}})});
    ASSERT_TRUE(doc.CommitStore());
    ASSERT_EQ(backups().size(), 1);
    const QString name = backups()[0];
    const std::string backup = dir.filePath("DATA/backup/" + name).toStdString();
    EXPECT_TRUE(std::filesystem::exists(ws::WorkspaceCopyFor(backup)));

    RestoreBackupDialog dialog(doc);
    messages->pushAnswer(MessageInterface::Answer::Yes);
    dialog.OnRestore();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    ws::Workspace w;
    ASSERT_TRUE(w.Open(store().toStdString(), false).usable());
    const std::vector<ws::JournalEntry> entries = w.Query();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().command, ws::kind::Restore);
    EXPECT_EQ(entries.back().reason, name.toStdString());
}

TEST(BackupList, SizesReadInUnitsAJapaneseUserKnows)
{
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 バイト"},
        {1023, "1023 バイト"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {150 * 1024, "150 KB"},
        {1024 * 1024, "1.0 MB"},
        {5 * 1024 * 1024 + 1, "5.0 MB"},
        {3ull << 30, "3.0 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(BackupSizeText(bytes), QString::fromUtf8(text)) << bytes;
}

TEST_F(DocBackupTest, AFullDiskFailsTheBackupOnceAndTheStoreIsStillSaved)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    std::filesystem::create_directory_symlink(disk.path(),
                                              dir.filePath("DATA/backup").toStdString());
    ASSERT_TRUE(SaveStore(storeWith({recordWithPoints({{0, 1.0}})}), store().toStdString()).ok);
    doc.OnNewDocument();
    disk.fill();

    for (double v : {5.0, 6.0}) {
        doc.Store() = storeWith({recordWithPoints({{0, v}})});
        ASSERT_TRUE(doc.CommitStore());
        CCustomerDB back;
        ASSERT_TRUE(LoadStore(back, store().toStdString()).ok);
        EXPECT_EQ(back, doc.Store());
    }
    ASSERT_EQ(messages->entries().size(), 1u) << "the failure is shown once";
    EXPECT_EQ(messages->entries()[0].kind, Kind::Information);
    EXPECT_TRUE(messages->entries()[0].text.contains(QStringLiteral("バックアップ")));
    EXPECT_TRUE(
        messages->entries()[0].text.contains(QStringLiteral("ディスクの空き容量が不足しています")))
        << "the cause in Japanese, not the C library's English: "
        << messages->entries()[0].text.toStdString();
    EXPECT_TRUE(backups().isEmpty());
}
