// What the user is told when the shared database fails: one sentence in Japanese that says what
// to check, then the server's or libpq's own text as 詳細. The menu command's summary and
// mxrtool's messages and JSON use the same texts.
#pragma once

#include <string>

#include "shareddb/dbsettings.h"
#include "shareddb/pgconnection.h"

namespace shareddb {

// The whole text for a failed connection or a failed sync (UTF-8).
std::string FailureMessage(const DbSettings& db, const PgError& e);
// A stable name of the kind for scripts ("unreachable", "lockTimeout", ...); empty for None.
const char* FailureCode(PgFailure kind);

} // namespace shareddb
