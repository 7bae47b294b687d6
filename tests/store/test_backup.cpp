// Backups of the data store: naming, rotation, listing, restore, and failures on a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sys/mount.h>

#include "smalltmpfs.h"
#include "store/backup.h"
#include "storetesthelp.h"

namespace fs = std::filesystem;
using namespace storebackup;

namespace {

std::time_t localTime(int y, int mo, int d, int h = 12, int mi = 0, int s = 0)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("mxr_backup_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_store = (m_dir / "MXR.DAT").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::vector<std::string> backupNames() const
    {
        std::vector<std::string> names;
        if (fs::exists(m_dir / "backup"))
            for (const auto& e : fs::directory_iterator(m_dir / "backup"))
                if (e.path().filename() != kCreationOrderFile)
                    names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_dir;
    std::string m_store;
};

} // namespace

TEST(BackupNames, RoundTripAndRejectOthers)
{
    const std::time_t t = localTime(2026, 3, 4, 5, 6, 7);
    EXPECT_EQ(BackupName(t), "MXR-20260304-050607.DAT");
    EXPECT_EQ(BackupName(t, 2), "MXR-20260304-050607-2.DAT");
    std::tm tm{};
    ASSERT_TRUE(ParseBackupName("MXR-20260304-050607-2.DAT", tm));
    EXPECT_EQ(tm.tm_mday, 4);
    EXPECT_EQ(tm.tm_sec, 7);
    for (const char* bad : {"MXR-20260304-050607.DAT.tmp-1-1", "MXR-2026034-050607.DAT",
                            "MXR-20261304-050607.DAT", "MXR-20260304-050607-1.DAT",
                            "MXR-20260304-0506x7.DAT", "notes.txt", "MXR-20260304-050607-.DAT"})
        EXPECT_FALSE(ParseBackupName(bad, tm)) << bad;
}

TEST(BackupRotation, Table)
{
    struct Case {
        const char* what;
        std::vector<std::string> names;
        BackupPolicy policy;
        std::vector<std::string> removed; // sorted
    };
    const std::time_t now = localTime(2026, 12, 10);
    // Twelve days of December, one backup a day.
    std::vector<std::string> december;
    for (int d = 1; d <= 12; ++d)
        december.push_back(BackupName(localTime(2026, 12, d)));
    // Many backups today, one on each of three earlier days.
    std::vector<std::string> busyDay = {BackupName(localTime(2026, 12, 7)),
                                        BackupName(localTime(2026, 12, 8)),
                                        BackupName(localTime(2026, 12, 9))};
    for (int s = 0; s < 5; ++s)
        busyDay.push_back(BackupName(localTime(2026, 12, 10, 9, 0, s)));
    // One backup on two days of each month of two years.
    std::vector<std::string> monthly;
    for (int y : {2025, 2026})
        for (int m = 1; m <= 12; ++m)
            for (int d : {3, 20})
                monthly.push_back(BackupName(localTime(y, m, d)));
    const Case cases[] = {
        {"fewer than kept", {december.begin(), december.begin() + 3}, {10, 12}, {}},
        {"oldest days beyond the last ten go, their month keeps its newest",
         december,
         {10, 12},
         {BackupName(localTime(2026, 12, 1)), BackupName(localTime(2026, 12, 2))}},
        {"a busy day does not push out the only copy of an earlier day",
         busyDay,
         {3, 0},
         {BackupName(localTime(2026, 12, 7)), BackupName(localTime(2026, 12, 10, 9, 0, 0)),
          BackupName(localTime(2026, 12, 10, 9, 0, 1))}},
        {"months: newest of each of the last twelve, the rest beyond the last two",
         monthly,
         {2, 12},
         {}},
        {"counts of 0 keep the minimum",
         {december.begin(), december.begin() + 5},
         {0, 0},
         {december[0], december[1]}},
        {"negative counts keep the minimum",
         {december.begin(), december.begin() + 5},
         {-1, -1},
         {december[0], december[1]}},
        {"other files are never removed",
         {"notes.txt", "MXR.DAT", "order.txt", december[0], december[1], december[2],
          december[3]},
         {0, 0},
         {december[0]}},
    };
    // Months: the 20th of each month of 2026 is its newest; the two newest files are
    // Dec 20 and Dec 3; everything else goes, all of 2025 included.
    std::vector<std::string> monthlyRemoved;
    for (int y : {2025, 2026})
        for (int m = 1; m <= 12; ++m) {
            if (!(y == 2026 && m == 12))
                monthlyRemoved.push_back(BackupName(localTime(y, m, 3)));
            if (y == 2025)
                monthlyRemoved.push_back(BackupName(localTime(y, m, 20)));
        }
    std::sort(monthlyRemoved.begin(), monthlyRemoved.end());
    for (Case c : cases) {
        if (c.names == monthly)
            c.removed = monthlyRemoved;
        std::vector<std::string> removed = PlanPrune(c.names, c.policy, now);
        std::sort(removed.begin(), removed.end());
        std::sort(c.removed.begin(), c.removed.end());
        EXPECT_EQ(removed, c.removed) << c.what;
    }
}

// A clock once set ahead left backups dated later than today: the one made now is still the
// newest, and so are the others made after them, by the order in which they were made.
TEST(BackupRotation, CreationOrderBeatsFutureDates)
{
    const std::time_t now = localTime(2026, 12, 10, 9);
    std::vector<std::string> names;
    for (int d = 20; d < 30; ++d)
        names.push_back(BackupName(localTime(2026, 12, d)));
    const std::string earlier = BackupName(localTime(2026, 12, 10, 8));
    const std::string made = BackupName(now);
    std::vector<std::string> created = names; // the future-dated ones first
    created.push_back(earlier);
    created.push_back(made);
    names.push_back(earlier);
    names.push_back(made);
    std::vector<std::string> removed = PlanPrune(names, {3, 1}, now, created);
    std::sort(removed.begin(), removed.end());
    // Kept: the three made last (the two of today and Dec 29), Dec 28 as the third newest day;
    // the month's newest by creation is today's.
    std::vector<std::string> expected(names.begin(), names.begin() + 8);
    EXPECT_EQ(removed, expected);

    // Without the order file the backup of the running operation and the newest stay.
    removed = PlanPrune(names, {3, 1}, now, {}, made);
    EXPECT_EQ(std::count(removed.begin(), removed.end(), made), 0);
    EXPECT_EQ(std::count(removed.begin(), removed.end(), BackupName(localTime(2026, 12, 29))), 0);
}

// A restore keeps the store it replaces as a backup and says where: that file must exist
// afterwards, whatever the counts in the settings and whatever dates the folder holds.
TEST_F(BackupTest, RestoreNeverRemovesTheBackupOfTheReplacedStore)
{
    struct Case {
        const char* what;
        BackupPolicy policy;
        int futureBackups; // made under a clock set ahead (the 20th to the 29th)
    };
    const Case cases[] = {
        {"nothing kept", {0, 0}, 0},
        {"negative counts", {-1, -1}, 0},
        {"defaults, ten backups dated later in the month", {}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const std::string good = (m_dir / "good.dat").string();
        ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 2), good).ok);
        ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 2), m_store).ok);
        ASSERT_TRUE(MakeBackup(m_store, c.policy, localTime(2026, 12, 1)).ok);
        for (int i = 0; i < c.futureBackups; ++i)
            ASSERT_TRUE(MakeBackup(m_store, c.policy, localTime(2026, 12, 20 + i)).ok);
        ASSERT_TRUE(SaveStore(storetest::sampleTree(2, 2, 3), m_store).ok);
        const std::string replaced = storetest::readFile(m_store);

        const RestoreResult r = RestoreBackup(good, m_store, c.policy, localTime(2026, 12, 10));
        ASSERT_TRUE(r.ok) << r.message;
        ASSERT_TRUE(fs::exists(r.safeguard.path)) << r.safeguard.path;
        EXPECT_EQ(storetest::readFile(r.safeguard.path), replaced);
        std::vector<BackupInfo> list = ListBackups(m_store);
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list[0].path, r.safeguard.path) << "the backup made last is listed first";

        // The next backup of the day keeps it too: it is among the newest by creation.
        ASSERT_TRUE(MakeBackup(m_store, c.policy, localTime(2026, 12, 10, 15)).ok);
        EXPECT_TRUE(fs::exists(r.safeguard.path));
        list = ListBackups(m_store);
        ASSERT_GE(list.size(), 2u);
        EXPECT_EQ(list[1].path, r.safeguard.path);
    }
}

TEST_F(BackupTest, BackupListAndRestoreRoundTrip)
{
    const CCustomerDB first = storetest::sampleTree(2, 3, 5);
    ASSERT_TRUE(SaveStore(first, m_store).ok);
    const std::string firstBytes = storetest::readFile(m_store);
    EXPECT_TRUE(NeedsDailyBackup(m_store, localTime(2026, 12, 10)));
    const BackupResult b = MakeBackup(m_store, {}, localTime(2026, 12, 10, 8));
    ASSERT_TRUE(b.ok) << b.Describe();
    EXPECT_FALSE(NeedsDailyBackup(m_store, localTime(2026, 12, 10, 23)));
    EXPECT_TRUE(NeedsDailyBackup(m_store, localTime(2026, 12, 11, 0)));

    // The next save replaces the store; the backup keeps the old content.
    ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 2), m_store).ok);
    EXPECT_EQ(storetest::readFile(b.path), firstBytes);

    const RestoreResult r = RestoreBackup(b.path, m_store, {}, localTime(2026, 12, 10, 9));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(storetest::readFile(m_store), firstBytes);
    EXPECT_EQ(storetest::readFile(b.path), firstBytes);

    const std::vector<BackupInfo> list = ListBackups(m_store);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "MXR-20261210-090000.DAT"); // the replaced store, newest first
    EXPECT_TRUE(list[0].readable);
    EXPECT_EQ(list[0].customers, 1u);
    EXPECT_EQ(list[0].measurements, 1u);
    EXPECT_EQ(list[1].customers, 2u);
    EXPECT_EQ(list[1].measurements, 6u);
    EXPECT_EQ(list[1].size, firstBytes.size());
}

TEST_F(BackupTest, SameSecondGetsASecondNameAndNoStoreIsNotAFailure)
{
    const BackupResult none = MakeBackup(m_store, {}, localTime(2026, 12, 10));
    EXPECT_TRUE(none.ok);
    EXPECT_TRUE(none.noStore);
    ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 1), m_store).ok);
    ASSERT_TRUE(MakeBackup(m_store, {}, localTime(2026, 12, 10)).ok);
    ASSERT_TRUE(MakeBackup(m_store, {}, localTime(2026, 12, 10)).ok);
    EXPECT_EQ(backupNames(),
              (std::vector<std::string>{"MXR-20261210-120000-2.DAT", "MXR-20261210-120000.DAT"}));
}

TEST_F(BackupTest, UnreadableStoreIsBackedUpListedAsSuchAndNotRestored)
{
    storetest::writeFile(m_store, "this is not a data store");
    const BackupResult b = MakeBackup(m_store, {}, localTime(2026, 12, 10));
    ASSERT_TRUE(b.ok) << b.Describe();
    EXPECT_EQ(storetest::readFile(b.path), "this is not a data store");
    const std::vector<BackupInfo> list = ListBackups(m_store);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].readable);
    EXPECT_FALSE(list[0].problem.empty());

    ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 1), m_store).ok);
    const std::string good = storetest::readFile(m_store);
    const RestoreResult r = RestoreBackup(b.path, m_store, {}, localTime(2026, 12, 10, 13));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, RestoreFailure::UnreadableBackup);
    EXPECT_EQ(storetest::readFile(m_store), good);
    EXPECT_EQ(backupNames().size(), 1u) << "a refused restore makes no backup";
}

TEST_F(BackupTest, FullDiskFailsTheBackupWithoutPartialFileAndTheStoreStillSaves)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    // The backup folder on the small disk: a hard link cannot cross to it, so the copy runs.
    fs::create_directory_symlink(disk.path(), m_dir / "backup");
    ASSERT_TRUE(SaveStore(storetest::sampleTree(3, 4, 400), m_store).ok);
    disk.fill();
    const BackupResult b = MakeBackup(m_store, {}, localTime(2026, 12, 10));
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(b.error, ENOSPC) << b.Describe();
    EXPECT_EQ(backupNames(), std::vector<std::string>{"filler"}) << "no partial backup";

    const CCustomerDB next = storetest::sampleTree(1, 1, 1);
    ASSERT_TRUE(SaveStore(next, m_store).ok);
    CCustomerDB back;
    ASSERT_TRUE(LoadStore(back, m_store).ok);
    EXPECT_EQ(back, next);
}

TEST(BackupCompanions, NamedAfterTheirBackupOnly)
{
    const std::vector<std::string> names = {
        "MXR-20261210-120000.DAT",          "MXR-20261210-120000.workspace.sqlite",
        "MXR-20261210-120000.workspace.sqlite-part",
        "MXR-20261210-120000-2.DAT",        "MXR-20261210-120000-2.workspace.sqlite",
        "MXR-20261210-1200001.DAT",         "order.txt", "MXR-20261210-120000"};
    EXPECT_EQ(CompanionsOf(names, "MXR-20261210-120000.DAT"),
              (std::vector<std::string>{"MXR-20261210-120000.workspace.sqlite",
                                        "MXR-20261210-120000.workspace.sqlite-part"}));
    EXPECT_EQ(CompanionsOf(names, "MXR-20261210-120000-2.DAT"),
              (std::vector<std::string>{"MXR-20261210-120000-2.workspace.sqlite"}));
    EXPECT_TRUE(CompanionsOf(names, "order.txt").empty()) << "not a backup: no companions";
}

// The policy's companion is made beside each backup under its name, and the rotation removes
// it with its backup; its failure leaves the store's backup standing.
TEST_F(BackupTest, CompanionIsMadeWithItsBackupAndRotatedWithIt)
{
    ASSERT_TRUE(SaveStore(storetest::sampleTree(1, 1, 2), m_store).ok);
    BackupPolicy policy{kMinKeepLast, kMinKeepMonths};
    std::vector<std::string> calls;
    policy.companion = [&](const std::string& store, const std::string& backup) {
        calls.push_back(store + " -> " + backup);
        storetest::writeFile(backup.substr(0, backup.size() - 4) + ".extra", "x");
        return std::string();
    };
    for (int minute = 0; minute < 5; ++minute)
        ASSERT_TRUE(MakeBackup(m_store, policy, localTime(2026, 12, 10, 9, minute)).ok);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0], m_store + " -> " + (m_dir / "backup" / "MXR-20261210-090000.DAT").string());
    EXPECT_EQ(backupNames(),
              (std::vector<std::string>{"MXR-20261210-090200.DAT", "MXR-20261210-090200.extra",
                                        "MXR-20261210-090300.DAT", "MXR-20261210-090300.extra",
                                        "MXR-20261210-090400.DAT", "MXR-20261210-090400.extra"}));

    policy.companion = [](const std::string&, const std::string&) {
        return std::string("cannot copy");
    };
    const BackupResult failed = MakeBackup(m_store, policy, localTime(2026, 12, 10, 9, 5));
    EXPECT_TRUE(failed.ok);
    EXPECT_EQ(failed.companionError, "cannot copy");
    EXPECT_TRUE(fs::exists(failed.path));
}
