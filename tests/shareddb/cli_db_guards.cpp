// mxrtool db and store restore beside other programs: a termination signal ends a blocked sync
// at once, and a running MXRView keeps mxrtool from writing its store.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "fileutil.h"
#include "clidbcase.h"
#include "samplerecords.h"
#include "shareddb/pgconnection.h"
#include "store/store.h"
#include "waitfor.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Nothing here may take this long: a command that does hangs.
constexpr int kHangMs = 60000;

bool waitFor(const std::function<bool()>& condition)
{
    return testwait::until(condition, std::chrono::milliseconds(kHangMs));
}

CCustomerDB storeWith(int records)
{
    std::vector<CMeasRecord> all(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) {
        all[static_cast<std::size_t>(i)].DataNo = i + 1;
        all[static_cast<std::size_t>(i)].StartTime = {45000.5 + i, OleDateTime::Valid};
    }
    return sample::treeWith(all, "C", "K", "S");
}

class DbGuardTest : public DbCliCase {
protected:
    void SetUp() override
    {
        DbCliCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        testfile::writeAll(m_home / "MXRView.INI",
                           "[SharedDB]\r\nhost=" + server().socketDir() + "\r\nport=" +
                               std::to_string(server().port()) + "\r\nuser=" + server().user() +
                               "\r\ndatabase=" + m_db + "\r\ntimeout=600\r\n");
    }
    std::string one(const std::string& sql)
    {
        shareddb::PgConnection c(server().params(m_db));
        return c.exec(sql).bytes(0, 0);
    }

};

TEST_F(DbGuardTest, TerminationSignalsEndABlockedSyncAtOnce)
{
    ASSERT_TRUE(SaveStore(storeWith(1), (m_home / "DATA" / "MXR.DAT").string()).ok);
    run({"db", "init"});
    run({"db", "sync"});
    ASSERT_TRUE(SaveStore(storeWith(2), (m_home / "DATA" / "MXR.DAT").string()).ok);

    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        // Another workstation holds the set's row: the sync waits (its time-out is 600 s).
        shareddb::PgConnection other(server().params(m_db));
        other.exec("BEGIN");
        other.exec("SELECT id FROM sets FOR UPDATE");
        QProcess p;
        p.setProcessEnvironment(englishMessages());
        p.start(MXRTOOL_PATH, home({"db", "sync"}));
        ASSERT_TRUE(p.waitForStarted());
        ASSERT_TRUE(waitFor([&] {
            return one("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                       "AND application_name = 'mxrview'") != "0";
        }));
        ::kill(static_cast<pid_t>(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(kHangMs)) << "mxrtool hangs";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 128 + signal);
        const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_TRUE(o["cancelled"].toBool()) << p.readAllStandardError().constData();
        EXPECT_EQ(o["signal"].toInt(), signal);
        EXPECT_EQ(o["sent"].toInt(), 0);
        EXPECT_EQ(one("SELECT count(*) FROM records"), "1");
    }
    // The next sync completes what was cut off.
    EXPECT_EQ(run({"db", "sync"})["sent"].toInt(), 1);
    EXPECT_EQ(one("SELECT count(*) FROM records"), "2");
}

#ifdef MXRVIEW_PATH
TEST_F(DbGuardTest, CommandsThatWriteTheStoreRefuseWhileMXRViewRunsOnTheFolder)
{
    ASSERT_TRUE(SaveStore(storeWith(1), (m_home / "DATA" / "MXR.DAT").string()).ok);
    run({"db", "init"});
    // A restore of a file that is no backup fails after the guard: a probe that changes nothing.
    const QStringList probe{"store", "restore", QString::fromStdString((m_home / "none").string())};
    auto inUse = [&] { return mxrtool(home(probe)).err.contains("MXRView is running"); };
    EXPECT_FALSE(inUse());

    const pid_t app = fork();
    if (app == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string h = m_home.string();
        execl(MXRVIEW_PATH, MXRVIEW_PATH, "--home", h.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(waitFor(inUse));
    const ToolRun restore = mxrtool(home(probe));
    EXPECT_EQ(restore.exitCode, 1);
    EXPECT_TRUE(restore.err.contains(QByteArray::fromStdString(m_home.string())))
        << restore.err.constData();
    for (const char* sub : {"sync", "pull"}) {
        const QJsonObject o = run({"db", sub}, 1);
        EXPECT_EQ(o["failure"].toString(), "folderInUse");
        EXPECT_TRUE(o["message"].toString().contains("MXRView is running"));
    }
    EXPECT_EQ(one("SELECT count(*) FROM records"), "0"); // nothing was sent either
    // push only reads the store: it goes on.
    EXPECT_EQ(run({"db", "push"})["sent"].toInt(), 1);

    // The running copy did not notice: it ends normally on SIGTERM, and then the folder is free.
    ::kill(app, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(app, &status, 0), app);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(inUse());
    EXPECT_TRUE(run({"db", "sync"})["ok"].toBool());
}
#endif

} // namespace
