// Reading the "SharedDB" section of MXRView.INI.
#include "shareddb/dbsettings.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "settings/inifile.h"

namespace shareddb {
namespace {

std::string trimmedText(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

} // namespace

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
    if (const std::optional<std::string> t = ini.Find(kSection, kTimeoutKey)) {
        const std::string text = trimmedText(*t);
        char* end = nullptr;
        const long seconds = std::strtol(text.c_str(), &end, 10);
        if (!text.empty() && end && *end == '\0' && seconds > 0)
            settings.timeoutSeconds = static_cast<int>(std::min<long>(seconds, kMaxTimeoutSeconds));
    }
    // Application name shows in the server's activity view.
    settings.params.emplace_back("application_name", "mxrview");
    return settings;
}

} // namespace shareddb
