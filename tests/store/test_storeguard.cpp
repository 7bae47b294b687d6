// What keeps the user's store when the world misbehaves: saves killed half-way, another writer
// changing the file between our load and our save, a write that fails or a disk that is full.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "model/safefile.h"
#include "smalltmpfs.h"
#include "storetesthelp.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

class StoreGuard : public storetest::FolderTest {
protected:
    void TearDown() override
    {
        safefile::SetInjectedWriteError(0);
        for (pid_t pid : children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        FolderTest::TearDown();
    }

    // Starts a real process that saves to target and stops in the middle of writing: it
    // kills itself there (a killed save), or waits until it is killed (a save in progress).
    // Returns once the temporary file exists.
    pid_t startSave(const std::string& target, bool dieMidway)
    {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            safefile::ReplaceFile(target, {0, 0}, false, [&](int fd) {
                safefile::WriteAll(fd, std::string(4096, 'x'));
                if (dieMidway)
                    ::kill(::getpid(), SIGKILL);
                [[maybe_unused]] ssize_t n = ::write(ready[1], "r", 1);
                for (;;)
                    ::pause();
            });
            ::_exit(0);
        }
        ::close(ready[1]);
        if (dieMidway) {
            ::waitpid(pid, nullptr, 0);
        } else {
            char c;
            EXPECT_EQ(::read(ready[0], &c, 1), 1);
            children.push_back(pid);
        }
        ::close(ready[0]);
        return pid;
    }

    // The temporary file the writer pid made for target, "" when there is none.
    std::string temporaryOf(const std::string& target, pid_t pid) const
    {
        const std::string prefix =
            fs::path(target).filename().string() + ".tmp-" + std::to_string(pid) + "-";
        for (const auto& e : fs::directory_iterator(fs::path(target).parent_path()))
            if (e.path().filename().string().rfind(prefix, 0) == 0)
                return e.path().string();
        return {};
    }

    std::vector<pid_t> children;
};

TEST_F(StoreGuard, TemporariesOfKilledSavesAreRemovedAndLiveOnesKept)
{
    const std::string store = dir + "/MXR.DAT";
    writeFile(store, fixture("canonical.dat"));
    const pid_t killed = startSave(store, true);
    const pid_t killedToo = startSave(dir + "/MXRView.INI", true);
    const pid_t live = startSave(dir + "/other.DAT", false);
    const std::string liveTemporary = temporaryOf(dir + "/other.DAT", live);
    for (const std::string& left :
         {temporaryOf(store, killed), temporaryOf(dir + "/MXRView.INI", killedToo), liveTemporary})
        ASSERT_NE(left, "");
    EXPECT_EQ(readFile(store), fixture("canonical.dat")); // the killed save changed nothing
    // Names that only look alike are not ours.
    for (const char* other : {"notes.tmp-12", "x.tmp-abc-1", "y.tmp--1", ".tmp-1-1"})
        writeFile(dir + "/" + other, "keep");

    // The next save of the store clears its temporaries whose writer is gone.
    const std::string iniTemporary = temporaryOf(dir + "/MXRView.INI", killedToo);
    ASSERT_TRUE(SaveStore(sampleTree(1, 1, 3), store).ok);
    EXPECT_EQ(filesIn(dir),
              (std::vector<std::string>{".tmp-1-1", "MXR.DAT", fs::path(iniTemporary).filename(),
                                        "notes.tmp-12", fs::path(liveTemporary).filename(),
                                        "x.tmp-abc-1", "y.tmp--1"}));

    // The start-up clears the whole folder; a writer still running keeps its file until it
    // is gone as well.
    EXPECT_EQ(safefile::RemoveStaleTemporaries(dir), 1);
    EXPECT_TRUE(fs::exists(liveTemporary));
    ::kill(live, SIGKILL);
    ::waitpid(live, nullptr, 0);
    children.clear();
    EXPECT_EQ(safefile::RemoveStaleTemporaries(dir), 1);
    EXPECT_FALSE(fs::exists(liveTemporary));
}

TEST_F(StoreGuard, AFileChangedSinceItWasReadIsKeptAsideBeforeTheSave)
{
    const std::string path = dir + "/MXR.DAT";
    const std::string theirs = SaveStoreToBytes(sampleTree(3, 1, 2));
    struct Case {
        const char* name;
        bool existsAtLoad;
        std::function<void()> otherWriter; // what happens between our load and our save
        bool keptAside;
    };
    const Case cases[] = {
        {"unchanged", true, [] {}, false},
        {"replaced by another program's save", true,
         [&] { ASSERT_TRUE(SaveStore(sampleTree(3, 1, 2), path).ok); }, true},
        {"written in place", true,
         [&] {
             std::ofstream f(path, std::ios::binary | std::ios::app);
             f << "tail";
         },
         true},
        {"created by another program", false, [&] { writeFile(path, theirs); }, true},
        {"deleted", true, [&] { fs::remove(path); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        fs::create_directory(dir);
        if (c.existsAtLoad)
            writeFile(path, fixture("canonical.dat"));
        CCustomerDB db;
        const StoreOutcome loaded = LoadStore(db, path);
        ASSERT_TRUE(loaded.ok);
        EXPECT_EQ(loaded.identity.exists, c.existsAtLoad);
        c.otherWriter();
        const std::string onDisk = fs::exists(path) ? readFile(path) : "";

        db.comm.baudRate = 9600; // our change
        const StoreOutcome saved = SaveOwnStore(db, path, loaded.identity);
        ASSERT_TRUE(saved.ok) << cp932::toUtf8(saved.message);
        EXPECT_EQ(readFile(path), SaveStoreToBytes(db));
        EXPECT_EQ(saved.identity, IdentityOfPath(path));
        if (c.keptAside) {
            ASSERT_NE(saved.changedAsidePath.find(path + ".changed-"), std::string::npos);
            EXPECT_EQ(readFile(saved.changedAsidePath), onDisk);
        } else {
            EXPECT_EQ(saved.changedAsidePath, "");
            EXPECT_EQ(filesIn(dir), std::vector<std::string>{"MXR.DAT"});
        }
        // Our own save is what we compare with next time: no copy.
        EXPECT_EQ(SaveOwnStore(db, path, saved.identity).changedAsidePath, "");
    }
}

TEST_F(StoreGuard, AFailedWriteIsAFailureThatLeavesTheOldFile)
{
    const std::string path = dir + "/MXR.DAT";
    writeFile(path, fixture("canonical.dat"));
    safefile::SetInjectedWriteError(ENOSPC);
    const StoreOutcome out = SaveStore(sampleTree(2, 1, 3), path);
    safefile::SetInjectedWriteError(0);
    EXPECT_EQ(out.status, StoreStatus::FileError);
    EXPECT_EQ(out.message, cp932::lit("ﾌｧｲﾙｱｸｾｽ異常\nディスクの空き容量が不足しています\n") +
                               ".\\DAT_CUSTOMER(180)");
    EXPECT_EQ(readFile(path), fixture("canonical.dat"));
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"MXR.DAT"});
}

TEST_F(StoreGuard, AFullDiskIsAFailureThatLeavesTheOldFile)
{
    SmallTmpfs disk("256k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const std::string path = disk.path() + "/DATA/MXR.DAT";
    const CCustomerDB small = sampleTree(1, 1, 3);
    ASSERT_TRUE(SaveStore(small, path).ok);
    const std::string before = readFile(path);

    // Larger than the whole disk, then a small one on a disk filled to the last block.
    for (bool fillFirst : {false, true}) {
        SCOPED_TRACE(fillFirst ? "filled disk" : "too large");
        if (fillFirst)
            disk.fill();
        const StoreOutcome out =
            SaveStore(fillFirst ? sampleTree(2, 1, 3) : sampleTree(10, 5, 1000), path);
        EXPECT_EQ(out.status, StoreStatus::FileError);
        EXPECT_NE(out.message.find(cp932::lit("ディスクの空き容量が不足しています")),
                  std::string::npos);
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(filesIn(disk.path() + "/DATA"), std::vector<std::string>{"MXR.DAT"});
    }
}

} // namespace
