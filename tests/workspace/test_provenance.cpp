// Provenance: records received over a real pty (the tester emulator), registered into a set and
// linked to their archived lines in a real workspace file, then checked: as received, after a
// journaled condition edit (explained), after edits the journal does not explain (behind the
// program's back, or found as 外部で変更), and with the archive gone or damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

#include "commands/treecommands.h"
#include "link/emulator.h"
#include "link/emulatorport.h"
#include "linktestutil.h"
#include "model/cp932text.h"
#include "workspace/provenance.h"
#include "workspace/treediff.h"
#include "workspace/workspace.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const cmd::TreePath kSet{"Customer", "Cable", "Set"};

class ChangeList : public cmd::ChangeObserver {
public:
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& c) override { changes.push_back(c); }
};

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Provenance : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("mxr_provenance_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "DATA");
        storePath = (root / "DATA" / "MXR.DAT").string();

        const TesterEmulator emu(smallDump(23, 3));
        EmulatorPtySender tester(emu.serialChunks(), 0);
        ASSERT_TRUE(tester.ok()) << tester.error();
        Reception live(tester.path(), ReceptionMode::Serial, {},
                       (root / "DATA" / "received").string());
        ASSERT_TRUE(live.listener.waitFinished(20s));
        ASSERT_TRUE(live.listener.success());
        received = live.worker.TakeRecords();
        archive = live.worker.ArchivePath();
        links = ws::LinksOf(received, live.worker.RecordSpans(), archive, 1765440000);
        ASSERT_EQ(links.size(), 3u);

        // Registered as the transfer sheet registers, journaled, then linked.
        for (const cmd::Command& c : std::vector<cmd::Command>{
                 cmd::AddName{cmd::Level::Customer, {}, kSet.customer},
                 cmd::AddName{cmd::Level::Cable, {kSet.customer}, kSet.cable},
                 cmd::AddName{cmd::Level::Set, {kSet.customer, kSet.cable}, kSet.set}})
            ASSERT_TRUE(cmd::Run(tree, c).done());
        ASSERT_TRUE(workspace.Open(storePath, true).usable());
        CTestCondition condition;
        condition.Shindan = "A";
        run(cmd::RegisterReceived{kSet, {received.begin(), received.end()}, condition, false});
        ASSERT_EQ(ws::RecordProvenance(workspace, storePath, tree, kSet, links, 1765440100), 3);
    }
    void TearDown() override { fs::remove_all(root); }

    // Runs a command and journals it as this program does (or as a change found from outside).
    void run(const cmd::Command& command, const char* kind = nullptr)
    {
        const CCustomerDB before = tree;
        ChangeList changes;
        ASSERT_TRUE(cmd::Run(tree, command, &changes).done());
        ws::JournalEntry e =
            ws::MakeEntry(before, tree, changes.changes, {"tester", "ws1"}, 1765440200);
        if (kind)
            e.command = kind;
        workspace.Append(e);
    }
    std::vector<ws::RecordVerdict> verify()
    {
        return ws::VerifyRecords(&workspace, storePath, tree, {});
    }
    CMeasData& set() { return *cmd::FindSet(tree, kSet); }

    fs::path root;
    std::string storePath, archive;
    std::vector<ReceivedRecord> received;
    std::vector<ws::ReceivedLink> links;
    CCustomerDB tree;
    ws::Workspace workspace;
};

std::vector<std::string> fieldNames(const std::vector<ws::FieldChange>& fields)
{
    std::vector<std::string> out;
    for (const ws::FieldChange& f : fields)
        out.push_back(f.field);
    return out;
}

} // namespace

TEST_F(Provenance, RegisteredRecordsMatchTheirReception)
{
    const std::vector<ws::RecordVerdict> v = verify();
    ASSERT_EQ(v.size(), 3u);
    for (const ws::RecordVerdict& r : v) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(r.state, ws::VerifyState::Match);
        EXPECT_TRUE(r.changed.empty());
        EXPECT_TRUE(r.explained.empty());
        ASSERT_TRUE(r.source);
        // Kept relative to the store's folder, with the digest of exactly its lines.
        EXPECT_EQ(r.source->archive, "received/" + fs::path(archive).filename().string());
        EXPECT_EQ(r.customer, "Customer");
    }
    EXPECT_EQ(v[0].source->firstLine, 1);
    // The archive's lines are read from where the store is, not where the program runs.
    EXPECT_EQ(ws::ArchiveOnDisk(*v[0].source, storePath), archive);
}

TEST_F(Provenance, JournaledConditionEditIsExplainedAndAnExternalOneIsNot)
{
    CTestCondition c = set().RecordAt(0).Condition;
    c.Shindan = "B";
    run(cmd::EditCondition{kSet, 0, c});
    for (const ws::RecordVerdict& r : verify()) {
        EXPECT_EQ(r.state, ws::VerifyState::Match) << r.index;
        EXPECT_EQ(fieldNames(r.explained), std::vector<std::string>{"診断方法"}) << r.index;
    }
    // The same kind of change found at load (another program wrote it) explains nothing.
    c.Remarks = "x";
    run(cmd::EditCondition{kSet, 0, c}, ws::kind::External);
    for (const ws::RecordVerdict& r : verify()) {
        EXPECT_EQ(r.state, ws::VerifyState::Changed) << r.index;
        EXPECT_EQ(fieldNames(r.changed), std::vector<std::string>{"備考"}) << r.index;
    }
}

TEST_F(Provenance, TesterValuesChangedAreChangedEvenThroughAJournaledCommand)
{
    // A point edited behind the program's back: the record's key changed with it, and the link
    // is found by the tester's number, time and voltage.
    set().RecordAt(1).Points[3].value = CDataValue(123.0);
    // The date of another through the program's own command, journaled with the new key.
    CMeasRecord moved = set().RecordAt(2);
    moved.StartTime = OleDateTime::parse("2020/1/2 3:04:05").value();
    run(cmd::EditMeasurement{kSet, 2, cmd::MeasField::Date, moved});
    const std::vector<ws::RecordVerdict> v = verify();
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].state, ws::VerifyState::Match);
    std::map<std::string, const ws::RecordVerdict*> byDate;
    for (const ws::RecordVerdict& r : v)
        if (r.state == ws::VerifyState::Changed)
            for (const ws::FieldChange& f : r.changed)
                byDate[f.field] = &r;
    ASSERT_TRUE(byDate.count("測定点の値"));
    ASSERT_TRUE(byDate.count("測定開始日時"));
    EXPECT_NE(byDate["測定点の値"], byDate["測定開始日時"]);
    EXPECT_TRUE(byDate["測定開始日時"]->source);
}

TEST_F(Provenance, ArchiveGoneDamagedOrNeverThereIsNoReception)
{
    // A record that never came from a reception here.
    CMeasRecord other = received[0];
    other.DataNo = 999;
    other.Points.pop_back();
    set().AppendRecord(other);
    // One archive line changed: every record of the file has its own lines, only the record
    // whose lines they are is damaged.
    std::string text = readAll(archive);
    const std::size_t third = text.find("\r\n", text.find("\r\n", text.find("\r\n") + 2) + 2) + 2;
    text[third] = text[third] == '0' ? '1' : '0';
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << text;
    std::vector<ws::RecordVerdict> v = verify();
    ASSERT_EQ(v.size(), 4u);
    int damaged = 0;
    for (const ws::RecordVerdict& r : v) {
        if (r.reason == ws::NoReceptionReason::ArchiveDamaged) {
            ++damaged;
            EXPECT_EQ(r.source->firstLine, 1);
            EXPECT_NE(r.detail.find("SHA-256"), std::string::npos) << r.detail;
        }
    }
    EXPECT_EQ(damaged, 1);
    EXPECT_EQ(v[3].state, ws::VerifyState::NoReception);
    EXPECT_EQ(v[3].reason, ws::NoReceptionReason::NoLink);

    fs::remove(archive);
    v = verify();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(v[i].state, ws::VerifyState::NoReception);
        EXPECT_EQ(v[i].reason, ws::NoReceptionReason::ArchiveMissing);
        EXPECT_EQ(v[i].detail, archive);
    }
    // Without a workspace nothing has a link.
    for (const ws::RecordVerdict& r : ws::VerifyRecords(nullptr, storePath, tree, {}))
        EXPECT_EQ(r.reason, ws::NoReceptionReason::NoLink);
}

TEST_F(Provenance, LinksAreOnlyWrittenForRecordsTheirLinesDecodeTo)
{
    // A link whose lines are another record's: refused; one for a key not in the tree: none.
    std::vector<ws::ReceivedLink> wrong = {links[0]};
    wrong[0].contentKey = links[1].contentKey;
    std::vector<ws::ReceivedLink> absent = {links[0]};
    absent[0].contentKey = std::string(64, '0');
    EXPECT_EQ(ws::RecordProvenance(workspace, storePath, tree, kSet, wrong, 1), 0);
    EXPECT_EQ(ws::RecordProvenance(workspace, storePath, tree, kSet, absent, 1), 0);
    EXPECT_EQ(ws::ProvenanceOf(workspace.Db(), links[1].contentKey).size(), 1u);
}
