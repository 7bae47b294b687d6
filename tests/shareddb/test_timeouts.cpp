// Nothing waits forever: time-outs for locks, statements, connecting and a silent server, a
// cancel from another thread, and failures told with what to check.
#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "fileutil.h"
#include "pgtestcase.h"
#include "samplerecords.h"
#include "shareddb/dbmessages.h"
#include "shareddb/pgconnection.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "waitfor.h"

namespace fs = std::filesystem;
using namespace shareddb;
using namespace std::chrono_literals;

namespace {

// Nothing in these tests may take this long: a sync that does has hung.
constexpr auto kHang = 60s;

CMeasRecord makeRecord(int dataNo)
{
    CMeasRecord r;
    r.DataNo = dataNo;
    r.TestVoltage = 1.0;
    r.StartTime = {45000.0 + dataNo / 100.0, OleDateTime::Valid};
    sample::addPoints(r, 1, [dataNo](int) { return 1.0 + dataNo; });
    return r;
}

void addRecord(const std::string& storePath, int dataNo)
{
    CCustomerDB db;
    ASSERT_TRUE(LoadStore(db, storePath).ok);
    sample::setAt(db, "C", "K", "S").InsertRecord(makeRecord(dataNo));
    ASSERT_TRUE(SaveStore(db, storePath).ok);
}

// Polls a condition (a state of the server that nothing announces) for at most kHang.
bool waitFor(const std::function<bool()>& condition)
{
    return testwait::until(condition, kHang, 10ms);
}

// A second session of the test, as another workstation holding locks.
class Session {
public:
    explicit Session(const std::vector<std::pair<std::string, std::string>>& params)
        : m_c(std::make_unique<PgConnection>(params, 600))
    {
    }
    std::string one(const std::string& sql) { return m_c->exec(sql).bytes(0, 0); }
    void exec(const std::string& sql) { m_c->exec(sql); }

private:
    std::unique_ptr<PgConnection> m_c;
};

class SharedDbTimeoutTest : public PgTestCase<> {
protected:
    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        fs::create_directories(m_tmp / "DATA");
        m_target.db.params = server().params(m_db);
        m_target.storePath = (m_tmp / "DATA" / "MXR.DAT").string();
        m_target.statePath = (m_tmp / kStateFileName).string();
        m_target.workstation = "here";
    }

    int64_t records()
    {
        return std::stoll(Session(server().params(m_db)).one("SELECT count(*) FROM records"));
    }
    // Sessions of the test database waiting for a lock.
    bool someoneWaitsForALock()
    {
        return Session(server().params(m_db))
                   .one("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
                        "AND datname = current_database()") != "0";
    }
    // One record on the server and one more in the store, waiting to be sent; the set's row
    // locked by another session.
    std::unique_ptr<Session> aSetLockedByAnotherWorkstation()
    {
        addRecord(m_target.storePath, 1);
        EXPECT_TRUE(RunSync(m_target, SyncMode::Sync).ok);
        addRecord(m_target.storePath, 2);
        auto other = std::make_unique<Session>(server().params(m_db));
        other->exec("BEGIN");
        other->exec("SELECT id FROM sets FOR UPDATE");
        return other;
    }

    SyncTarget m_target;
};

TEST_F(SharedDbTimeoutTest, ALockHeldElsewhereEndsTheSyncWithinTheTimeoutAndTheNextSyncCompletes)
{
    auto other = aSetLockedByAnotherWorkstation();
    const std::string storeBefore = testfile::readAll(m_target.storePath);
    m_target.db.timeoutSeconds = 2;
    const auto start = std::chrono::steady_clock::now();
    const SyncSummary s = RunSync(m_target, SyncMode::Sync);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHang);
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.failure, PgFailure::LockTimeout);
    EXPECT_NE(s.message.find("ほかの端末が同じ測定データを同期している"), std::string::npos)
        << s.message;
    EXPECT_NE(s.message.find("2 秒"), std::string::npos) << s.message;
    EXPECT_NE(s.message.find("canceling statement due to lock timeout"), std::string::npos)
        << s.message;
    EXPECT_EQ(records(), 1); // the set's transaction rolled back
    EXPECT_TRUE(testfile::readAll(m_target.storePath) == storeBefore);

    other.reset(); // the other workstation is done
    const SyncSummary next = RunSync(m_target, SyncMode::Sync);
    EXPECT_TRUE(next.ok) << next.message;
    EXPECT_EQ(next.sent, 1);
    EXPECT_EQ(records(), 2);
}

TEST_F(SharedDbTimeoutTest, AStatementLongerThanTheTimeoutIsEndedByTheServer)
{
    addRecord(m_target.storePath, 1);
    m_target.db.timeoutSeconds = 1;
    SyncHooks hooks;
    hooks.beforeCommit = [](PgConnection& c, int) { c.exec("SELECT pg_sleep(30)"); };
    const SyncSummary s = RunSync(m_target, SyncMode::Sync, hooks);
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.failure, PgFailure::StatementTimeout);
    EXPECT_NE(s.message.find("サーバーの処理が 1 秒以内に終わりませんでした"), std::string::npos)
        << s.message;
    EXPECT_EQ(records(), 0);
    EXPECT_EQ(RunSync(m_target, SyncMode::Sync).sent, 1);
}

// A cancel from another thread ends a sync blocked on a lock or in a long statement, however
// long the time-out; the set in progress is rolled back and the sync reports itself cancelled.
TEST_F(SharedDbTimeoutTest, ACancelFromAnotherThreadEndsABlockedSync)
{
    for (const bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "waiting for a lock" : "in a long statement");
        SetUp();
        std::unique_ptr<Session> other;
        std::promise<void> sleeping;
        SyncHooks hooks;
        if (lock) {
            other = aSetLockedByAnotherWorkstation();
        } else {
            addRecord(m_target.storePath, 1);
            hooks.beforeCommit = [&](PgConnection& c, int) {
                sleeping.set_value();
                c.exec("SELECT pg_sleep(600)");
            };
        }
        const int64_t before = records();
        m_target.db.timeoutSeconds = 600;
        PgCancel cancel;
        hooks.cancel = &cancel;
        hooks.cancelled = [&] { return cancel.requested(); };
        auto running = std::async(std::launch::async,
                                  [&] { return RunSync(m_target, SyncMode::Sync, hooks); });
        if (lock)
            ASSERT_TRUE(waitFor([&] { return someoneWaitsForALock(); }));
        else
            ASSERT_EQ(sleeping.get_future().wait_for(kHang), std::future_status::ready);
        cancel.request();
        ASSERT_EQ(running.wait_for(kHang), std::future_status::ready) << "the sync hangs";
        const SyncSummary s = running.get();
        EXPECT_TRUE(s.ok) << s.message;
        EXPECT_TRUE(s.cancelled);
        EXPECT_EQ(s.sent, 0);
        EXPECT_EQ(records(), before);
        other.reset();
        const SyncSummary next = RunSync(m_target, SyncMode::Sync);
        EXPECT_EQ(next.sent, 1) << next.message;
        TearDown();
    }
}

// A server process that stops answering (frozen, or its machine gone) is given up after the
// time-out and a short grace, even though the server's own time-outs cannot fire.
TEST_F(SharedDbTimeoutTest, ASilentServerIsGivenUp)
{
    addRecord(m_target.storePath, 1);
    m_target.db.timeoutSeconds = 1;
    int frozen = 0;
    SyncHooks hooks;
    hooks.beforeCommit = [&](PgConnection& c, int) {
        frozen = c.backendPid();
        ASSERT_EQ(::kill(frozen, SIGSTOP), 0);
    };
    const SyncSummary s = RunSync(m_target, SyncMode::Sync, hooks);
    ::kill(frozen, SIGCONT);
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.failure, PgFailure::NoResponse);
    EXPECT_NE(s.message.find("サーバーが 1 秒以上応答しません"), std::string::npos) << s.message;
    // The server process may still commit what it had been sent once it runs again; either
    // way the next sync completes, each record once.
    const SyncSummary next = RunSync(m_target, SyncMode::Sync);
    EXPECT_TRUE(next.ok) << next.message;
    EXPECT_EQ(records(), 1);
}

// A listening socket that never answers: libpq's connection waits for the server's reply.
TEST_F(SharedDbTimeoutTest, AServerThatNeverCompletesTheConnectionTimesOut)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = (m_tmp / ".s.PGSQL.7").string();
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    m_target.db.params = {{"host", m_tmp.string()}, {"port", "7"}, {"dbname", m_db}};
    m_target.db.timeoutSeconds = 1;
    const SyncSummary s = RunSync(m_target, SyncMode::Sync);
    ::close(fd);
    EXPECT_EQ(s.failure, PgFailure::ConnectTimeout);
    EXPECT_NE(s.message.find("サーバーが 1 秒以内に応答しませんでした"), std::string::npos)
        << s.message;
}

// The common failures, each told with what to check and the server's own text as 詳細.
TEST_F(SharedDbTimeoutTest, FailuresSayWhatToCheck)
{
    addRecord(m_target.storePath, 1);
    const std::string storeBefore = testfile::readAll(m_target.storePath);
    // The server may be shared with other programs of the run: the role may be there already.
    ASSERT_TRUE(server().sql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                             "'limited') THEN CREATE ROLE limited LOGIN; END IF; END $$"));
    const std::string empty = server().createDatabase();
    const std::string pwSocket = server().passwordSocketDir();
    const std::string port = std::to_string(server().port());
    const fs::path loosePass = m_tmp / "pgpass";
    testfile::writeAll(loosePass, pwSocket + ":" + port + ":*:pwuser:right-password\n");
    ::chmod(loosePass.c_str(), 0644);

    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> params;
        PgFailure failure;
        std::vector<std::string> says; // parts of the message
        std::function<void(PgConnection&, int)> beforeCommit = {};
    };
    auto on = [&](const std::string& socket, const std::string& user, const std::string& db) {
        return std::vector<std::pair<std::string, std::string>>{
            {"host", socket}, {"port", port}, {"user", user}, {"dbname", db}};
    };
    auto withPass = [](std::vector<std::pair<std::string, std::string>> p, const std::string& k,
                       const std::string& v) {
        p.emplace_back(k, v);
        return p;
    };
    const Case cases[] = {
        {"server not running",
         {{"host", (m_tmp / "none").string()}, {"port", "5"}, {"dbname", m_db}},
         PgFailure::Unreachable,
         {"共有データベースに接続できません", "サーバーが起動しているか",
          "詳細:\nconnection to server on socket", "No such file or directory"}},
        {"wrong password",
         withPass(on(pwSocket, "pwuser", m_db), "password", "nope"),
         PgFailure::WrongPassword,
         {"ユーザー「pwuser」のパスワードが違います", "password authentication failed"}},
        {"password file ignored for its mode",
         withPass(on(pwSocket, "pwuser", m_db), "passfile", loosePass.string()),
         PgFailure::NoPassword,
         {"パスワードファイルの権限を 0600", "has group or world access", "no password supplied"}},
        {"unknown role",
         on(server().socketDir(), "ghost", m_db),
         PgFailure::NotAllowed,
         {"ユーザー「ghost」のこの端末からの接続を許可していません",
          "role \"ghost\" does not exist"}},
        {"unknown database",
         on(server().socketDir(), server().user(), "nope"),
         PgFailure::UnknownDatabase,
         {"データベース「nope」がありません", "database \"nope\" does not exist"}},
        {"no tables",
         on(server().socketDir(), server().user(), empty),
         PgFailure::NoSchema,
         {"db init"}},
        {"no rights on the tables",
         on(server().socketDir(), "limited", m_db),
         PgFailure::PermissionDenied,
         {"同期に必要な権限", "permission denied for table mxr_schema"}},
        {"connection lost mid-sync",
         server().params(m_db),
         PgFailure::ConnectionLost,
         {"接続が途中で切れました", "データファイルは変更していません",
          "terminating connection due to administrator command"},
         [&](PgConnection& c, int) {
             server().sql("SELECT pg_terminate_backend(" + std::to_string(c.backendPid()) + ")");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncTarget t = m_target;
        t.db.params = c.params;
        SyncHooks hooks;
        hooks.beforeCommit = c.beforeCommit;
        const SyncSummary s = RunSync(t, SyncMode::Sync, hooks);
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.failure, c.failure) << FailureCode(s.failure) << "\n" << s.message;
        for (const std::string& part : c.says)
            EXPECT_NE(s.message.find(part), std::string::npos) << part << "\n" << s.message;
        EXPECT_EQ(s.message.find("\n\t"), std::string::npos) << s.message; // no stray indent
        EXPECT_EQ(s.message.find("LOCATION"), std::string::npos) << s.message;
        EXPECT_TRUE(testfile::readAll(m_target.storePath) == storeBefore);
    }
    // The same password file with the mode libpq wants is used.
    ::chmod(loosePass.c_str(), 0600);
    SyncTarget t = m_target;
    t.db.params = withPass(on(pwSocket, "pwuser", m_db), "passfile", loosePass.string());
    const SyncSummary s = RunSync(t, SyncMode::Push);
    EXPECT_TRUE(s.ok) << s.message;
}

TEST(SharedDbSettings, TimeoutIsReadAndNeverWritten)
{
    const fs::path ini =
        fs::temp_directory_path() / ("mxr-timeout-ini-" + std::to_string(getpid()));
    const struct {
        const char* value;
        int seconds;
    } cases[] = {{nullptr, 30}, {"2", 2},    {" 7 ", 7}, {"0", 30},
                 {"-5", 30},    {"abc", 30}, {"5s", 30}, {"99999", 3600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        const std::string text = std::string("[SharedDB]\r\nhost=/run/x\r\n") +
                                 (c.value ? std::string("timeout=") + c.value + "\r\n" : "");
        testfile::writeAll(ini, text);
        const DbSettings s = ReadDbSettings(ini.string());
        EXPECT_EQ(s.timeoutSeconds, c.seconds);
        EXPECT_EQ(s.Describe(), "host=/run/x");
        EXPECT_EQ(testfile::readAll(ini), text);
    }
    fs::remove(ini);
}

} // namespace
