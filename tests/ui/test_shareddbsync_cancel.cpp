// The sync dialog's cancel: 中止, Esc and a close (as the termination signal does) end a sync
// that waits on the server at once; the failure texts as the user reads them.
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "fixtures.h"
#include "pgtestcase.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "support/docondisk.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/shareddbsyncdialog.h"

namespace {

constexpr int kHangMs = 60000; // a sync that takes this long has hung

class SharedDbCancelUiTest : public PgTestCase<DocOnDiskTest> {
protected:
    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        target.db.params = server().params(m_db);
        target.storePath = store().toStdString();
        target.statePath = dir.filePath("state").toStdString();
        target.workstation = "office-pc";
        // Each case takes a fresh database for the same folder: no question about the switch.
        target.switchDatabase = true;
    }
    // One record on the server, a second waiting in the store, and the set's row held by
    // another workstation's open transaction.
    std::unique_ptr<shareddb::PgConnection> lockedSet()
    {
        CMeasRecord first = recordWithPoints({{0, 1.0}});
        EXPECT_TRUE(SaveStore(storeWith({first}), target.storePath).ok);
        EXPECT_TRUE(shareddb::RunSync(target, shareddb::SyncMode::Sync).ok);
        CMeasRecord second = recordWithPoints({{0, 2.0}});
        second.TestVoltage = 2.0;
        EXPECT_TRUE(SaveStore(storeWith({first, second}), target.storePath).ok);
        auto other = std::make_unique<shareddb::PgConnection>(server().params(m_db));
        other->exec("BEGIN");
        other->exec("SELECT id FROM sets FOR UPDATE");
        return other;
    }
    bool syncWaitsForTheLock()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
        shareddb::PgConnection c(server().params(m_db));
        while (c.exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                      "AND datname = current_database()")
                   .bytes(0, 0) == "0") {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    shareddb::SyncTarget target;
};

TEST_F(SharedDbCancelUiTest, CancelEndsASyncWaitingOnTheServerAtOnce)
{
    enum How { Button, Escape, Close };
    for (const How how : {Button, Escape, Close}) {
        SCOPED_TRACE(how);
        SetUp();
        auto other = lockedSet();
        target.db.timeoutSeconds = 600; // only the cancel can end the wait
        SharedDbSyncDialog dlg(target);
        QSignalSpy finished(&dlg, &SharedDbSyncDialog::syncFinished);
        dlg.Start();
        ASSERT_TRUE(syncWaitsForTheLock());
        if (how == Button) {
            dlg.OnCancel();
            EXPECT_TRUE(dlg.Status()->text().startsWith(QStringLiteral("中止しています")));
            if (how == Button)
                guitest::grabToPng(&dlg, guitest::grabDir() + "/shareddb-cancelling.png");
        } else if (how == Escape) {
            dlg.reject();
        } else {
            // What the program does on SIGTERM: the window refuses to close while it cancels,
            // and says it ends by itself.
            dlg.show();
            EXPECT_FALSE(dlg.close());
            EXPECT_TRUE(dlg.property("mxrEndsByItself").toBool());
        }
        ASSERT_TRUE(finished.count() == 1 || finished.wait(kHangMs)) << "the sync hangs";
        EXPECT_TRUE(dlg.Summary().cancelled);
        EXPECT_EQ(dlg.Summary().sent, 0);
        EXPECT_TRUE(SyncSummaryText(dlg.Summary()).contains(QStringLiteral("同期を中止しました")));
        other.reset();
        EXPECT_EQ(shareddb::RunSync(target, shareddb::SyncMode::Sync).sent, 1);
    }
}

TEST_F(SharedDbCancelUiTest, ALockTimeoutIsToldWithWhatToDo)
{
    auto other = lockedSet();
    target.db.timeoutSeconds = 1;
    SharedDbSyncDialog dlg(target);
    QSignalSpy finished(&dlg, &SharedDbSyncDialog::syncFinished);
    dlg.Start();
    ASSERT_TRUE(finished.wait(kHangMs));
    const QString text = SyncSummaryText(dlg.Summary());
    EXPECT_TRUE(text.startsWith(QStringLiteral("共有データベースとの同期に失敗しました。\n"
                                               "ほかの端末が同じ測定データを同期している")))
        << text.toStdString();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("MXRView"), text);
    box.show(); // laid out as the user sees it (long lines wrapped)
    EXPECT_TRUE(guitest::grabToPng(&box, guitest::grabDir() + "/shareddb-locktimeout.png"));
    shareddb::SyncTarget stopped = target;
    stopped.db.params = {{"host", dir.filePath("no-server").toStdString()}, {"port", "5"}};
    QMessageBox down(QMessageBox::Critical, QStringLiteral("MXRView"),
                     SyncSummaryText(shareddb::RunSync(stopped, shareddb::SyncMode::Sync)));
    down.show();
    EXPECT_TRUE(guitest::grabToPng(&down, guitest::grabDir() + "/shareddb-serverdown.png"));
}

} // namespace
