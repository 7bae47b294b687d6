// The application folder's store as MXRView.INI names it, for the commands that work on it.
#pragma once

#include <QJsonObject>

#include <optional>
#include <string>

#include "commands.h"
#include "store/backup.h"
#include "workspace/journalentry.h"

struct StoreSetup {
    std::string folder;    // the application folder
    std::string iniPath;   // its MXRView.INI
    std::string storePath; // the data file, native and absolute
    storebackup::BackupPolicy policy;
};

// Read without writing anything to the INI; nullopt without an application folder.
std::optional<StoreSetup> ReadStoreSetup(const ToolContext& ctx);

// Who the journal names for a change this command makes: the login name and the workstation
// setting of the shared database in that INI (else the host name), as MXRView names them.
ws::Actor JournalActor(const StoreSetup& setup);

// The document, indented, on standard output.
void PrintJson(const QJsonObject& o);
