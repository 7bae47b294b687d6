// The data store on disk: first run, folders, exclusive opening, atomic saving, set-aside.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "store/archive.h"
#include "store/storeformat.h"
#include "storetesthelp.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

const std::string& sj(std::string_view utf8)
{
    return cp932::lit(utf8);
}

const StoreOptions kShortWait{300, 20, true};

using StoreFile = storetest::FolderTest;

// Holds an exclusive advisory lock on a file, as another copy of the program would.
class OtherCopy {
public:
    explicit OtherCopy(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY))
    {
        ::flock(m_fd, LOCK_EX);
    }
    ~OtherCopy() { release(); }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

TEST_F(StoreFile, MissingFileIsAnEmptyStoreAndFoldersAreCreatedOnSave)
{
    CCustomerDB db = sampleTree(2, 1, 3);
    db.comm.baudRate = 9600;
    const std::string path = dir + "\\DATA\\sub\\MXR.DAT"; // backslashes as on Windows
    StoreOutcome out = LoadStore(db, path);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.version, 6);
    EXPECT_EQ(db.customers.Count(), 0);
    EXPECT_EQ(db.comm.baudRate, 9600); // the settings keep their values

    db = sampleTree(2, 1, 3);
    ASSERT_TRUE(SaveStore(db, path).ok);
    EXPECT_TRUE(fs::is_regular_file(dir + "/DATA/sub/MXR.DAT"));
    CCustomerDB back;
    ASSERT_TRUE(LoadStore(back, path).ok);
    EXPECT_EQ(back, db);
    EXPECT_EQ(filesIn(dir + "/DATA/sub"), std::vector<std::string>{"MXR.DAT"});
}

TEST_F(StoreFile, ALockedFileIsWaitedForThenRefused)
{
    const std::string path = dir + "/MXR.DAT";
    writeFile(path, fixture("canonical.dat"));
    {
        OtherCopy other(path);
        CCustomerDB db;
        const auto start = std::chrono::steady_clock::now();
        StoreOutcome out = LoadStore(db, path, kShortWait);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
        EXPECT_EQ(out.status, StoreStatus::OpenFailed);
        EXPECT_EQ(out.message, sj("ファイルを開くことが出来ません\n") + path);
        EXPECT_FALSE(out.unreadable); // in use, not damaged
        EXPECT_EQ(SaveStore(db, path, kShortWait).status, StoreStatus::OpenFailed);
    }
    EXPECT_EQ(readFile(path), fixture("canonical.dat"));

    // Released while waiting: the open goes through.
    OtherCopy other(path);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        other.release();
    });
    CCustomerDB db;
    StoreOutcome out = LoadStore(db, path, StoreOptions{5000, 10, true});
    releaser.join();
    EXPECT_TRUE(out.ok) << cp932::toUtf8(out.message);
    EXPECT_EQ(db.customers.Count(), 4);
}

TEST_F(StoreFile, AFailedSaveLeavesThePreviousFileAsItWas)
{
    const std::string path = dir + "/MXR.DAT";
    writeFile(path, fixture("canonical.dat"));
    ::chmod(path.c_str(), 0640);

    // Writing stops at 64 KiB (as on a full disk): the new data never reaches the target.
    struct rlimit old;
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    StoreOutcome out = SaveStore(sampleTree(10, 5, 1000), path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(out.status, StoreStatus::FileError);
    EXPECT_EQ(out.message, sj("ﾌｧｲﾙｱｸｾｽ異常\nファイルの書き込みに失敗しました(EFBIG)\n") +
                               ".\\DAT_CUSTOMER(180)");
    EXPECT_EQ(readFile(path), fixture("canonical.dat"));
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"MXR.DAT"}); // no temporary left

    ASSERT_TRUE(SaveStore(sampleTree(1, 1, 1), path).ok);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Something that is not a file is never replaced.
    fs::create_directory(dir + "/folder");
    EXPECT_EQ(SaveStore(CCustomerDB(), dir + "/folder").status, StoreStatus::OpenFailed);
    EXPECT_TRUE(fs::is_directory(dir + "/folder"));
}

TEST_F(StoreFile, UnreadableOwnStoreIsSetAsideBeforeAnythingIsSaved)
{
    const std::string path = dir + "/MXR.DAT";
    std::string damaged = fixture("canonical.dat");
    damaged.resize(damaged.size() - 3); // inside the last customer
    writeFile(path, damaged);

    CCustomerDB db;
    StoreOutcome plain = LoadStore(db, path); // as the import reads a chosen file
    EXPECT_TRUE(plain.unreadable);
    EXPECT_TRUE(plain.setAsidePath.empty());
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"MXR.DAT"});

    StoreOutcome own = LoadOwnStore(db, path);
    EXPECT_EQ(own.status, StoreStatus::ArchiveError);
    ASSERT_FALSE(own.setAsidePath.empty());
    EXPECT_EQ(readFile(own.setAsidePath), damaged);
    EXPECT_EQ(db.customers.Count(), 3); // what was read before the damage

    // Named after the file and the time; a second copy in the same second gets a suffix.
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 13;
    t.tm_min = 45;
    t.tm_sec = 1;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    EXPECT_EQ(SetAsideUnreadableStore(path, when), path + ".unreadable-20261210-134501");
    EXPECT_EQ(SetAsideUnreadableStore(path, when), path + ".unreadable-20261210-134501-2");

    // A refused signature or version is set aside as well; a missing file is not.
    for (const std::string& bytes : {std::string("not a store"), Bytes().header(5).b}) {
        writeFile(path, bytes);
        StoreOutcome out = LoadOwnStore(db, path);
        EXPECT_FALSE(out.setAsidePath.empty());
        EXPECT_EQ(readFile(out.setAsidePath), bytes);
    }
    EXPECT_TRUE(LoadOwnStore(db, dir + "/none.dat").setAsidePath.empty());
}

} // namespace

// The reader takes runs of whole points straight from its buffer and reads a text value or a
// point cut by the buffer's end on its own: every cut of the stream gives the same tree.
TEST_F(StoreFile, EveryBufferSizeReadsTheSameTree)
{
    CCustomerDB mixed = sampleTree(1, 2, 0);
    CMeasRecord& r = mixed.customers.At(0).cables.At(0).sets.At(0).RecordAt(0);
    for (int i = 0; i < 300; ++i) {
        CMeasPoint p{CDataValue(0.25 * i), 0.2 * i};
        if (i % 7 == 3 || i % 11 == 0) // text values at many offsets, also back to back
            p.value.setText(i % 2 ? CDataValue::Text : CDataValue::TextNoNumber,
                            std::string(static_cast<std::size_t>(i % 5), 'a' + i % 26));
        else if (i % 13 == 0)
            p.value.setRaw(CDataValue::Int32, 0xA5A5A5A500000000u + static_cast<unsigned>(i));
        r.Points.push_back(p);
    }
    for (const std::string& bytes : {SaveStoreToBytes(mixed), fixture("canonical.dat")}) {
        const std::string path = dir + "/MXR.DAT";
        writeFile(path, bytes);
        CCustomerDB expected;
        ASSERT_TRUE(LoadStoreFromBytes(expected, bytes).ok);
        for (std::size_t bufferSize : {8u, 20u, 21u, 39u, 64u, 4096u}) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            mxrstore::ArchiveReader in(fd, bytes.size(), bufferSize);
            int32_t version = 0;
            CCustomerDB db;
            ASSERT_EQ(mxrstore::ReadHeader(in, version), mxrstore::HeaderResult::Ok);
            mxrstore::ReadBody(in, version, db);
            ::close(fd);
            EXPECT_EQ(db, expected) << "buffer " << bufferSize;
            EXPECT_EQ(SaveStoreToBytes(db), bytes) << "buffer " << bufferSize;
        }
    }
}
