// The shared database's connection settings: MXRView.INI's section "SharedDB", each value that
// is missing left to libpq's own defaults (PGHOST, PGPORT, PGDATABASE, PGUSER, PGSSLMODE).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace shareddb {

inline constexpr const char* kSection = "SharedDB";
// The keys of the section; each is also the libpq keyword it is passed as. A password is never
// read from the INI: it comes from ~/.pgpass or PGPASSWORD, as for every libpq program.
inline constexpr const char* kSettingKeys[] = {"host", "port", "dbname", "user", "sslmode"};
// "database" is accepted as the friendlier spelling of "dbname".
inline constexpr const char* kDatabaseAlias = "database";
// The name this workstation writes into the records it sends; the host name when missing.
inline constexpr const char* kWorkstationKey = "workstation";
// Seconds allowed for connecting, for a lock, a statement, a silent server (default 30).
inline constexpr const char* kTimeoutKey = "timeout";
// The longest time-out the setting may ask for.
inline constexpr int kMaxTimeoutSeconds = 3600;

struct DbSettings {
    // Keyword/value pairs for PQconnectdbParams: only the values the INI has, so that libpq
    // falls back to its environment per value.
    std::vector<std::pair<std::string, std::string>> params;
    std::string workstation; // empty: the host name
    int timeoutSeconds = 30; // kDefaultTimeoutSeconds of pgconnection.h
    // A short description for messages ("host=/run/x dbname=mxr"; defaults not shown).
    std::string Describe() const;
};

// Reads the section from the INI file at iniPath without writing anything back. A timeout that
// is not a whole number of seconds above 0 is the default; above kMaxTimeoutSeconds, the
// maximum.
DbSettings ReadDbSettings(const std::string& iniPath);

} // namespace shareddb
