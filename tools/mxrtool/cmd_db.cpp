// db init | push | pull | sync | status: the shared PostgreSQL database, with JSON output.
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <optional>
#include <string>

#include "appinuse.h"
#include "commands.h"
#include "model/cp932text.h"
#include "shareddb/dbmessages.h"
#include "shareddb/sync.h"
#include "store/store.h"
#include "storesetup.h"
#include "toolmessages.h"
#include "workspace/storejournal.h"

namespace {

QString text(const std::string& cp932)
{
    return QString::fromStdString(cp932::toUtf8(cp932));
}

// The store, the state file and the connection settings of the application folder, read
// without writing anything to the INI.
std::optional<shareddb::SyncTarget> dbTarget(const std::optional<StoreSetup>& setup)
{
    if (!setup)
        return std::nullopt;
    shareddb::SyncTarget t;
    t.storePath = setup->storePath;
    t.statePath = setup->folder + "/" + shareddb::kStateFileName;
    t.backup = setup->policy;
    t.db = shareddb::ReadDbSettings(setup->iniPath);
    return t;
}

// Tells the store's journal (when it has one) what the file holds now, as `command`: before a
// sync that may write the store, a change made outside the program since the journal last
// looked; after it, the pull.
void noteStoreInJournal(const StoreSetup& setup, const char* command, std::string summary = {})
{
    if (!IdentityOfPath(ws::WorkspacePathFor(setup.storePath)).exists)
        return;
    CCustomerDB tree;
    const StoreOutcome read = LoadStore(tree, setup.storePath);
    if (!read.ok)
        return;
    ws::StoreJournal journal;
    journal.SetActor(JournalActor(setup));
    journal.SetWarning(
        [](const std::string& text) { std::fprintf(stderr, "mxrtool: %s\n", text.c_str()); });
    journal.Attach(setup.storePath);
    journal.AfterLoad(tree, read.identity, command, std::move(summary));
}

int fail(QJsonObject o, const std::string& message)
{
    o["ok"] = false;
    o["message"] = QString::fromStdString(message);
    PrintJson(o);
    std::fprintf(stderr, "mxrtool: %s\n", message.c_str());
    return 1;
}

QJsonObject summaryJson(const shareddb::SyncSummary& s)
{
    QJsonArray conflicts;
    for (const shareddb::SyncConflict& c : s.conflicts)
        conflicts.append(QJsonObject{
            {"customer", text(c.customer)},
            {"cable", text(c.cable)},
            {"set", text(c.set)},
            {"DataNo", c.dataNo},
            {"TestVoltage", c.testVoltage},
            {"StartTime", QJsonObject{{"status", c.startTime.status}, {"date", c.startTime.date}}},
            {"keptRevision", c.supersededRevision},
            {"keptFrom", QString::fromStdString(c.supersededBy)},
            {"winningRevision", c.winningRevision}});
    QJsonArray skipped;
    for (const shareddb::SkippedRecord& k : s.skipped)
        skipped.append(QJsonObject{
            {"customer", text(k.customer)},
            {"cable", text(k.cable)},
            {"set", text(k.set)},
            {"DataNo", k.dataNo},
            {"TestVoltage", k.testVoltage},
            {"StartTime", QJsonObject{{"status", k.startTime.status}, {"date", k.startTime.date}}},
            {"reason", QString::fromStdString(k.reason)}});
    QJsonObject o{{"ok", s.ok},
                  {"sent", s.sent},
                  {"received", s.received},
                  {"conflicts", conflicts},
                  {"skipped", skipped},
                  {"nothingToDo", s.nothingToDo},
                  {"cancelled", s.cancelled},
                  {"setsDone", s.setsDone},
                  {"setsTotal", s.setsTotal},
                  {"storeSaved", s.storeSaved},
                  {"journalSent", s.journalSent},
                  {"registerSent", s.registerSent},
                  {"registerReceived", s.registerReceived}};
    if (!s.journalProblem.empty())
        o["journalProblem"] = QString::fromStdString(s.journalProblem);
    if (!s.registerProblem.empty())
        o["registerProblem"] = QString::fromStdString(s.registerProblem);
    if (s.failure != shareddb::PgFailure::None)
        o["failure"] = QString::fromLatin1(shareddb::FailureCode(s.failure));
    if (!s.backupPath.empty())
        o["backup"] = QFile::decodeName(s.backupPath.c_str());
    if (!s.changedAsidePath.empty())
        o["changedAside"] = QFile::decodeName(s.changedAsidePath.c_str());
    if (s.otherDatabase) {
        o["otherDatabase"] = true;
        o["previousDatabaseId"] = QString::fromStdString(s.previousDatabaseId);
        o["databaseId"] = QString::fromStdString(s.databaseId);
    }
    return o;
}

} // namespace

int runDbCommand(const ToolContext& ctx, const QStringList& args)
{
    QStringList words = args;
    const bool switchDatabase = words.removeAll(QStringLiteral("--switch-database")) > 0;
    if (words.size() != 1)
        return usageError(ToolMsg::Expected, {QStringLiteral("db (init | push | pull | sync | status)")});
    const QString sub = words[0];
    const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
    std::optional<shareddb::SyncTarget> target = dbTarget(setup);
    if (!target) {
        return ToolFailure(ToolMsg::NoAppFolder);
    }
    const QJsonObject where{{"store", QFile::decodeName(target->storePath.c_str())},
                            {"connection", QString::fromStdString(target->db.Describe())}};
    if (sub == "init") {
        const shareddb::InitResult r = shareddb::InitDatabase(target->db);
        QJsonObject o = where;
        if (!r.ok)
            return fail(o, r.message);
        o["ok"] = true;
        o["versionBefore"] = r.versionBefore;
        o["version"] = r.versionAfter;
        PrintJson(o);
        return 0;
    }
    if (sub == "status") {
        const shareddb::DbStatus st = shareddb::ReadDbStatus(*target);
        QJsonObject o = where;
        if (!st.ok)
            return fail(o, st.message);
        o["ok"] = true;
        o["schemaVersion"] = st.schemaVersion;
        o["expectedVersion"] = st.expectedVersion;
        o["databaseId"] = QString::fromStdString(st.databaseId);
        o["customers"] = static_cast<double>(st.customers);
        o["cables"] = static_cast<double>(st.cables);
        o["sets"] = static_cast<double>(st.sets);
        o["records"] = static_cast<double>(st.records);
        o["historyRows"] = static_cast<double>(st.historyRows);
        o["synchronisedBefore"] = st.stateMatches;
        o["pending"] = st.pending;
        PrintJson(o);
        return 0;
    }
    shareddb::SyncMode mode;
    if (sub == "push")
        mode = shareddb::SyncMode::Push;
    else if (sub == "pull")
        mode = shareddb::SyncMode::Pull;
    else if (sub == "sync")
        mode = shareddb::SyncMode::Sync;
    else
        return usageError(ToolMsg::Expected, {QStringLiteral("db (init | push | pull | sync | status)")});
    // pull and sync write the store: not under a running MXRView, whose exit save would
    // write its own copy over them.
    if (mode != shareddb::SyncMode::Push && MxrViewHoldsFolder(setup->folder)) {
        QJsonObject o = where;
        o["failure"] = QStringLiteral("folderInUse");
        return fail(o, ToolText(ToolMsg::FolderInUse, {QFile::decodeName(setup->folder.c_str())})
                           .toStdString());
    }
    // SIGTERM and SIGINT cancel the work at once (the set in progress rolls back), and the
    // command ends with the status of the signal after telling what was done.
    shareddb::PgCancel cancel;
    TerminationWatch watch(cancel);
    shareddb::SyncHooks hooks;
    hooks.cancel = &cancel;
    hooks.cancelled = [&cancel] { return cancel.requested(); };
    target->switchDatabase = switchDatabase;
    if (mode != shareddb::SyncMode::Push)
        noteStoreInJournal(*setup, ws::kind::External);
    const shareddb::SyncSummary s = shareddb::RunSync(*target, mode, hooks);
    if (s.storeSaved)
        noteStoreInJournal(*setup, ws::kind::Pull, "共有データベースから取り込み");
    QJsonObject o = summaryJson(s);
    for (auto it = where.begin(); it != where.end(); ++it)
        o[it.key()] = it.value();
    if (watch.signal() != 0) {
        o["signal"] = watch.signal();
        if (s.ok)
            PrintJson(o);
        else
            fail(o, s.message);
        return 128 + watch.signal();
    }
    if (!s.ok)
        return fail(o, s.message);
    PrintJson(o);
    return 0;
}
