// mxrtool receive --register and verify, run as a user runs them: a real reception over a pty
// from the tester emulator filed into the application folder's store, then verified as it is,
// after a journaled condition edit, after a point edited behind the program's back, and with
// its archive removed; an incomplete reception files nothing.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "commands/treecommands.h"
#include "link/emulator.h"
#include "link/emulatorport.h"
#include "linktestutil.h"
#include "model/cp932text.h"
#include "store/backup.h"
#include "store/store.h"
#include "store/storesession.h"
#include "workspace/approvals.h"
#include "workspace/storejournal.h"
#include "workspace/workspace.h"

namespace {

QJsonObject json(const ToolRun& r)
{
    return QJsonDocument::fromJson(r.out).object();
}

class ProvenanceCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dir.filePath("DATA")));
        storePath = dir.filePath("DATA/MXR.DAT").toStdString();
    }
    QStringList home() const { return {"--home", dir.path()}; }
    ToolRun receive(const std::vector<EmulatorChunk>& chunks, QStringList more)
    {
        EmulatorPtySender tester(chunks, 0);
        EXPECT_TRUE(tester.ok()) << tester.error();
        return mxrtool(home() +
                       QStringList{"receive", "--device", QString::fromStdString(tester.path())} +
                       more);
    }
    static QStringList target()
    {
        return {"--register", "--customer", "需要家A", "--cable", "CV-1", "--set", "2026年"};
    }

    QTemporaryDir dir;
    std::string storePath;
};

std::vector<std::string> states(const QJsonObject& doc)
{
    std::vector<std::string> out;
    for (const QJsonValue& r : doc["records"].toArray())
        out.push_back(r["state"].toString().toStdString());
    return out;
}

class ChangeList : public cmd::ChangeObserver {
public:
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& c) override { changes.push_back(c); }
};

} // namespace

TEST_F(ProvenanceCli, RegisteredReceptionVerifiesUntilChangedBehindTheProgramsBack)
{
    const TesterEmulator emu(smallDump(52, 3));
    const ToolRun filed = receive(emu.serialChunks(), target());
    ASSERT_EQ(filed.exitCode, 0) << filed.err.toStdString() << filed.out.toStdString();
    const QJsonObject reg = json(filed)["registered"].toObject();
    EXPECT_TRUE(reg["ok"].toBool());
    EXPECT_EQ(reg["records"].toInt(), 3);
    EXPECT_EQ(reg["linked"].toInt(), 3);
    EXPECT_TRUE(reg["setMade"].toBool());
    EXPECT_TRUE(std::filesystem::exists(ws::WorkspacePathFor(storePath)));

    // A second reception into the same set: the store there is backed up first, and both
    // are journaled as filings.
    const TesterEmulator second(smallDump(54, 1));
    const ToolRun again = receive(second.serialChunks(), target());
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_FALSE(json(again)["registered"].toObject()["setMade"].toBool(true));
    EXPECT_FALSE(storebackup::ListBackups(storePath).empty());
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(storePath, false).usable());
        int filings = 0;
        for (const ws::JournalEntry& e : w.Query())
            filings += e.command == ws::kind::Receive;
        EXPECT_EQ(filings, 2);
    }

    ToolRun v = mxrtool(home() + QStringList{"verify"});
    ASSERT_EQ(v.exitCode, 0) << v.err.toStdString() << v.out.toStdString();
    EXPECT_EQ(states(json(v)), std::vector<std::string>(4, "match"));
    EXPECT_EQ(json(v)["records"].toArray()[0].toObject()["customer"].toString(),
              QString::fromUtf8("需要家A"));

    // The registration was journaled; a condition edit through a journaled command of the
    // program is explained.
    {
        StoreSession session;
        session.SetDataFilePath(storePath);
        ASSERT_TRUE(session.Load().store.ok);
        ws::StoreJournal journal;
        journal.Attach(storePath);
        journal.AfterLoad(session.Store(), session.Identity());
        ASSERT_NE(journal.Open(), nullptr);
        ASSERT_FALSE(journal.Open()->Query().empty());
        session.SetSaveWitness(&journal);
        const CCustomerDB before = session.Store();
        const cmd::TreePath set{cp932::lit("需要家A"), "CV-1", cp932::lit("2026年")};
        CTestCondition c = cmd::FindSet(session.Store(), set)->RecordAt(0).Condition;
        c.Temperature = 21.5;
        ChangeList changes;
        ASSERT_TRUE(cmd::Run(session.Store(), cmd::EditCondition{set, 0, c}, &changes).done());
        journal.Stage(before, session.Store(), changes.changes);
        ASSERT_EQ(session.Save().status, SaveStatus::Saved);
    }
    v = mxrtool(home() + QStringList{"verify", "--customer", "需要家A"});
    ASSERT_EQ(v.exitCode, 0) << v.out.toStdString();
    EXPECT_EQ(states(json(v)), std::vector<std::string>(4, "match"));
    EXPECT_EQ(json(v)["records"].toArray()[1].toObject()["explained"].toArray().size(), 1);

    // A point edited in the store file by another program.
    CCustomerDB tree;
    ASSERT_TRUE(LoadStore(tree, storePath).ok);
    CMeasRecord& r = tree.customers.At(0).cables.At(0).sets.At(0).RecordAt(1);
    r.Points[5].value = CDataValue(r.Points[5].value.toDouble() + 1.0);
    ASSERT_TRUE(SaveStore(tree, storePath).ok);
    v = mxrtool(home() + QStringList{"verify", "--customer", "需要家A", "--cable", "CV-1"});
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_EQ(states(json(v)), (std::vector<std::string>{"match", "changed", "match", "match"}));
    const QJsonObject changed = json(v)["records"].toArray()[1].toObject();
    EXPECT_EQ(changed["changed"].toArray()[0].toObject()["field"].toString(),
              QString::fromUtf8("測定点の値"))
        << v.out.toStdString();

    // The first archive gone: its records have no reception to prove anything by; the record
    // of the second reception still matches.
    QFile::remove(json(filed)["archive"].toString());
    v = mxrtool(home() + QStringList{"verify"});
    EXPECT_EQ(v.exitCode, 0) << v.out.toStdString();
    int missing = 0, matching = 0;
    for (const QJsonValue& rec : json(v)["records"].toArray()) {
        if (rec["state"].toString() == "match") {
            ++matching;
            continue;
        }
        ++missing;
        EXPECT_EQ(rec["state"].toString(), "no-reception");
        EXPECT_EQ(rec["reason"].toString(), "archive-missing");
        EXPECT_EQ(rec["stateText"].toString(), QString::fromUtf8("受信記録なし"));
    }
    EXPECT_EQ(missing, 3);
    EXPECT_EQ(matching, 1);
}

TEST_F(ProvenanceCli, IncompleteReceptionFilesNothing)
{
    const TesterEmulator emu(smallDump(53, 3));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    chunks[1].bytes[8 + 9 + 7 * 20 + 3] ^= 0xF0; // record 1 is lost in a recovery
    const ToolRun r = receive(chunks, target());
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_EQ(json(r)["records"].toArray().size(), 2);
    EXPECT_FALSE(json(r)["registered"].toObject()["ok"].toBool(true));
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("incomplete")) << r.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(storePath));
    EXPECT_FALSE(std::filesystem::exists(ws::WorkspacePathFor(storePath)));
}

TEST_F(ProvenanceCli, RegisterNeedsAllThreeNames)
{
    const ToolRun r = mxrtool(home() + QStringList{"receive", "--device", "/dev/null", "--register",
                                                   "--customer", "A", "--cable", "K"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("--register needs")) << r.err.toStdString();
}

// A reception is not filed into an approved set: nothing is registered and the tool says why.
TEST_F(ProvenanceCli, AnApprovedSetTakesNoReception)
{
    const TesterEmulator emu(smallDump(52, 2));
    ASSERT_EQ(receive(emu.serialChunks(), target()).exitCode, 0);
    CCustomerDB tree;
    ASSERT_TRUE(LoadStore(tree, storePath).ok);
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(storePath, false).usable());
        ASSERT_EQ(ws::Approvals(w).Approve(tree,
                                           {cp932::lit("需要家A"), "CV-1", cp932::lit("2026年")},
                                           "y", "2026/12/11", {"u", "pc"}, 1),
                  ws::ApprovalStatus::Done);
    }
    const TesterEmulator second(smallDump(54, 1));
    const ToolRun refused = receive(second.serialChunks(), target());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(refused.err).contains("is approved"))
        << refused.err.toStdString();
    CCustomerDB after;
    ASSERT_TRUE(LoadStore(after, storePath).ok);
    EXPECT_EQ(after, tree);
}
