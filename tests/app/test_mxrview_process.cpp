// MXRView as a process: the first start, a normal exit on SIGTERM, a killed run reported at the
// next start, and the single instance.
#include "model/cp932text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "fileutil.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testfile::readAll;

// Polls a condition every 20 ms for at most the limit.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class MXRViewProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_apptest_XXXXXX";
        m_home = mkdtemp(tmpl);
    }
    void TearDown() override
    {
        for (pid_t pid : m_started) {
            if (::kill(pid, 0) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
        fs::remove_all(m_home);
    }

    pid_t start()
    {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            unsetenv("MXRVIEW_HOME");
            const std::string home = m_home.string();
            execl(MXRVIEW_PATH, "MXRView", "--home", home.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        m_started.push_back(pid);
        return pid;
    }

    // Exit status of a process, or -1 when it has not ended within the limit.
    static int waitExit(pid_t pid, std::chrono::milliseconds limit = 20s)
    {
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
        if (!ended)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    static bool running(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

    fs::path ini() const { return m_home / "MXRView.INI"; }
    bool runningMarkSet() const
    {
        return readAll(ini()).find("RunningNum=0\r\n") != std::string::npos;
    }
    std::string appLogs() const
    {
        std::string all;
        for (const auto& e : fs::directory_iterator(m_home))
            if (e.path().extension() == ".LOG")
                all += readAll(e.path());
        return all;
    }

    fs::path m_home;
    std::vector<pid_t> m_started;
};

TEST_F(MXRViewProcess, FirstStartThenSigtermIsANormalExitAndASecondStartChangesNothing)
{
    const pid_t first = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    const std::string running = readAll(ini());
    EXPECT_NE(running.find("Version=" MXR_VERSION_TEXT "\r\n"), std::string::npos);
    EXPECT_NE(running.find(cp932::lit("通信ログ出力(0:しない,1:する)=0\r\n")), std::string::npos);
    EXPECT_EQ(readAll(m_home / "system.ini"),
              readAll(fs::path(MXR_TEST_DATA_DIR) / "app" / "first_load_system.ini"));

    ::kill(first, SIGTERM);
    ASSERT_EQ(waitExit(first), 0);
    const std::string afterExit = readAll(ini());
    EXPECT_NE(afterExit.find("RunningNum=15685\r\n"), std::string::npos);
    EXPECT_EQ(appLogs().find(cp932::lit("前回異常終了")), std::string::npos);

    const pid_t second = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    ::kill(second, SIGINT);
    ASSERT_EQ(waitExit(second), 0);
    EXPECT_EQ(readAll(ini()), afterExit);
}

TEST_F(MXRViewProcess, KilledRunIsReportedAtTheNextStart)
{
    const pid_t first = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    ::kill(first, SIGKILL);
    waitExit(first);
    EXPECT_TRUE(runningMarkSet());

    const pid_t second = start();
    ASSERT_TRUE(
        waitFor([&] { return appLogs().find(cp932::lit("前回異常終了")) != std::string::npos; }));
    EXPECT_TRUE(waitFor([&] { return runningMarkSet(); }));
    ::kill(second, SIGTERM);
    EXPECT_EQ(waitExit(second), 0);
}

TEST_F(MXRViewProcess, SecondCopyEndsAndTheFirstKeepsRunning)
{
    const pid_t first = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    const pid_t second = start();
    EXPECT_EQ(waitExit(second), 0);
    EXPECT_TRUE(running(first));
    ::kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first), 0);
}

TEST_F(MXRViewProcess, TwoCopiesStartedTogetherLeaveOne)
{
    const pid_t a = start();
    const pid_t b = start();
    int status = 0;
    pid_t ended = 0;
    ASSERT_TRUE(waitFor([&] {
        ended = ::waitpid(-1, &status, WNOHANG);
        return ended == a || ended == b;
    }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const pid_t survivor = ended == a ? b : a;
    EXPECT_TRUE(waitFor([&] { return runningMarkSet(); }));
    EXPECT_TRUE(running(survivor));
    ::kill(survivor, SIGTERM);
    EXPECT_EQ(waitExit(survivor), 0);
}

} // namespace
