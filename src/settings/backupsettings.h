// How many backups of the data store are kept, as MXRView.INI sets it ([Param] BackupKeepLast,
// BackupKeepMonths). Read without writing: a missing key means the default, and a count below
// its minimum (0 or a negative one included) means the minimum.
#pragma once

#include <string>

#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "store/backup.h"

inline storebackup::BackupPolicy ReadBackupPolicy(const std::string& iniPath)
{
    CIniFile ini(iniPath);
    storebackup::BackupPolicy policy;
    policy.keepLast = ini.GetInt(inisec::Param, inikey::BackupKeepLast, policy.keepLast, false);
    policy.keepMonths =
        ini.GetInt(inisec::Param, inikey::BackupKeepMonths, policy.keepMonths, false);
    return policy.Clamped();
}
