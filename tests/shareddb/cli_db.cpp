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
#include "workspace/workspace.h"

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
    EXPECT_EQ(run({"db", "init"})["version"].toInt(), 5);
    EXPECT_EQ(run({"db", "init"})["versionBefore"].toInt(), 5); // a second init changes nothing
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

TEST_F(DbCliTest, WhatAPullBringsIsJournaledAsAPull)
{
    setenv("PGHOST", server().socketDir().c_str(), 1);
    setenv("PGPORT", std::to_string(server().port()).c_str(), 1);
    setenv("PGUSER", server().user().c_str(), 1);
    setenv("PGDATABASE", m_db.c_str(), 1);
    run({"db", "init"});
    // One workstation sends a record.
    CMeasRecord sent;
    sent.DataNo = 7;
    sent.StartTime = {45000.5, OleDateTime::Valid};
    ASSERT_TRUE(SaveStore(sample::treeWith({sent}, "C", "K", "S"),
                          (m_home / "DATA" / "MXR.DAT").string())
                    .ok);
    EXPECT_EQ(run({"db", "sync"})["sent"].toInt(), 1);

    // Another, whose store has a journal, takes it in.
    m_home = m_tmp / "other";
    fs::create_directories(m_home / "DATA");
    const std::string store = (m_home / "DATA" / "MXR.DAT").string();
    CMeasRecord own = sent;
    own.DataNo = 8;
    const CCustomerDB tree = sample::treeWith({own}, "D", "K", "S");
    ASSERT_TRUE(SaveStore(tree, store).ok);
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(store, true).usable());
        w.SetBaseline(tree, IdentityOfPath(store));
    }
    EXPECT_TRUE(run({"db", "sync"})["storeSaved"].toBool());

    ws::Workspace w;
    ASSERT_TRUE(w.Open(store, false).usable());
    const std::vector<ws::JournalEntry> entries = w.Query();
    ASSERT_EQ(entries.size(), 1u) << "the store had not changed before the sync";
    EXPECT_EQ(entries[0].command, ws::kind::Pull);
    int added = 0;
    for (const ws::JournalItem& i : entries[0].items)
        added += i.change == ws::ItemChange::Added && i.customer == "C" ? 1 : 0;
    EXPECT_EQ(added, 1);
}

} // namespace
