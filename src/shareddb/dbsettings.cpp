// Reading the "SharedDB" section of MXRView.INI.
#include "shareddb/dbsettings.h"

#include <optional>

#include "settings/inifile.h"

namespace shareddb {

std::string DbSettings::Describe() const
{
    std::string s;
    for (const auto& [k, v] : params)
        if (k != "application_name" && k != "connect_timeout")
            s += (s.empty() ? "" : " ") + k + "=" + v;
    return s.empty() ? "(libpq defaults)" : s;
}

DbSettings ReadDbSettings(const std::string& iniPath)
{
    CIniFile ini(iniPath);
    DbSettings settings;
    for (const char* key : kSettingKeys) {
        std::optional<std::string> value = ini.Find(kSection, key);
        if (!value && std::string(key) == "dbname")
            value = ini.Find(kSection, kDatabaseAlias);
        if (value && !value->empty())
            settings.params.emplace_back(key, *value);
    }
    settings.workstation = ini.Find(kSection, kWorkstationKey).value_or("");
    // Application name shows in the server's activity view.
    settings.params.emplace_back("application_name", "mxrview");
    // A server that does not answer should not hang a sync for minutes.
    settings.params.emplace_back("connect_timeout", "10");
    return settings;
}

} // namespace shareddb
