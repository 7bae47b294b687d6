// MXRView as a process: the first start, a normal exit on SIGTERM, a killed run reported at the
// next start, and the single instance.
#include "model/cp932text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "fileutil.h"
#include "smalltmpfs.h"
#include "waitfor.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testfile::readAll;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s)
{
    return testwait::until(condition, limit);
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

    pid_t start() { return start(m_home); }
    pid_t start(const fs::path& folder)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            unsetenv("MXRVIEW_HOME");
            const std::string home = folder.string();
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
    bool runningMarkSet() const { return runningMarkSetIn(m_home); }
    static bool runningMarkSetIn(const fs::path& folder)
    {
        return readAll(folder / "MXRView.INI").find("RunningNum=0\r\n") != std::string::npos;
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

TEST_F(MXRViewProcess, ASymlinkedFolderIsTheSameInstance)
{
    const fs::path link = m_home.string() + "_link";
    fs::create_directory_symlink(m_home, link);
    const pid_t first = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    const pid_t second = start(link);
    EXPECT_EQ(waitExit(second), 0);
    EXPECT_TRUE(running(first));
    ::kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first), 0);
    fs::remove(link);
}

TEST_F(MXRViewProcess, TemporariesOfKilledWritersAreRemovedAtStartUp)
{
    // A real writer that was killed: its process id is gone.
    const pid_t killed = fork();
    if (killed == 0) {
        for (;;)
            ::pause();
    }
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    fs::create_directories(m_home / "DATA");
    const std::string dead = ".tmp-" + std::to_string(killed) + "-0";
    const std::string alive = ".tmp-" + std::to_string(::getpid()) + "-0";
    for (const fs::path& p : {m_home / ("MXRView.INI" + dead), m_home / ("DATA/MXR.DAT" + dead),
                              m_home / ("DATA/MXR.DAT" + alive)})
        testfile::writeAll(p, std::string(1000, 'x'));

    const pid_t app = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    EXPECT_TRUE(waitFor([&] { return !fs::exists(m_home / ("DATA/MXR.DAT" + dead)); }));
    EXPECT_FALSE(fs::exists(m_home / ("MXRView.INI" + dead)));
    EXPECT_TRUE(fs::exists(m_home / ("DATA/MXR.DAT" + alive)));
    ::kill(app, SIGTERM);
    EXPECT_EQ(waitExit(app), 0);
}

TEST_F(MXRViewProcess, AFullDiskAtExitIsToldAndTheProgramEndsNormally)
{
    SmallTmpfs disk("1m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const fs::path home = disk.path();
    const pid_t app = start(home);
    ASSERT_TRUE(waitFor([&] { return runningMarkSetIn(home); }));
    disk.fill();

    ::kill(app, SIGTERM);
    EXPECT_EQ(waitExit(app), 0);         // not an abort
    EXPECT_TRUE(runningMarkSetIn(home)); // the exit mark could not be written
    for (const auto& e : fs::recursive_directory_iterator(home))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST_F(MXRViewProcess, SigtermWithAReadOnlyStoreEndsWithoutAnswersAndKeepsBothFiles)
{
    // A store that is not read completely makes the program read-only; a termination signal
    // leaves nobody to answer the save question, so the tree goes beside the store.
    fs::create_directories(m_home / "DATA");
    const std::string damaged = "not a store";
    testfile::writeAll(m_home / "DATA/MXR.DAT", damaged);
    const pid_t app = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    ::kill(app, SIGTERM);
    EXPECT_EQ(waitExit(app), 0);
    EXPECT_EQ(readAll(m_home / "DATA/MXR.DAT"), damaged);
    int unsaved = 0;
    for (const auto& e : fs::directory_iterator(m_home / "DATA"))
        unsaved += e.path().filename().string().rfind("MXR.DAT.unsaved-", 0) == 0;
    EXPECT_EQ(unsaved, 1);
}

} // namespace

namespace {

// Whether the process has installed a handler for SIGTERM (its start-up reached that point).
bool catchesSigterm(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

// Every file under folder but the logs (which the running copy may write) with its bytes.
std::map<std::string, std::string> filesBesideLogs(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() != ".LOG")
            files[e.path().string()] = readAll(e.path());
    return files;
}

} // namespace

TEST_F(MXRViewProcess, AViewingCopyRunsBesideTheFirstAndWritesNothing)
{
    const pid_t first = start();
    ASSERT_TRUE(waitFor([&] { return runningMarkSet(); }));
    const fs::path viewed = m_home.parent_path() / (m_home.filename().string() + "_viewed.dat");
    fs::copy_file(fs::path(MXR_TEST_DATA_DIR) / "store" / "canonical.dat", viewed,
                  fs::copy_options::overwrite_existing);
    const std::string viewedBytes = readAll(viewed);
    const auto before = filesBesideLogs(m_home);

    const pid_t viewer = fork();
    if (viewer == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string home = m_home.string(), file = viewed.string();
        execl(MXRVIEW_PATH, "MXRView", "--home", home.c_str(), file.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    m_started.push_back(viewer);
    ASSERT_TRUE(waitFor([&] { return catchesSigterm(viewer); }));
    EXPECT_TRUE(running(viewer)) << "a viewing copy is no second copy of the program";
    ::kill(viewer, SIGTERM);
    EXPECT_EQ(waitExit(viewer), 0);

    EXPECT_TRUE(running(first));
    EXPECT_TRUE(filesBesideLogs(m_home) == before) << "settings and store untouched";
    EXPECT_EQ(readAll(viewed), viewedBytes);
    fs::remove(viewed);
    ::kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first), 0);
}
