#include "storesetup.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstdio>

#include "settings/appfolder.h"
#include "settings/backupsettings.h"
#include "settings/inifile.h"
#include "shareddb/dbsettings.h"
#include "settings/settingskeys.h"
#include "store/store.h"
#include "workspace/workspacebackup.h"

std::optional<StoreSetup> ReadStoreSetup(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return std::nullopt;
    StoreSetup setup;
    setup.folder = *folder;
    setup.iniPath = *folder + "/MXRView.INI";
    CIniFile ini(setup.iniPath);
    std::string file =
        NativeStorePath(ini.GetString(inisec::Param, inikey::DataFile, ".\\DATA\\MXR.DAT", false));
    if (file.rfind("./", 0) == 0)
        file = file.substr(2);
    setup.storePath = file.empty() || file[0] != '/' ? *folder + "/" + file : file;
    // Every backup the commands make carries the store's workspace.
    setup.policy = ws::WithWorkspace(ReadBackupPolicy(setup.iniPath));
    return setup;
}

void PrintJson(const QJsonObject& o)
{
    const QByteArray json = QJsonDocument(o).toJson(QJsonDocument::Indented);
    std::fwrite(json.data(), 1, static_cast<std::size_t>(json.size()), stdout);
}

ws::Actor JournalActor(const StoreSetup& setup)
{
    return ws::CurrentActor(shareddb::ReadDbSettings(setup.iniPath).workstation);
}
