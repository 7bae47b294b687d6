// Demo mode: the sample store, the prepared folder, and MXRView --demo as a process whose
// emulator pty a real reception reads.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "../link/linktestutil.h"
#include "settings/appsettings.h"
#include "app/demodata.h"
#include "fileutil.h"
#include "store/store.h"
#include "waitfor.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/mxr_demotest_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s)
{
    return testwait::until(condition, limit);
}

} // namespace

TEST(DemoStore, CoversWhatADemonstrationShows)
{
    const CCustomerDB db = demo::BuildStore();
    ASSERT_GE(db.customers.Count(), 3);
    std::set<int32_t> kinds;
    std::set<Judgment> judgments;
    std::set<int> years;
    bool kicks = false;
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& customer = db.customers.At(c);
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            EXPECT_GE(cable.sets.Count(), 9) << "three years of R, S and T";
            for (int s = 0; s < cable.sets.Count(); ++s) {
                const CMeasData& set = cable.sets.At(s);
                ASSERT_GE(set.RecordCount(), 3u) << "a step test";
                for (std::size_t i = 0; i < set.RecordCount(); ++i) {
                    const CMeasRecord& r = set.RecordAt(i);
                    EXPECT_TRUE(r.IsComplete());
                    if (i > 0) {
                        EXPECT_GT(r.TestVoltage, set.RecordAt(i - 1).TestVoltage);
                    }
                    kinds.insert(r.Condition.CabKind);
                    years.insert(r.StartTime.toCalendar()->year);
                    judgments.insert(JudgeLowIsGood(r.LastCurrent, r.Condition.LastCurrentMin,
                                                    r.Condition.LastCurrentMax));
                    kicks = kicks || !r.Triggers.empty();
                }
                EXPECT_NE(set.RecordAt(1).SeikyokuRatio, UNSET_VALUE) << "ratios computed";
            }
        }
    }
    EXPECT_EQ(kinds, (std::set<int32_t>{CabKindR, CabKindS, CabKindT}));
    EXPECT_EQ(judgments, (std::set<Judgment>{Judgment::Good, Judgment::Caution, Judgment::Bad}));
    EXPECT_GE(years.size(), 3u);
    EXPECT_TRUE(kicks);

    // What the program saves, it reads back unchanged.
    CCustomerDB back;
    ASSERT_TRUE(LoadStoreFromBytes(back, SaveStoreToBytes(db)).ok);
    EXPECT_EQ(back, db);
}

TEST(DemoFolder, MapsTheSelectedPortAndKeepsAStoreAlreadyThere)
{
    TempDir tmp;
    const fs::path folder = tmp.path / "demo";
    std::string error;
    ASSERT_TRUE(demo::PrepareFolder(folder.string(), "MXRView", "/dev/pts/91", error)) << error;
    CCustomerDB db;
    ASSERT_TRUE(LoadStore(db, (folder / "DATA/MXR.DAT").string()).ok);
    EXPECT_EQ(db, demo::BuildStore());
    EXPECT_EQ(PortOverrides((folder / "MXRView.INI").string()),
              (std::map<int, std::string>{{1, "/dev/pts/91"}}));

    // A kept demo folder: the user's changes (another port, fewer customers) stay; the new
    // pty goes to the port now selected.
    db.comm.port = 3;
    db.customers.RemoveAt(0);
    ASSERT_TRUE(SaveStore(db, (folder / "DATA/MXR.DAT").string()).ok);
    ASSERT_TRUE(demo::PrepareFolder(folder.string(), "MXRView", "/dev/pts/92", error)) << error;
    CCustomerDB again;
    ASSERT_TRUE(LoadStore(again, (folder / "DATA/MXR.DAT").string()).ok);
    EXPECT_EQ(again, db);
    EXPECT_EQ(PortOverrides((folder / "MXRView.INI").string()).at(3), "/dev/pts/92");

    // A folder that cannot be made is an error, not a crash.
    testfile::writeAll(tmp.path / "file", "x");
    EXPECT_FALSE(
        demo::PrepareFolder((tmp.path / "file/sub").string(), "MXRView", "/dev/null", error));
    EXPECT_FALSE(error.empty());
}

// MXRView --demo: its pty answers a real reception on the mapped port at every opening, the
// user's own folder stays untouched, and the temporary folder is gone after a normal exit.
TEST(DemoProcess, ReceptionGetsTheDumpTwiceAndExitRemovesTheFolder)
{
    TempDir tmp;
    const fs::path tmpRoot = tmp.path / "tmp";
    const fs::path userHome = tmp.path / "userhome";
    fs::create_directories(tmpRoot);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("TMPDIR", tmpRoot.c_str(), 1);
        ::setenv("MXRVIEW_HOME", userHome.c_str(), 1);
        ::execl(MXRVIEW_PATH, "MXRView", "--demo", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // A failed check must not leave the program running.
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    } reaper{pid};
    fs::path folder;
    const auto started = [&] {
        for (const auto& e : fs::directory_iterator(tmpRoot))
            if (testfile::readAll(e.path() / "MXRView.INI").find("RunningNum=0\r\n") !=
                std::string::npos) {
                folder = e.path();
                return true;
            }
        return false;
    };
    ASSERT_TRUE(waitFor(started)) << "no demo folder under " << tmpRoot;

    const auto ports = PortOverrides((folder / "MXRView.INI").string());
    ASSERT_EQ(ports.count(1), 1u);
    const TesterEmulator expected(demo::DumpOptions());
    for (int round = 0; round < 2; ++round) {
        CollectingListener listener;
        ReceptionWorker worker{listener};
        listener.worker = &worker;
        dynamic_cast<CxSerialPort&>(worker.Port()).SetPortMap(ports);
        ReceptionOptions o;
        o.mode = ReceptionMode::Serial;
        o.comm.port = 1;
        o.pauses = fastPauses();
        worker.Start(o);
        ASSERT_TRUE(listener.waitFinished(60s)) << "round " << round;
        EXPECT_TRUE(listener.success()) << "round " << round;
        EXPECT_EQ(worker.TakeRecords(), expected.expected()) << "round " << round;
    }

    ::kill(pid, SIGTERM);
    int status = -1;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(userHome));
}
