// The ファイル menu's sync with the shared database: the worker, the progress dialog, the
// document reloaded afterwards and the summary, against a server the test starts.
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

#include <QLabel>

#include "fixtures.h"
#include "pgtestcase.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "support/docondisk.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/shareddbsyncdialog.h"

namespace {

class SharedDbSyncUiTest : public PgTestCase<DocOnDiskTest> {
protected:
    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        shareddb::DbSettings settings;
        settings.params = server().params(m_db);
        m_ini = dir.filePath("MXRView.INI").toStdString();
        std::string ini = "[SharedDB]\r\n";
        for (const auto& [k, v] : settings.params)
            ini += (k == "dbname" ? std::string("database") : k) + "=" + v + "\r\n";
        ini += "workstation=office-pc\r\n";
        QFile f(QString::fromStdString(m_ini));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini.data(), static_cast<qint64>(ini.size()));
    }
    // Another workstation's folder that sent one measurement to the database.
    void otherWorkstationSends(const CMeasRecord& r)
    {
        ASSERT_TRUE(other.isValid());
        shareddb::SyncTarget t;
        t.db.params = server().params(m_db);
        t.storePath = other.filePath("MXR.DAT").toStdString();
        t.statePath = other.filePath("state").toStdString();
        t.workstation = "field-pc";
        ASSERT_TRUE(SaveStore(storeWith({r}), t.storePath).ok);
        ASSERT_TRUE(shareddb::RunSync(t, shareddb::SyncMode::Sync).ok);
    }

    std::string m_ini;
    QTemporaryDir other;
};

TEST_F(SharedDbSyncUiTest, MenuCommandSyncsReloadsAndSummarises)
{
    CMeasRecord mine = recordWithPoints({{0, 1.0}, {0.2, 2.0}});
    mine.TestVoltage = 1.0;
    ASSERT_TRUE(SaveStore(storeWith({mine}), store().toStdString()).ok);
    doc.OnNewDocument();
    CMeasRecord theirs = recordWithPoints({{0, 5.0}, {0.2, 6.0}});
    theirs.TestVoltage = 2.0;
    otherWorkstationSends(theirs);

    // An unsaved change in memory reaches the file, and the database, first.
    CMeasRecord unsaved = recordWithPoints({{0, 7.0}});
    unsaved.TestVoltage = 3.0;
    doc.Store().customers.At(0).cables.At(0).sets.At(0).InsertRecord(unsaved);

    ASSERT_TRUE(RunSharedDbSync(nullptr, doc, m_ini));
    EXPECT_EQ(doc.Store().RecordCount(), 3u);
    CCustomerDB onDisk;
    ASSERT_TRUE(LoadStore(onDisk, store().toStdString()).ok);
    EXPECT_EQ(onDisk, doc.Store());
    const QString summary = messages->texts().join("\n");
    EXPECT_TRUE(summary.contains(QStringLiteral("送信: 2 件"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("受信: 1 件"))) << summary.toStdString();

    messages->clear();
    ASSERT_TRUE(RunSharedDbSync(nullptr, doc, m_ini));
    EXPECT_TRUE(messages->texts().join("").contains(QStringLiteral("変更はありません")));
}

TEST_F(SharedDbSyncUiTest, UnreachableServerIsAClearErrorAndTheDocumentStays)
{
    ASSERT_TRUE(SaveStore(storeWith({recordWithPoints({{0, 1.0}})}), store().toStdString()).ok);
    doc.OnNewDocument();
    const CCustomerDB before = doc.Store();
    const std::string bytes = readBytes(store());
    QFile f(QString::fromStdString(m_ini));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[SharedDB]\r\nhost=/nonexistent-socket-folder\r\n");
    f.close();

    EXPECT_FALSE(RunSharedDbSync(nullptr, doc, m_ini));
    ASSERT_EQ(messages->texts().size(), 1);
    EXPECT_TRUE(messages->texts()[0].contains(QStringLiteral("共有データベースに接続できません")));
    EXPECT_EQ(doc.Store(), before);
    EXPECT_EQ(readBytes(store()), bytes);
}

TEST_F(SharedDbSyncUiTest, DialogRunsOffTheUiThreadAndLooksRight)
{
    ASSERT_TRUE(SaveStore(storeWith({recordWithPoints({{0, 1.0}})}), store().toStdString()).ok);
    shareddb::SyncTarget t;
    t.db.params = server().params(m_db);
    t.storePath = store().toStdString();
    t.statePath = dir.filePath("state").toStdString();
    SharedDbSyncDialog dlg(t);
    QSignalSpy finished(&dlg, &SharedDbSyncDialog::syncFinished);
    dlg.Start();
    EXPECT_TRUE(dlg.IsRunning() || finished.count() == 1);
    ASSERT_TRUE(finished.count() == 1 || finished.wait(30000));
    EXPECT_TRUE(dlg.Summary().ok) << dlg.Summary().message;
    EXPECT_EQ(dlg.Summary().sent, 1);
    EXPECT_FALSE(dlg.IsRunning());

    // Pictures for the docs: the dialog half-way, and a summary naming a conflict.
    SharedDbSyncDialog shown(t);
    shown.Status()->setText(QStringLiteral("測定データを同期しています..."));
    shown.Progress()->setRange(0, 12);
    shown.Progress()->setValue(5);
    EXPECT_TRUE(guitest::grabToPng(&shown, guitest::grabDir() + "/shareddb-progress.png"));
    shareddb::SyncSummary s;
    s.ok = true;
    s.sent = 3;
    s.received = 12;
    shareddb::SyncConflict c;
    c.customer = cp932::lit("顧客Ａ");
    c.cable = "CV-1";
    c.set = cp932::lit("2024春");
    c.dataNo = 7;
    c.testVoltage = 10.0;
    c.supersededBy = "field-pc";
    c.supersededRevision = 2;
    c.winningRevision = 3;
    s.conflicts.push_back(c);
    const QString text = SyncSummaryText(s);
    EXPECT_TRUE(text.contains("field-pc"));
    // The server keeps workstation names in UTF-8; a Japanese one reads as typed.
    c.supersededBy = "現場端末";
    shareddb::SyncSummary japanese = s;
    japanese.conflicts = {c};
    EXPECT_TRUE(SyncSummaryText(japanese).contains(QStringLiteral("現場端末")));
    QMessageBox box(QMessageBox::Information, QStringLiteral("MXRView"), text);
    EXPECT_TRUE(guitest::grabToPng(&box, guitest::grabDir() + "/shareddb-summary.png"));
}

} // namespace
