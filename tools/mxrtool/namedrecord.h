// The store file, customer, cable, set and record that a command's options name.
#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

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

// Walks a command's arguments: a word that is not one of the options is the store file (one
// only); each option takes the next argument as its value and hands both to
// take(option, value), which gives a problem text when the value does not fit. The first problem
// found, as a text for the usage error; none when every argument fitted.
template <class Take>
std::optional<QString> ParseStoreArguments(const QStringList& args,
                                           std::initializer_list<QLatin1StringView> options,
                                           QString& store, Take take)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (std::find(options.begin(), options.end(), arg) == options.end()) {
            if (!store.isEmpty())
                return ToolText(ToolMsg::UnexpectedArgument, {arg});
            store = arg;
            continue;
        }
        if (i + 1 >= args.size())
            return ToolText(ToolMsg::NeedsValue, {arg});
        if (auto problem = take(arg, args[++i]))
            return problem;
    }
    return std::nullopt;
}

// Parses a command's arguments into Args (whose names are a RecordNames), loads the store, finds
// what they name and runs the command on it: run(args, found) gives the exit status. A usage
// error or a failed load ends the command first with its own status, its message written to
// standard error.
template <class Args, class Run>
int RunOnNamedRecord(const QStringList& args,
                     std::optional<QString> (*parse)(const QStringList&, Args&), Run run)
{
    Args a;
    if (const auto problem = parse(args, a))
        return usageError(*problem);
    CCustomerDB db;
    NamedRecord found;
    if (const int failed = LoadNamedRecord(a, db, found))
        return failed;
    return run(std::as_const(a), std::as_const(found));
}
