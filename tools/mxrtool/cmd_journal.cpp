// journal: the change journal of a store's workspace, as JSON, narrowed by names, dates and a
// count. It only reads: a store without a workspace has an empty journal.
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "jsonout.h"
#include "namedrecord.h"
#include "storesetup.h"
#include "toolmessages.h"
#include "workspace/workspace.h"

using namespace Qt::StringLiterals;

namespace {

using Layout = JsonOut::Layout;

constexpr const char* kUsage = "journal [STORE] [--customer C [--cable K [--set S]]] "
                               "[--since YYYY-MM-DD] [--until YYYY-MM-DD] [--limit N]";

struct JournalArgs {
    QString store;
    ws::JournalFilter filter;
};

// The local midnight that starts a day "YYYY-MM-DD" (days: added to the date).
std::optional<int64_t> dayStart(const QString& text, int days)
{
    int y = 0, m = 0, d = 0;
    char tail = 0;
    const QByteArray bytes = text.toLatin1();
    if (text.size() != 10 ||
        std::sscanf(bytes.constData(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 ||
        m > 12 || d < 1 || d > 31)
        return std::nullopt;
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d;
    t.tm_isdst = -1;
    std::tm check = t;
    const std::time_t start = std::mktime(&check);
    // mktime moves 2024-02-30 on to March: such a date does not exist.
    if (start == -1 || check.tm_mday != d || check.tm_mon != m - 1)
        return std::nullopt;
    t.tm_mday += days;
    return static_cast<int64_t>(std::mktime(&t));
}

std::optional<QString> parse(const QStringList& args, JournalArgs& a)
{
    return ParseStoreArguments(
        args, {"--customer"_L1, "--cable"_L1, "--set"_L1, "--since"_L1, "--until"_L1, "--limit"_L1},
        a.store, [&](const QString& option, const QString& value) -> std::optional<QString> {
            ws::JournalFilter& f = a.filter;
            if (option == "--customer" || option == "--cable" || option == "--set") {
                (option == "--customer" ? f.customer
                 : option == "--cable"  ? f.cable
                                        : f.set) = value.toStdString();
                return std::nullopt;
            }
            if (option == "--limit") {
                bool ok = false;
                const qulonglong n = value.toULongLong(&ok);
                if (!ok || n == 0)
                    return ToolText(ToolMsg::BadValueGiven, {option, value});
                f.limit = static_cast<std::size_t>(n);
                return std::nullopt;
            }
            // --until names the last day of the range, so its end is the next midnight.
            const auto time = dayStart(value, option == "--until" ? 1 : 0);
            if (!time)
                return ToolText(ToolMsg::BadValueGiven, {option, value});
            (option == "--since" ? f.since : f.until) = *time;
            return std::nullopt;
        });
}

// A cable is named within its customer, a set within its cable.
std::optional<QString> parseAll(const QStringList& args, JournalArgs& a)
{
    if (auto problem = parse(args, a))
        return problem;
    const ws::JournalFilter& f = a.filter;
    if ((!f.cable.empty() && f.customer.empty()) || (!f.set.empty() && f.cable.empty()))
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}

// "2026-12-11T09:07:27+09:00": local time with its offset, so the text stands on its own.
std::string isoTime(int64_t time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return {};
    char text[48];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60; // minutes east of UTC
    const long minutes = offset < 0 ? -offset : offset;
    std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text;
}

const char* levelName(ws::ItemLevel level)
{
    switch (level) {
    case ws::ItemLevel::Customer: return "customer";
    case ws::ItemLevel::Cable: return "cable";
    case ws::ItemLevel::Set: return "set";
    case ws::ItemLevel::Record: return "record";
    }
    return "";
}

void writeItem(JsonOut::Scope& items, const ws::JournalItem& item)
{
    JsonOut::Scope o = items.object(Layout::Inline);
    o.string("change", ws::ItemChangeName(item.change));
    o.string("level", levelName(item.level));
    o.string("customer", item.customer);
    o.string("cable", item.cable);
    o.string("set", item.set);
    o.string("contentKey", item.contentKey);
    o.string("newKey", item.newKey);
    o.string("newName", item.newName);
    o.integer("count", static_cast<long long>(item.count));
    char hash[20];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(item.stateHash));
    o.string("stateHash", item.stateHash ? hash : "");
    JsonOut::Scope fields = o.array("fields", Layout::Inline);
    for (const ws::FieldChange& f : item.fields) {
        JsonOut::Scope c = fields.object(Layout::Inline);
        c.string("field", f.field);
        c.string("before", f.before);
        c.string("after", f.after);
    }
}

void writeEntry(JsonOut::Scope& entries, const ws::JournalEntry& e)
{
    JsonOut::Scope o = entries.object(Layout::Lines);
    o.integer("id", e.id);
    o.string("time", isoTime(e.time));
    o.integer("epoch", e.time);
    o.string("user", e.user);
    o.string("workstation", e.workstation);
    o.string("command", e.command);
    o.string("summary", e.summary);
    o.string("reason", e.reason);
    JsonOut::Scope items = o.array("items", Layout::Lines);
    for (const ws::JournalItem& item : e.items)
        writeItem(items, item);
}

} // namespace

int runJournalCommand(const ToolContext& ctx, const QStringList& args)
{
    JournalArgs a;
    if (const auto problem = parseAll(args, a))
        return usageError(*problem);
    std::string storePath;
    if (!a.store.isEmpty()) {
        storePath = QFileInfo(a.store).absoluteFilePath().toStdString();
    } else {
        const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
        if (!setup)
            return ToolFailure(ToolMsg::NoAppFolder);
        storePath = setup->storePath;
    }

    ws::Workspace workspace;
    const ws::OpenOutcome opened = workspace.Open(storePath, false);
    if (opened.status != ws::OpenStatus::Missing && !opened.usable()) {
        const std::string path = ws::WorkspacePathFor(storePath);
        return ToolFailure(ToolMsg::CannotOpen,
                           {QFile::decodeName(path.c_str()), QString::fromStdString(opened.error)});
    }
    if (opened.status == ws::OpenStatus::Replaced)
        ToolNote(ToolMsg::JournalKeptAside, {QFile::decodeName(opened.setAsidePath.c_str())});

    std::vector<ws::JournalEntry> found;
    try {
        if (workspace.IsOpen())
            found = workspace.Query(a.filter);
    } catch (const sqlite::Error& e) {
        return ToolFailure(ToolMsg::CannotOpen, {QFile::decodeName(workspace.Path().c_str()),
                                                 QString::fromUtf8(e.what())});
    }
    JsonOut j;
    {
        JsonOut::Scope root = j.object(Layout::Lines);
        root.string("store", storePath);
        if (workspace.IsOpen())
            root.string("workspace", workspace.Path());
        else
            root.null("workspace");
        JsonOut::Scope entries = root.array("entries", Layout::Lines);
        for (const ws::JournalEntry& e : found)
            writeEntry(entries, e);
    }
    j.text += '\n';
    std::fwrite(j.text.data(), 1, j.text.size(), stdout);
    return 0;
}
