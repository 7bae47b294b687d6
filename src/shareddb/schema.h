// The shared database's tables, created and brought up to date by numbered migrations.
#pragma once

#include <string>

#include "shareddb/pgconnection.h"

namespace shareddb {

// The schema version this program writes and reads.
int CurrentSchemaVersion();

struct SchemaStatus {
    int version = 0; // 0: no tables of ours
    std::string databaseId;
};

// The version the database holds and its identity (a random id made by the first migration).
SchemaStatus ReadSchemaStatus(PgConnection& c);

// Applies every migration above the database's version, each in its own transaction, under an
// advisory lock so that two workstations initialising at once do not collide. Returns the
// version before.
int Migrate(PgConnection& c);

} // namespace shareddb
