// store backups | store restore: the backups of the application folder's data store.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "settings/appfolder.h"
#include "settings/backupsettings.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "model/cp932text.h"
#include "store/backup.h"
#include "store/store.h"

namespace {

struct StoreSetup {
    std::string storePath;
    storebackup::BackupPolicy policy;
};

// The data file and the kept counts as MXRView.INI names them, read without writing anything.
std::optional<StoreSetup> storeSetup(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return std::nullopt;
    const std::string iniPath = *folder + "/MXRView.INI";
    CIniFile ini(iniPath);
    StoreSetup setup;
    std::string file =
        NativeStorePath(ini.GetString(inisec::Param, inikey::DataFile, ".\\DATA\\MXR.DAT", false));
    if (file.rfind("./", 0) == 0)
        file = file.substr(2);
    setup.storePath = file.empty() || file[0] != '/' ? *folder + "/" + file : file;
    setup.policy = ReadBackupPolicy(iniPath);
    return setup;
}

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
        if (b.readable) {
            o["customers"] = static_cast<double>(b.customers);
            o["measurements"] = static_cast<double>(b.measurements);
        } else {
            o["problem"] = QString::fromStdString(cp932::toUtf8(b.problem));
        }
        list.append(o);
    }
    const QByteArray json =
        QJsonDocument(
            QJsonObject{{"store", QFile::decodeName(setup.storePath.c_str())}, {"backups", list}})
            .toJson(QJsonDocument::Indented);
    std::fwrite(json.data(), 1, static_cast<std::size_t>(json.size()), stdout);
    return 0;
}

} // namespace

int runBackupCommand(const ToolContext& ctx, const QString& sub, const QStringList& args)
{
    const std::optional<StoreSetup> setup = storeSetup(ctx);
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
    const storebackup::RestoreResult r = storebackup::RestoreBackup(
        QFile::encodeName(args[0]).toStdString(), setup->storePath, setup->policy);
    if (!r.ok) {
        return ToolFailure(ToolMsg::RestoreFailed, {QString::fromLocal8Bit(r.message.c_str())});
    }
    if (!r.safeguard.noStore)
        ToolNote(ToolMsg::ReplacedStoreKept, {QFile::decodeName(r.safeguard.path.c_str())});
    return 0;
}
