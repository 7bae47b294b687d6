// store backups | store restore: the backups of the application folder's data store.
#include <QJsonArray>
#include <QJsonObject>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "appinuse.h"
#include "commands.h"
#include "model/cp932text.h"
#include "store/backup.h"
#include "store/store.h"
#include "storesetup.h"
#include "workspace/workspacebackup.h"

namespace {

int listBackups(const StoreSetup& setup)
{
    QJsonArray list;
    for (const storebackup::BackupInfo& b : storebackup::ListBackups(setup.storePath)) {
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &b.stamp);
        QJsonObject o{{"file", QFile::decodeName(b.path.c_str())},
                      {"time", when},
                      {"size", static_cast<double>(b.size)},
                      {"readable", b.readable}};
        const std::string workspace = ws::WorkspaceCopyFor(b.path);
        if (QFile::exists(QFile::decodeName(workspace.c_str())))
            o["workspace"] = QFile::decodeName(workspace.c_str());
        if (b.readable) {
            o["customers"] = static_cast<double>(b.customers);
            o["measurements"] = static_cast<double>(b.measurements);
        } else {
            o["problem"] = QString::fromStdString(cp932::toUtf8(b.problem));
        }
        list.append(o);
    }
    PrintJson(QJsonObject{{"store", QFile::decodeName(setup.storePath.c_str())}, {"backups", list}});
    return 0;
}

} // namespace

int runBackupCommand(const ToolContext& ctx, const QString& sub, const QStringList& args)
{
    const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
    if (!setup) {
        return ToolFailure(ToolMsg::NoAppFolder);
    }
    if (sub == "backups") {
        if (!args.isEmpty())
            return usageError(ToolMsg::Expected, {QStringLiteral("store backups")});
        return listBackups(*setup);
    }
    if (args.size() != 1)
        return usageError(ToolMsg::Expected, {QStringLiteral("store restore BACKUPFILE")});
    // A running MXRView would write its own copy of the store over the restored one.
    if (MxrViewHoldsFolder(setup->folder))
        return ToolFailure(ToolMsg::FolderInUse, {QFile::decodeName(setup->folder.c_str())});
    const std::string backupPath = QFile::encodeName(args[0]).toStdString();
    const storebackup::RestoreResult r =
        storebackup::RestoreBackup(backupPath, setup->storePath, setup->policy);
    if (!r.ok) {
        return ToolFailure(ToolMsg::RestoreFailed, {QString::fromLocal8Bit(r.message.c_str())});
    }
    if (!r.safeguard.noStore)
        ToolNote(ToolMsg::ReplacedStoreKept, {QFile::decodeName(r.safeguard.path.c_str())});
    CCustomerDB after;
    const StoreOutcome restored = LoadStore(after, setup->storePath);
    const ws::RestoreJournal journal = ws::RestoreWorkspace(
        backupPath, setup->storePath, after, restored.identity,
        JournalActor(*setup));
    if (!journal.ok)
        ToolNote(ToolMsg::RestoreNotJournaled, {QString::fromStdString(journal.error)});
    return 0;
}
