// mxrtool store dump / resave / from-json, run as a separate process.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "store/backup.h"
#include "workspace/approvals.h"
#include "workspace/workspace.h"
#include "storetesthelp.h"
#include "workspace/workspace.h"
#include "workspace/workspacebackup.h"

using namespace storetest;

namespace {

QString data(const char* name)
{
    return QString(MXR_TEST_DATA_DIR) + "/store/" + name;
}

class StoreCli : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(StoreCli, DumpPrintsTheSchema)
{
    const ToolRun r = mxrtool({"store", "dump", data("canonical.dat")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(doc["version"].toInt(), 6);
    EXPECT_EQ(doc["comm"].toArray(), QJsonArray({3, 9600, 7, 2, 1, 0}));
    const QJsonArray customers = doc["customers"].toArray();
    ASSERT_EQ(customers.size(), 4);
    EXPECT_EQ(customers[0]["name"].toString(), QString::fromUtf8("ABC電力"));
    EXPECT_EQ(customers[2]["name"].toString(), QString::fromUtf8("\xEF\xBF\xBD bad"));

    const QJsonObject set = customers[0]["cables"][0]["sets"][0].toObject();
    EXPECT_EQ(set["ShowJyakuten"].toInt(), 0);
    const QJsonObject rec = set["records"][1].toObject();
    EXPECT_EQ(rec["DataNo"].toInt(), 17);
    EXPECT_EQ(rec["StartTime"].toObject(), QJsonObject({{"status", 0}, {"date", 38697.5}}));
    EXPECT_EQ(rec["Points"].toArray().size(), 450);
    EXPECT_EQ(rec["Triggers"][0].toArray(), QJsonArray({12.4, 13.0, 48.25}));
    EXPECT_EQ(rec["Condition"]["Remarks"].toString(), QString::fromUtf8("備考\r\n二行目"));
    const QJsonObject texts = rec["Texts"].toObject();
    EXPECT_EQ(texts.size(), 15);
    EXPECT_EQ(texts["StartDateTime"].toString(), "2005/12/11 12:00:00");
    EXPECT_EQ(texts["CabKind"].toString(), QString::fromUtf8("Ｒ相"));
    EXPECT_EQ(texts["TriggerLevel"].toString(), "5.5");
    // Every tag as its number; non-finite numbers as strings.
    const QJsonArray tags = set["records"][2]["Points"].toArray();
    EXPECT_EQ(tags[5].toArray(), QJsonArray({1.2, 4294967295.0}));
    EXPECT_EQ(tags[16].toArray(), QJsonArray({3.4, "-Infinity"}));
    // UNSET_VALUE is printed as a double, as are whole numbers.
    EXPECT_TRUE(r.out.contains("\"ShisuZetuen\": -99999999.0"));
    EXPECT_TRUE(r.out.contains("\"Reserved\": 0.0"));
}

// Two names that the tree takes for one (only the case of A-Z differs) would leave only the
// second: the document is refused, naming both, and nothing is written.
TEST_F(StoreCli, FromJsonRefusesNamesThatFoldEqual)
{
    struct Case {
        const char* what;
        const char* json;
        const char* where;
    };
    const Case cases[] = {
        {"customers", R"({"customers": [{"name": "Tokyo"}, {"name": "TOKYO"}]})",
         "$.customers[1]"},
        {"cables",
         R"({"customers": [{"name": "c", "cables": [{"name": "Cable-A"}, {"name": "cable-a"}]}]})",
         "$.customers[0].cables[1]"},
        {"sets",
         R"({"customers": [{"name": "c", "cables": [{"name": "k", "sets": [{"name": "Set1"},
            {"name": "SET1"}]}]}]})",
         "$.customers[0].cables[0].sets[1]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path("twins.json").toStdString(), c.json);
        const ToolRun r = mxrtool({"store", "from-json", path("twins.json"), path("twins.dat")});
        EXPECT_EQ(r.exitCode, 1);
        const std::string err = r.err.toStdString();
        EXPECT_NE(err.find(c.where), std::string::npos) << err;
        EXPECT_FALSE(QFile::exists(path("twins.dat")));
    }
    writeFile(path("twins.json").toStdString(), cases[1].json);
    const std::string err =
        mxrtool({"store", "from-json", path("twins.json"), path("twins.dat")}).err.toStdString();
    EXPECT_NE(err.find(R"(the name "cable-a" is the same as the name "Cable-A" before it)"),
              std::string::npos)
        << err;
}

TEST_F(StoreCli, ResaveAndFromJsonRoundTrips)
{
    ASSERT_EQ(mxrtool({"store", "resave", data("canonical.dat"), path("c.dat")}).exitCode, 0);
    EXPECT_EQ(readFile(path("c.dat").toStdString()), fixture("canonical.dat"));
    ASSERT_EQ(mxrtool({"store", "resave", data("v3.dat"), path("v6.dat")}).exitCode, 0);
    EXPECT_EQ(readFile(path("v6.dat").toStdString()), fixture("v3_as_v6.dat"));

    // A store of float64 values goes through JSON and comes back byte for byte.
    const ToolRun dumped = mxrtool({"store", "dump", data("v3_as_v6.dat")});
    writeFile(path("d.json").toStdString(), dumped.out.toStdString());
    ASSERT_EQ(mxrtool({"store", "from-json", path("d.json"), path("j.dat")}).exitCode, 0);
    EXPECT_EQ(readFile(path("j.dat").toStdString()), fixture("v3_as_v6.dat"));
}

TEST_F(StoreCli, FromJsonRecalcUsesTriggValidSecOfTheApplicationFolder)
{
    // Two records at 1 and 2 kV, 0.2 s steps over 70 s; a kick above the trigger setting at 5 s.
    QJsonArray points;
    for (int i = 1; i <= 350; ++i)
        points.append(QJsonArray({0.2 * i, i == 25 ? 50.0 : 10.0 - i * 0.02}));
    QJsonObject rec{
        {"TestVoltage", 1.0}, {"TriggerLevel", 20.0}, {"UsedPoints", 350}, {"Points", points}};
    QJsonObject rec2 = rec;
    rec2["TestVoltage"] = 2.0;
    const QJsonObject doc{
        {"customers",
         QJsonArray{QJsonObject{
             {"name", QString::fromUtf8("需要家")},
             {"cables",
              QJsonArray{QJsonObject{
                  {"name", "K"},
                  {"sets", QJsonArray{QJsonObject{{"name", "S"},
                                                  {"records", QJsonArray{rec, rec2}}}}}}}}}}}};
    writeFile(path("in.json").toStdString(), QJsonDocument(doc).toJson().toStdString());
    writeFile(path("system.ini").toStdString(), "[Param]\r\nTriggValidSec=3\r\n");

    for (bool customValid : {false, true}) {
        QStringList args{"store", "from-json", path("in.json"), path("out.dat"), "--recalc"};
        if (customValid)
            args = QStringList{"--home", dir.path()} + args;
        ASSERT_EQ(mxrtool(args).exitCode, 0);
        CCustomerDB db;
        ASSERT_TRUE(LoadStore(db, path("out.dat").toStdString()).ok);
        const CMeasData& set = db.customers.At(0).cables.At(0).sets.At(0);
        const CMeasRecord& r = set.RecordAt(0);
        EXPECT_DOUBLE_EQ(r.LastCurrent, 3.0);
        EXPECT_DOUBLE_EQ(r.SeikyokuRatio, (10.0 - 300 * 0.02) / 3.0);
        EXPECT_DOUBLE_EQ(r.JyakutenRatio, (1.0 / 3.0) / (2.0 / 3.0));
        EXPECT_EQ(r.Triggers.size(), customValid ? 1u : 0u) << "the kick at 5 s";
    }
    EXPECT_EQ(readFile(path("system.ini").toStdString()), "[Param]\r\nTriggValidSec=3\r\n");
}

// A set approved in OUT's workspace keeps its values through --recalc, and the tool says so.
TEST_F(StoreCli, FromJsonRecalcLeavesApprovedSetsAlone)
{
    QJsonArray points;
    for (int i = 1; i <= 350; ++i)
        points.append(QJsonArray({0.2 * i, 10.0 - i * 0.02}));
    const QJsonObject rec{{"TestVoltage", 1.0}, {"UsedPoints", 350}, {"Points", points}};
    auto set = [&rec](const char* name) {
        return QJsonObject{{"name", name}, {"records", QJsonArray{rec}}};
    };
    const QJsonObject doc{
        {"customers",
         QJsonArray{QJsonObject{
             {"name", "C"},
             {"cables",
              QJsonArray{QJsonObject{{"name", "K"}, {"sets", QJsonArray{set("A"), set("B")}}}}}}}}};
    writeFile(path("in.json").toStdString(), QJsonDocument(doc).toJson().toStdString());
    ASSERT_EQ(mxrtool({"store", "from-json", path("in.json"), path("out.dat")}).exitCode, 0);
    CMeasRecord asWritten;
    {
        CCustomerDB db;
        ASSERT_TRUE(LoadStore(db, path("out.dat").toStdString()).ok);
        asWritten = db.customers.At(0).cables.At(0).sets.At(0).RecordAt(0);
        ASSERT_NE(asWritten.LastCurrent, 3.0);
        ws::Workspace workspace;
        ASSERT_TRUE(workspace.Open(path("out.dat").toStdString(), true).usable());
        ASSERT_EQ(ws::Approvals(workspace).Approve(db, {"C", "K", "A"}, "y", "2026/12/11",
                                                   {"u", "pc"}, 1),
                  ws::ApprovalStatus::Done);
    }
    const ToolRun run =
        mxrtool({"store", "from-json", path("in.json"), path("out.dat"), "--recalc"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("1 approved set(s) kept as approved: not recalculated"))
        << run.err.toStdString();
    CCustomerDB db;
    ASSERT_TRUE(LoadStore(db, path("out.dat").toStdString()).ok);
    const CCable& cable = db.customers.At(0).cables.At(0);
    EXPECT_EQ(cable.sets.At(0).RecordAt(0), asWritten) << "A: as the document says";
    EXPECT_DOUBLE_EQ(cable.sets.At(1).RecordAt(0).LastCurrent, 3.0) << "B: recalculated";
}

TEST_F(StoreCli, AMissingOrUnreadableInputNeverReplacesTheOutput)
{
    const std::string kept = fixture("canonical.dat");
    writeFile(path("out.dat").toStdString(), kept);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    ASSERT_EQ(::mkfifo(path("fifo").toLocal8Bit().constData(), 0600), 0);
    writeFile(path("locked.json").toStdString(), "{}");
    ::chmod(path("locked.json").toLocal8Bit().constData(), 0);
    const bool unreadableCanBeMade = ::geteuid() != 0;

    struct Case {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{"store", "resave", path("missing.dat"), path("out.dat")}, "No such file or directory"},
        {{"store", "resave", path("folder"), path("out.dat")}, "not a regular file"},
        {{"store", "resave", path("fifo"), path("out.dat")}, "not a regular file"},
        {{"store", "from-json", path("missing.json"), path("out.dat")}, "No such file"},
        {{"store", "from-json", path("folder"), path("out.dat")}, "not a regular file"},
        {{"store", "from-json", path("fifo"), path("out.dat")}, "not a regular file"},
        {{"store", "from-json", path("locked.json"), path("out.dat")}, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        if (c.args[2].endsWith("locked.json") && !unreadableCanBeMade) {
            std::printf("skipped the unreadable file: running as root, every file is readable\n");
            continue;
        }
        const ToolRun r = mxrtool(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err.toStdString();
        EXPECT_EQ(readFile(path("out.dat").toStdString()), kept);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3)
        << "no temporary file left beside the output";

    // dump keeps the start-up meaning of a missing file, and says so.
    const ToolRun r = mxrtool({"store", "dump", path("missing.dat")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(r.out).object()["customers"].toArray().size(), 0);
    EXPECT_TRUE(r.err.contains("missing.dat does not exist or is a folder: read as an empty store"))
        << r.err.toStdString();
}

TEST_F(StoreCli, FailuresGiveTheMessageAndExitStatus)
{
    std::string damaged = fixture("canonical.dat").substr(0, 300);
    writeFile(path("bad.dat").toStdString(), damaged);
    for (const QStringList& args :
         {QStringList{"store", "dump", path("bad.dat")},
          QStringList{"store", "resave", path("bad.dat"), path("o.dat")}}) {
        const ToolRun r = mxrtool(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.isEmpty());
        // Cut inside the first record: its point count cannot fit in what is left. The
        // program's own text follows what failed.
        EXPECT_EQ(r.err.toStdString(),
                  "mxrtool: the data store " + path("bad.dat").toStdString() +
                      " could not be read:\n"
                      "ｱｰｶｲﾌﾞ異常\n個数がファイルの残りの大きさを超えています\n"
                      ".\\DAT_CUSTOMER(180)\n");
    }
    EXPECT_FALSE(QFile::exists(path("o.dat")));
    EXPECT_EQ(readFile(path("bad.dat").toStdString()), damaged); // never touched

    writeFile(path("v5.dat").toStdString(), Bytes().header(5).u16(0).b);
    EXPECT_EQ(mxrtool({"store", "dump", path("v5.dat")}).err.toStdString(),
              "mxrtool: the data store " + path("v5.dat").toStdString() +
                  " could not be read:\n"
                  "データファイルのバージョンが適切ではありません\n新規に作成します\n");

    writeFile(path("bad.json").toStdString(), R"({"customers": [{"name": "x", "cables": 3}]})");
    const ToolRun j = mxrtool({"store", "from-json", path("bad.json"), path("j.dat")});
    EXPECT_EQ(j.exitCode, 1);
    EXPECT_TRUE(j.err.contains("$.customers[0].cables: not an array"));

    EXPECT_EQ(mxrtool({"store", "dump"}).exitCode, 2);
    EXPECT_EQ(mxrtool({"store", "resave", "a"}).exitCode, 2);
    EXPECT_EQ(mxrtool({"store", "shrink", "a"}).exitCode, 2);
}

} // namespace

// store backups / restore in an application folder with the default data file.
TEST_F(StoreCli, BackupsListAndRestoreRoundTrip)
{
    const std::string store = dir.filePath("DATA/MXR.DAT").toStdString();
    QDir(dir.path()).mkpath("DATA");
    ASSERT_TRUE(SaveStore(sampleTree(2, 2, 3), store).ok);
    const std::string first = readFile(store);
    const storebackup::BackupResult b = storebackup::MakeBackup(store, {});
    ASSERT_TRUE(b.ok);
    writeFile(dir.filePath("DATA/backup/MXR-20200101-000000.DAT").toStdString(), "garbage");
    ASSERT_TRUE(SaveStore(sampleTree(1, 1, 1), store).ok);

    const ToolRun list = mxrtool({"--home", dir.path(), "store", "backups"});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QJsonArray backups = QJsonDocument::fromJson(list.out).object()["backups"].toArray();
    ASSERT_EQ(backups.size(), 2);
    EXPECT_TRUE(backups[0]["readable"].toBool());
    EXPECT_EQ(backups[0]["customers"].toInt(), 2);
    EXPECT_EQ(backups[0]["measurements"].toInt(), 4);
    EXPECT_FALSE(backups[0].toObject().contains("workspace")) << "a store without a workspace";
    EXPECT_EQ(backups[1]["time"].toString(), "2020-01-01T00:00:00");
    EXPECT_FALSE(backups[1]["readable"].toBool());
    EXPECT_FALSE(backups[1]["problem"].toString().isEmpty());

    const ToolRun bad =
        mxrtool({"--home", dir.path(), "store", "restore", backups[1]["file"].toString()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(readFile(store), first);

    const ToolRun r =
        mxrtool({"--home", dir.path(), "store", "restore", QString::fromStdString(b.path)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(store), first);
    const ToolRun after = mxrtool({"--home", dir.path(), "store", "backups"});
    EXPECT_EQ(QJsonDocument::fromJson(after.out).object()["backups"].toArray().size(), 3)
        << "the replaced store became a backup";
}

// A restore takes the backup's workspace copy along and journals itself; the workspace as it
// was stays with the backup of the replaced store.
TEST_F(StoreCli, RestoreJournalsItselfAndKeepsTheWorkspaceWithTheReplacedStore)
{
    const std::string store = dir.filePath("DATA/MXR.DAT").toStdString();
    QDir(dir.path()).mkpath("DATA");
    ASSERT_TRUE(SaveStore(sampleTree(2, 2, 3), store).ok);
    ws::JournalEntry note;
    note.time = 1000;
    note.command = ws::kind::Approve;
    note.summary = "承認";
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(store, true).usable());
        w.SetBaseline(sampleTree(2, 2, 3), IdentityOfPath(store));
        w.Append(note);
    }
    const storebackup::BackupResult b = storebackup::MakeBackup(store, ws::WithWorkspace({}));
    ASSERT_TRUE(b.ok);
    ASSERT_TRUE(SaveStore(sampleTree(1, 1, 1), store).ok);
    {
        ws::Workspace w; // as after a journaled save
        ASSERT_TRUE(w.Open(store, false).usable());
        w.SetBaseline(sampleTree(1, 1, 1), IdentityOfPath(store));
    }

    const ToolRun r =
        mxrtool({"--home", dir.path(), "store", "restore", QString::fromStdString(b.path)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ws::Workspace w;
    ASSERT_TRUE(w.Open(store, false).usable());
    const std::vector<ws::JournalEntry> entries = w.Query();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].command, ws::kind::Restore);
    EXPECT_EQ(entries[1].reason, b.path.substr(b.path.rfind('/') + 1));
    EXPECT_FALSE(entries[1].items.empty()) << "the records the restore brought back";

    const QJsonArray backups = QJsonDocument::fromJson(
        mxrtool({"--home", dir.path(), "store", "backups"}).out).object()["backups"].toArray();
    ASSERT_EQ(backups.size(), 2);
    EXPECT_EQ(backups[1]["workspace"].toString().toStdString(), ws::WorkspaceCopyFor(b.path));
    const std::string kept = backups[0]["file"].toString().toStdString();
    ws::Workspace keptCopy;
    ASSERT_TRUE(keptCopy.OpenFile(ws::WorkspaceCopyFor(kept), false).usable());
    EXPECT_EQ(keptCopy.Query().size(), 1u);
}
