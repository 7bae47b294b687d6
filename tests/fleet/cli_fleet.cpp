// mxrtool fleet run as a user runs it: the plan of a generated store with a register entry, as
// JSON and CSV, its filters, the cache filled by the first run, and its usage errors.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "fleettesthelp.h"
#include "mxrtoolrun.h"
#include "store/store.h"
#include "workspace/cableregister.h"
#include "workspace/workspace.h"

using fleettest::add;
using fleettest::record;

namespace {

struct StoreFixture {
    fleettest::TempDir dir;
    std::string store;

    StoreFixture()
    {
        CCustomerDB tree;
        const std::string kanto = *cp932::fromUtf8("関東電力");
        add(tree, kanto.c_str(), "feeder-1", "2024", record("2024/01/31", 10, 20));
        add(tree, kanto.c_str(), "feeder-2", "2023", record("2023/08/31", 10, 70));
        sample::setAt(tree, kanto.c_str(), "spare", "none");
        add(tree, "North", "line-A", "R", record("2024/06/10", 10, 1, CabKindR));
        add(tree, "North", "line-A", "S", record("2024/06/10", 10, 1, CabKindS));
        add(tree, "North", "line-A", "T", record("2024/06/10", 10, 10, CabKindT));
        store = (dir.path / "MXR.dat").string();
        EXPECT_TRUE(SaveStore(tree, store).ok);
        ws::Workspace w;
        EXPECT_TRUE(w.Open(store, true).usable());
        ws::CableRegister reg(w);
        ws::CableRegisterEntry e;
        e.customer = kanto;
        e.cable = "feeder-1";
        e.location = "第2変電所 6号線";
        e.voltageKv = 6.6;
        e.cableType = "CVT";
        e.importance = "A";
        e.intervalMonths = 24;
        reg.Put(e, {"tester", "ws1"}, 1700000000);
    }

    ToolRun run(const QStringList& args)
    {
        return mxrtool(QStringList{"--home", QString::fromStdString(dir.path.string()), "fleet",
                                   QString::fromStdString(store)} +
                       args);
    }
};

QJsonObject json(const ToolRun& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    return doc.object();
}

} // namespace

TEST(FleetCli, PlansEveryCableRankedWithRegisterReasonsAndContributions)
{
    StoreFixture f;
    const QJsonObject root = json(f.run({"--as-of", "2024-12-15"}));
    EXPECT_EQ(root["asOf"].toString(), "2024-12-15");
    EXPECT_EQ(root["records"].toInt(), 5);
    EXPECT_EQ(root["summariesComputed"].toInt(), 5);
    const QJsonArray cables = root["cables"].toArray();
    ASSERT_EQ(cables.size(), 4);
    QStringList order;
    for (const auto& c : cables)
        order << c.toObject()["cable"].toString();
    EXPECT_EQ(order, (QStringList{"line-A", "feeder-2", "feeder-1", "spare"}));

    const QJsonObject lineA = cables[0].toObject();
    EXPECT_EQ(lineA["rank"].toInt(), 1);
    EXPECT_EQ(lineA["score"].toDouble(), 70.0);
    EXPECT_EQ(lineA["status"].toString(), "overdue");
    EXPECT_EQ(lineA["statusText"].toString(), "期限切れ");
    EXPECT_EQ(lineA["nextDue"].toString(), "2024-12-10");
    EXPECT_EQ(lineA["daysLeft"].toInt(), -5);
    EXPECT_EQ(lineA["reasons"].toArray()[0].toString(), "不平衡率 225 %のため周期 12 → 6 か月");
    const QJsonObject contribution = lineA["contributions"].toArray()[0].toObject();
    EXPECT_EQ(contribution["key"].toString(), "unbalance");
    EXPECT_EQ(contribution["points"].toDouble(), -30.0);
    EXPECT_EQ(lineA["latestJudgment"].toObject()["T"].toString(), "good");
    EXPECT_TRUE(lineA["register"].isNull());

    const QJsonObject feeder1 = cables[2].toObject();
    EXPECT_EQ(feeder1["customer"].toString(), "関東電力");
    EXPECT_EQ(feeder1["intervalSource"].toString(), "register");
    EXPECT_EQ(feeder1["nextDue"].toString(), "2026-01-31");
    EXPECT_EQ(feeder1["status"].toString(), "planned");
    EXPECT_EQ(feeder1["register"].toObject()["location"].toString(), "第2変電所 6号線");
    EXPECT_EQ(feeder1["register"].toObject()["voltageKv"].toDouble(), 6.6);

    const QJsonObject spare = cables[3].toObject();
    EXPECT_EQ(spare["status"].toString(), "untested");
    EXPECT_TRUE(spare["score"].isNull());
    EXPECT_TRUE(spare["nextDue"].isNull());

    // The second run finds every summary in the workspace's cache.
    EXPECT_EQ(json(f.run({"--as-of", "2024-12-15"}))["summariesComputed"].toInt(), 0);
}

TEST(FleetCli, FiltersFormatsAndUsageErrors)
{
    StoreFixture f;
    struct Case {
        QStringList args;
        QStringList cables;
    };
    const Case cases[] = {
        {{"--customer", "関東電力"}, {"feeder-2", "feeder-1", "spare"}},
        {{"--customer", "north", "--customer", "関東電力", "--due-before", "2025-01-01"},
         {"line-A", "feeder-2", "spare"}},
        {{"--due-before", "2024-12-10"}, {"feeder-2", "spare"}},
    };
    for (const Case& c : cases) {
        const QJsonObject root = json(f.run(QStringList{"--as-of", "2024-12-15"} + c.args));
        QStringList got;
        for (const auto& cable : root["cables"].toArray())
            got << cable.toObject()["cable"].toString();
        EXPECT_EQ(got, c.cables) << c.args.join(' ').toStdString();
    }

    const ToolRun csv = f.run({"--as-of", "2024-12-15", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0);
    EXPECT_TRUE(csv.out.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(csv.out.mid(3));
    const QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith("順位,需要家,ケーブル,重要度,状態,次回期限,健全度"));
    EXPECT_TRUE(lines[1].startsWith("1,North,line-A,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("不平衡率 225 % … −30"));

    for (const QStringList& bad :
         {QStringList{"--as-of", "2024-02-30"}, QStringList{"--due-before", "2024-1-1"},
          QStringList{"--format", "xml"}})
        EXPECT_EQ(f.run(bad).exitCode, 2) << bad.join(' ').toStdString();
    EXPECT_EQ(mxrtool({"fleet"}).exitCode, 2);
    EXPECT_EQ(
        mxrtool({"fleet", QString::fromStdString((f.dir.path / "none.dat").string())}).exitCode, 1);
}
