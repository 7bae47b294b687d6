// The store file, customer, cable, set and record that a command's options name.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "commands.h"
#include "model/customerdb.h"

// What the options name; an empty set or a negative index is not looked for.
struct RecordNames {
    QString store, customer, cable, set;
    int index = -1;
};

// What was found in the loaded store; the pointers point into it.
struct NamedRecord {
    const CCustomer* customer = nullptr;
    const CCable* cable = nullptr;
    const CMeasData* set = nullptr;
    const CMeasRecord* record = nullptr;
};

// Loads the store into db and finds what the names ask for. 0 on success; otherwise the message
// is written to standard error and the command's exit status (1) is returned.
int LoadNamedRecord(const RecordNames& names, CCustomerDB& db, NamedRecord& found);

// Parses a command's arguments into a (whose names are a RecordNames), then loads the store and
// finds the record they name. 0 on success; otherwise the usage error's or the load's exit status,
// its message written to standard error.
template <class Args>
int ParseAndLoadNamedRecord(const QStringList& args, Args& a,
                            std::optional<QString> (*parse)(const QStringList&, Args&),
                            CCustomerDB& db, NamedRecord& found)
{
    if (const auto problem = parse(args, a))
        return usageError(*problem);
    return LoadNamedRecord(a, db, found);
}
