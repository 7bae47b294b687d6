// mxrtool db, run as a nightly job runs it: settings from the INI or libpq's PG* variables.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "fileutil.h"
#include "clidbcase.h"
#include "samplerecords.h"
#include "store/store.h"

namespace fs = std::filesystem;

namespace {

class DbCliTest : public DbCliCase {
protected:
    void SetUp() override
    {
        DbCliCase::SetUp();
        for (const char* v : {"PGHOST", "PGPORT", "PGUSER", "PGDATABASE", "PGSSLMODE"})
            unsetenv(v);
    }
};

TEST_F(DbCliTest, EnvironmentAloneIsEnoughAndTheIniOverridesItPerValue)
{
    const std::string db = m_db;
    CMeasRecord r;
    r.DataNo = 7;
    r.StartTime = {45000.5, OleDateTime::Valid};
    const CCustomerDB store = sample::treeWith({r}, "C", "K", "S");
    ASSERT_TRUE(SaveStore(store, (m_home / "DATA" / "MXR.DAT").string()).ok);

    setenv("PGHOST", server().socketDir().c_str(), 1);
    setenv("PGPORT", std::to_string(server().port()).c_str(), 1);
    setenv("PGUSER", server().user().c_str(), 1);
    setenv("PGDATABASE", db.c_str(), 1);
    EXPECT_EQ(run({"db", "init"})["version"].toInt(), 3);
    EXPECT_EQ(run({"db", "init"})["versionBefore"].toInt(), 3); // a second init changes nothing
    const QJsonObject first = run({"db", "sync"});
    EXPECT_EQ(first["sent"].toInt(), 1);
    EXPECT_EQ(first["journalSent"].toInt(), 0) << "no workspace, no journal";
    EXPECT_TRUE(run({"db", "sync"})["nothingToDo"].toBool());
    const QJsonObject status = run({"db", "status"});
    EXPECT_EQ(status["records"].toInt(), 1);
    EXPECT_FALSE(status["pending"].toBool());

    // A wrong PGHOST is overridden by the INI's host; the other values still come from PG*.
    setenv("PGHOST", (m_home / "nowhere").c_str(), 1);
    testfile::writeAll(m_home / "MXRView.INI",
                       "[SharedDB]\r\nhost=" + server().socketDir() + "\r\n");
    EXPECT_EQ(run({"db", "status"})["records"].toInt(), 1);

    // And a wrong INI value is not rescued by the environment.
    testfile::writeAll(m_home / "MXRView.INI",
                       "[SharedDB]\r\nhost=" + (m_home / "nowhere").string() + "\r\n");
    setenv("PGHOST", server().socketDir().c_str(), 1);
    const QJsonObject refused = run({"db", "sync"}, 1);
    EXPECT_FALSE(refused["ok"].toBool());
    EXPECT_TRUE(refused["message"].toString().contains("共有データベースに接続できません"));
    EXPECT_EQ(run({"db", "frobnicate"}, 2).size(), 0);
}

} // namespace
