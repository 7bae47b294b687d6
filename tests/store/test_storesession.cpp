// The store session's rules, without any user interface: what is written when, what needs the
// user's say first, and what never touches the file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <filesystem>

#include "store/storesession.h"
#include "storetesthelp.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

class StoreSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_session_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        data = dir + "/MXR.DAT";
        session.SetDataFilePath(data);
        session.SetStoreOptions({2000, 20, false});
        session.SetLog([this](const std::string& line) { log.push_back(line); });
        session.SetReadOnlyListener([this](bool on) { readOnlyTold.push_back(on); });
    }
    void TearDown() override { fs::remove_all(dir); }

    // A store that is refused: its signature differs in one byte.
    static std::string damagedStore()
    {
        std::string bytes = SaveStoreToBytes(sampleTree(1, 1, 2));
        bytes[5] ^= 1;
        return bytes;
    }
    CCustomerDB reread(const std::string& path) const
    {
        CCustomerDB db;
        EXPECT_TRUE(LoadStore(db, path).ok);
        return db;
    }

    std::string dir, data;
    StoreSession session;
    std::vector<std::string> log;
    std::vector<bool> readOnlyTold;
};

} // namespace

TEST_F(StoreSessionTest, IncompleteLoadNeedsADecisionAndSavingOverKeepsTheFile)
{
    writeFile(data, damagedStore());
    const LoadOutcome loaded = session.Load();
    EXPECT_FALSE(loaded.store.ok);
    EXPECT_EQ(session.ReadOnlyCause(), ReadOnlyReason::IncompleteLoad);
    ASSERT_FALSE(session.SetAsidePath().empty());
    EXPECT_EQ(readFile(session.SetAsidePath()), damagedStore());

    session.Store() = sampleTree(2, 1, 3);
    const SaveOutcome asked = session.Save();
    EXPECT_EQ(asked.status, SaveStatus::NeedsDecision);
    EXPECT_EQ(asked.decision, SaveDecision::ReadOnlyFile);
    EXPECT_FALSE(asked.wrote);
    EXPECT_EQ(readFile(data), damagedStore()) << "nothing is written before the answer";

    // The file was set aside at load and has not changed since: that copy is the kept one.
    const SaveOutcome saved = session.SaveOverReadOnlyFile();
    EXPECT_EQ(saved.status, SaveStatus::Saved);
    EXPECT_EQ(saved.keptPath, loaded.store.setAsidePath);
    EXPECT_EQ(reread(data), session.Store());
    EXPECT_FALSE(session.IsReadOnly());
    EXPECT_EQ(readOnlyTold, (std::vector<bool>{true, false}));
}

TEST_F(StoreSessionTest, ReadOnlyFileChangedAfterLoadIsKeptAsideAgain)
{
    writeFile(data, damagedStore());
    session.Load();
    // Another program wrote the file after our load: that content is copied aside as well.
    const std::string other = SaveStoreToBytes(sampleTree(1, 2, 2));
    writeFile(data, other);
    const SaveOutcome saved = session.SaveOverReadOnlyFile();
    ASSERT_EQ(saved.status, SaveStatus::Saved);
    ASSERT_FALSE(saved.keptPath.empty());
    EXPECT_NE(saved.keptPath, session.SetAsidePath());
    EXPECT_EQ(readFile(saved.keptPath), other);
}

TEST_F(StoreSessionTest, FileChangedOnDiskSinceReadIsSetAsideBeforeTheSave)
{
    writeFile(data, SaveStoreToBytes(sampleTree(1, 1, 2)));
    ASSERT_TRUE(session.Load().store.ok);
    const std::string theirs = SaveStoreToBytes(sampleTree(3, 1, 1));
    writeFile(data + ".new", theirs);
    fs::rename(data + ".new", data); // another writer replaced the file

    session.Store() = sampleTree(2, 2, 2);
    const SaveOutcome saved = session.Save();
    ASSERT_EQ(saved.status, SaveStatus::Saved);
    ASSERT_FALSE(saved.store.changedAsidePath.empty());
    EXPECT_EQ(readFile(saved.store.changedAsidePath), theirs);
    EXPECT_EQ(reread(data), session.Store());
    EXPECT_EQ(session.Identity(), IdentityOfPath(data));

    // Our own last write is no change: the next save sets nothing aside.
    EXPECT_TRUE(session.Save().store.changedAsidePath.empty());
}

TEST_F(StoreSessionTest, SaveToOtherFileMovesTheRunThereAndAsksBeforeReplacingAFile)
{
    writeFile(data, damagedStore());
    session.Load();
    session.Store() = sampleTree(1, 3, 2);

    // An existing other file is replaced only when the user says so.
    const std::string existing = dir + "/OTHER.DAT";
    writeFile(existing, "keep");
    const SaveOutcome asked = session.SaveToOtherFile(existing);
    EXPECT_EQ(asked.status, SaveStatus::NeedsDecision);
    EXPECT_EQ(asked.decision, SaveDecision::OverwriteOtherFile);
    EXPECT_EQ(readFile(existing), "keep");
    EXPECT_TRUE(session.IsReadOnly());

    const SaveOutcome saved = session.SaveToOtherFile(existing, true);
    ASSERT_EQ(saved.status, SaveStatus::Saved);
    EXPECT_EQ(reread(existing), session.Store());
    EXPECT_EQ(session.DataFilePath(), existing);
    EXPECT_FALSE(session.IsReadOnly());
    EXPECT_EQ(readFile(data), damagedStore()) << "the unread file stays as it was";

    // Later saves go to the new data file.
    session.Store() = sampleTree(2, 1, 1);
    ASSERT_EQ(session.Save().status, SaveStatus::Saved);
    EXPECT_EQ(reread(existing), session.Store());
}

TEST_F(StoreSessionTest, TheDataFileUnderAnotherNameIsSavedOverAsTheReadOnlyFile)
{
    writeFile(data, damagedStore());
    session.Load();
    const std::string alias = dir + "/ALIAS.DAT";
    fs::create_symlink(data, alias);
    session.Store() = sampleTree(1, 1, 1);
    const SaveOutcome saved = session.SaveToOtherFile(alias);
    ASSERT_EQ(saved.status, SaveStatus::Saved) << "no overwrite question for the data file";
    EXPECT_FALSE(saved.keptPath.empty());
    EXPECT_EQ(readFile(saved.keptPath), damagedStore());
    EXPECT_EQ(session.DataFilePath(), data);
}

TEST_F(StoreSessionTest, ViewedFileIsNeverWrittenBackedUpOrRestored)
{
    const std::string bytes = SaveStoreToBytes(sampleTree(2, 1, 2));
    writeFile(data, bytes);
    session.SetViewFile(data);
    const LoadOutcome loaded = session.Load();
    EXPECT_TRUE(loaded.store.ok);
    EXPECT_FALSE(loaded.viewedFileMissing);
    EXPECT_EQ(session.ReadOnlyCause(), ReadOnlyReason::ViewedFile);
    EXPECT_EQ(session.Store(), sampleTree(2, 1, 2));

    session.Store() = sampleTree(1, 1, 1);
    EXPECT_EQ(session.Save().status, SaveStatus::NotWritten);
    EXPECT_FALSE(session.BackUp().ok);
    EXPECT_FALSE(session.Restore(data).ok);
    EXPECT_EQ(readFile(data), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "nothing beside the file either";

    StoreSession missing;
    missing.SetViewFile(dir + "/NONE.DAT");
    EXPECT_TRUE(missing.Load().viewedFileMissing);
}

TEST_F(StoreSessionTest, SaveDuringABackgroundLoadWaitsForItsTree)
{
    const CCustomerDB tree = sampleTree(40, 5, 50);
    writeFile(data, SaveStoreToBytes(tree));
    std::atomic<bool> done = false;
    session.StartBackgroundLoad([&done] { done = true; });
    EXPECT_TRUE(session.IsLoading());

    // The save must not write the empty tree the load is about to replace.
    ASSERT_EQ(session.Save().status, SaveStatus::Saved);
    EXPECT_TRUE(done);
    EXPECT_FALSE(session.IsLoading());
    EXPECT_EQ(session.Store(), tree);
    EXPECT_EQ(reread(data), tree);

    const std::optional<LoadOutcome> finished = session.TakeFinishedLoad();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(finished->store.ok);
    EXPECT_FALSE(session.TakeFinishedLoad()) << "told once";
}

TEST_F(StoreSessionTest, BackupFailureIsNotedOnceAndNeverStopsTheSave)
{
    writeFile(data, SaveStoreToBytes(sampleTree(1, 1, 1)));
    writeFile(dir + "/backup", "a file where the backup folder belongs");
    session.Load();

    const SaveOutcome first = session.Save(); // the first save of the day backs up first
    EXPECT_EQ(first.status, SaveStatus::Saved);
    ASSERT_TRUE(first.backupFailure);
    EXPECT_FALSE(first.backupFailure->ok);

    const SaveOutcome second = session.Save();
    EXPECT_EQ(second.status, SaveStatus::Saved);
    EXPECT_FALSE(second.backupFailure) << "the user is told once a run";
    const BackupOutcome asked = session.BackUp();
    EXPECT_FALSE(asked.ok);
    EXPECT_FALSE(asked.firstFailure);
    // Every failure still goes to the log.
    const std::string note = cp932::lit("データファイルのバックアップを作成できませんでした: ");
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [&](const std::string& l) { return l.rfind(note, 0) == 0; }),
              3);
}
