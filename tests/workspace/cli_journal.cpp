// mxrtool journal: the workspace's journal as JSON, narrowed by names, days and a count, run as
// a user runs it on a real workspace file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "mxrtoolrun.h"
#include "workspace/workspace.h"

namespace {

// Japanese local time for the command, whatever the machine's zone.
ToolRun journal(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = englishMessages();
    env.insert(QStringLiteral("TZ"), QStringLiteral("JST-9"));
    p.setProcessEnvironment(env);
    p.setProgram(MXRTOOL_PATH);
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// 2026-12-D h:00 in Japan.
int64_t jst(int day, int hour)
{
    return 1'796'050'800 /* 2026-12-01 00:00 +09:00 */ + (day - 1) * 86400 + hour * 3600;
}

ws::JournalEntry entry(int64_t time, std::string command, std::string summary,
                       std::vector<ws::JournalItem> items)
{
    ws::JournalEntry e;
    e.time = time;
    e.user = "tanaka";
    e.workstation = "PC-01";
    e.command = std::move(command);
    e.summary = std::move(summary);
    e.items = std::move(items);
    return e;
}

ws::JournalItem recordItem(std::string customer, std::string cable, std::string set)
{
    ws::JournalItem i;
    i.change = ws::ItemChange::Changed;
    i.level = ws::ItemLevel::Record;
    i.customer = std::move(customer);
    i.cable = std::move(cable);
    i.set = std::move(set);
    i.contentKey = std::string(64, 'a');
    i.stateHash = 0x0123456789abcdefULL;
    i.fields = {{"試験電圧", "1.50", "2.00"}};
    return i;
}

class JournalCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("DATA")));
        store = dir.filePath(QStringLiteral("DATA/MXR.DAT")).toStdString();
        ws::Workspace w;
        ASSERT_TRUE(w.Open(store, true).usable());
        ws::JournalItem added;
        added.change = ws::ItemChange::Added;
        added.level = ws::ItemLevel::Customer;
        added.customer = "東工業";
        w.Append(entry(jst(1, 10), "add-name", "追加: 東工業", {added}));
        // The other customer's change lies between this customer's two, so a query by name
        // leaves a gap in the ids it returns.
        w.Append(entry(jst(5, 9), "edit-measurement", "測定データの編集",
                       {recordItem("西電機", "CV-9", "2026秋")}));
        w.Append(entry(jst(5, 23), "edit-measurement", "測定データの編集",
                       {recordItem("東工業", "CV-1", "2026春")}));
        ws::JournalEntry withdraw = entry(jst(10, 8), "withdraw-approval", "承認の取り消し", {});
        withdraw.reason = "再測定のため";
        w.Append(withdraw);
    }

    QJsonObject run(const QStringList& args)
    {
        const ToolRun r = journal(QStringList{"--home", dir.path(), "journal"} + args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        return doc.object();
    }

    static std::vector<QString> summaries(const QJsonObject& o)
    {
        std::vector<QString> s;
        for (const QJsonValue& e : o["entries"].toArray())
            s.push_back(e["summary"].toString() + "@" + e["time"].toString().mid(8, 5) + "#" +
                        QString::number(e["items"].toArray().size()));
        return s;
    }

    QTemporaryDir dir;
    std::string store;
};

} // namespace

TEST_F(JournalCliTest, EntriesCarryEveryValueOldestFirst)
{
    const QJsonObject o = run({});
    EXPECT_EQ(o["store"].toString().toStdString(), store);
    EXPECT_EQ(o["workspace"].toString().toStdString(), ws::WorkspacePathFor(store));
    const QJsonArray entries = o["entries"].toArray();
    ASSERT_EQ(entries.size(), 4);
    const QJsonObject edit = entries[2].toObject();
    EXPECT_LT(entries[1]["id"].toInteger(), edit["id"].toInteger());
    EXPECT_EQ(edit["time"].toString(), QStringLiteral("2026-12-05T23:00:00+09:00"));
    EXPECT_EQ(edit["epoch"].toInteger(), jst(5, 23));
    EXPECT_EQ(edit["user"].toString(), QStringLiteral("tanaka"));
    EXPECT_EQ(edit["workstation"].toString(), QStringLiteral("PC-01"));
    EXPECT_EQ(edit["command"].toString(), QStringLiteral("edit-measurement"));
    const QJsonObject item = edit["items"].toArray()[0].toObject();
    EXPECT_EQ(item["change"].toString(), QStringLiteral("changed"));
    EXPECT_EQ(item["level"].toString(), QStringLiteral("record"));
    EXPECT_EQ(item["customer"].toString(), QStringLiteral("東工業"));
    EXPECT_EQ(item["set"].toString(), QStringLiteral("2026春"));
    EXPECT_EQ(item["contentKey"].toString(), QString(64, 'a'));
    EXPECT_EQ(item["stateHash"].toString(), QStringLiteral("0123456789abcdef"));
    EXPECT_EQ(item["fields"].toArray()[0].toObject(),
              (QJsonObject{{"field", "試験電圧"}, {"before", "1.50"}, {"after", "2.00"}}));
    EXPECT_EQ(entries[3]["reason"].toString(), QStringLiteral("再測定のため"));
    EXPECT_TRUE(entries[3]["items"].toArray().isEmpty());
}

TEST_F(JournalCliTest, OptionsNarrowTheEntries)
{
    // Summary, day and hour, and the number of items each entry came with.
    const QString add = QStringLiteral("追加: 東工業@01T10#1"),
                  west = QStringLiteral("測定データの編集@05T09#1"),
                  east = QStringLiteral("測定データの編集@05T23#1"),
                  withdraw = QStringLiteral("承認の取り消し@10T08#0");
    struct Case {
        QStringList args;
        std::vector<QString> expected;
    } cases[] = {
        {{"--customer", "東工業"}, {add, east}},
        // Changes of the names above a set belong to its history too (its customer was added).
        {{"--customer", "東工業", "--cable", "CV-1", "--set", "2026春"}, {add, east}},
        {{"--customer", "西電機", "--cable", "CV-1"}, {}},
        // Days are local: the 23:00 edit of the 5th is still the 5th in Japan.
        {{"--since", "2026-12-05", "--until", "2026-12-05"}, {west, east}},
        {{"--since", "2026-12-06"}, {withdraw}},
        {{"--until", "2026-12-01"}, {add}},
        {{"--limit", "2"}, {east, withdraw}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(summaries(run(c.args)), c.expected) << c.args.join(' ').toStdString();

    // The store named on the command line instead of the application folder's.
    const ToolRun named = journal({"journal", QString::fromStdString(store), "--limit", "1"});
    ASSERT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_EQ(summaries(QJsonDocument::fromJson(named.out).object()),
              std::vector<QString>{withdraw});
}

TEST_F(JournalCliTest, AStoreWithoutWorkspaceHasAnEmptyJournalAndGetsNone)
{
    const QString other = dir.filePath(QStringLiteral("OTHER.DAT"));
    const ToolRun r = journal({"journal", other});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    EXPECT_TRUE(o["workspace"].isNull());
    EXPECT_TRUE(o["entries"].toArray().isEmpty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ws::WorkspacePathFor(other.toStdString()))));
}

TEST_F(JournalCliTest, BadOptionsAreUsageErrors)
{
    const QStringList bad[] = {{"--since", "2026-13-01"},
                               {"--until", "2026-02-30"},
                               {"--since", "12/01/2026"},
                               {"--limit", "0"},
                               {"--limit", "x"},
                               {"--since"},
                               {"--colour", "red"},
                               {"--cable", "CV-1"},
                               {"--customer", "東工業", "--set", "2026春"}};
    for (const QStringList& args : bad) {
        const ToolRun r = journal(QStringList{"--home", dir.path(), "journal"} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}
