// mxrtool analyze, run as a separate process on the demo store: the JSON document, --set, the
// limits of system.ini, and its refusals.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "app/demodata.h"
#include "store/store.h"

namespace {

class AnalyzeCli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        store = dir->filePath("MXR.DAT");
        ASSERT_TRUE(SaveStore(demo::BuildStore(), store.toStdString()).ok);
    }
    static void TearDownTestSuite() { delete dir; }

    static QJsonObject analyze(const QStringList& extra, const QString& home = {})
    {
        QStringList args;
        if (!home.isEmpty())
            args << "--home" << home;
        args << "analyze" << store << "--customer"
             << "南風台浄水場"
             << "--cable"
             << "送水ポンプ CV 6.6kV" << extra;
        const ToolRun run = mxrtool(args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return doc.object();
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QString store;
};

TEST_F(AnalyzeCli, HistoryOfTheCable)
{
    const QJsonObject doc = analyze({});
    EXPECT_EQ(doc["customer"].toString(), "南風台浄水場");
    EXPECT_EQ(doc["thresholds"].toObject()["UnbalanceLimit"].toDouble(), 200.0);
    const QJsonArray sets = doc["sets"].toArray();
    ASSERT_EQ(sets.size(), 30);
    EXPECT_EQ(sets[0].toObject()["date"].toString(), "2016/08/20");
    const QJsonObject last = sets[29].toObject();
    EXPECT_EQ(last["name"].toString(), "2025年 T相");
    const QJsonObject curve = last["steps"].toArray()[0].toObject();
    EXPECT_EQ(curve["knee"].toInt(), 3);
    EXPECT_TRUE(curve["points"].toArray()[3].toObject()["knee"].toBool());
    const QJsonObject record = last["records"].toArray()[3].toObject();
    EXPECT_EQ(record["phase"].toString(), "Ｔ相");
    const QJsonArray judgments = record["judgments"].toArray();
    ASSERT_EQ(judgments.size(), 3);
    EXPECT_EQ(judgments[0].toObject()["value"].toString(), "LastCurrent");
    EXPECT_EQ(judgments[0].toObject()["judgment"].toString(), "不良");
    EXPECT_TRUE(judgments[0].toObject()["text"].toString().endsWith("→ 不良"));
    EXPECT_TRUE(judgments[2].toObject()["judgment"].isNull()); // the last step has no 弱点比

    // The whole cable's phase table: 40 rows (10 days × 4 voltages), complete.
    const QJsonArray phases = doc["phases"].toArray();
    ASSERT_EQ(phases.size(), 40);
    const QJsonObject row = phases[39].toObject();
    EXPECT_EQ(row["day"].toString(), "2025/08/20");
    EXPECT_EQ(row["unbalance"].toObject()["status"].toString(), "ok");
    EXPECT_TRUE(row["unbalance"].toObject()["exceeds"].toBool());
    EXPECT_EQ(row["records"].toArray()[2].toObject()["set"].toString(), "2025年 T相");

    // The gradual rise of 2025 R at 8 kV.
    const QJsonObject rise = sets[27].toObject()["records"].toArray()[3].toObject();
    EXPECT_TRUE(rise["rise"].toObject()["rising"].toBool());
    bool found = false;
    for (const auto& s : rise["signs"].toArray())
        found = found || s.toObject()["kind"].toString() == "rise";
    EXPECT_TRUE(found);
}

TEST_F(AnalyzeCli, OneSetAndLimitsFromSystemIni)
{
    const QString home = dir->filePath("home");
    QDir().mkpath(home);
    QFile ini(home + "/system.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Analysis]\r\nUnbalanceLimit=1000\r\n");
    ini.close();
    const QJsonObject doc = analyze({"--set", "2025年 S相"}, home);
    EXPECT_EQ(doc["thresholds"].toObject()["UnbalanceLimit"].toDouble(), 1000.0);
    const QJsonArray sets = doc["sets"].toArray();
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0].toObject()["name"].toString(), "2025年 S相");
    // The phase table of the set's day, judged against the raised limit.
    const QJsonArray phases = doc["phases"].toArray();
    ASSERT_EQ(phases.size(), 4);
    for (const auto& p : phases)
        EXPECT_FALSE(p.toObject()["unbalance"].toObject()["exceeds"].toBool());
}

TEST_F(AnalyzeCli, Refusals)
{
    struct Case {
        QStringList args;
        int exitCode;
    };
    const Case cases[] = {
        {{"analyze", store, "--customer", "南風台浄水場"}, 2},
        {{"analyze", store, "--customer", "無い", "--cable", "x"}, 1},
        {{"analyze", store, "--customer", "南風台浄水場", "--cable", "無い"}, 1},
        {{"analyze", store, "--customer", "南風台浄水場", "--cable", "送水ポンプ CV 6.6kV", "--set",
          "無い"},
         1},
        {{"analyze", dir->filePath("missing.dat"), "--customer", "a", "--cable", "b"}, 1},
    };
    for (const Case& c : cases) {
        const ToolRun run = mxrtool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
}

} // namespace
