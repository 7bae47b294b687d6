#include "shareddb/registersync.h"

#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "model/cp932text.h"
#include "workspace/cableregister.h"

namespace shareddb {
namespace {

using Revision = ws::CableRegister::Revision;
using Key = std::pair<std::string, std::string>; // folded customer and cable

Key keyOf(const ws::CableRegisterEntry& e)
{
    return {ws::RegisterNameKey(e.customer), ws::RegisterNameKey(e.cable)};
}

// The later writer: modified time, then workstation.
bool newer(const Revision& a, const Revision& b)
{
    return std::tie(a.entry.modified, a.entry.workstation) >
           std::tie(b.entry.modified, b.entry.workstation);
}

std::string hex(const std::string& bytes)
{
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string unhex(std::string_view text)
{
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(value(text[i]) * 16 + value(text[i + 1]));
    return out;
}

// Numbers travel as the shortest text that reads back as the same double; empty for none
// (the server stores NULL).
std::string numberText(const std::optional<double>& v)
{
    if (!v)
        return {};
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, *v);
    return std::string(buf, r.ptr);
}

std::string intText(const std::optional<int>& v)
{
    return v ? std::to_string(*v) : std::string();
}

std::optional<double> readNumber(std::string_view text)
{
    double v = 0;
    if (text.empty() || std::from_chars(text.data(), text.data() + text.size(), v).ec != std::errc())
        return std::nullopt;
    return v;
}

std::optional<int> readInt(std::string_view text)
{
    int v = 0;
    if (text.empty() || std::from_chars(text.data(), text.data() + text.size(), v).ec != std::errc())
        return std::nullopt;
    return v;
}

constexpr const char* kColumns =
    "encode(customer_raw, 'hex'), encode(cable_raw, 'hex'), removed, location, voltage_kv, "
    "cable_type, cross_section, length_m, install_year, importance, interval_months, person, "
    "remarks, modified, os_user, workstation";

std::map<Key, Revision> readServer(PgConnection& c)
{
    std::map<Key, Revision> out;
    PgResult r = c.execParams(std::string("SELECT ") + kColumns + " FROM cable_register", {},
                              false);
    for (int i = 0; i < r.rows(); ++i) {
        auto text = [&](int col) { return std::string(r.raw(i, col)); };
        Revision rev;
        ws::CableRegisterEntry& e = rev.entry;
        e.customer = unhex(r.raw(i, 0));
        e.cable = unhex(r.raw(i, 1));
        rev.removed = r.raw(i, 2) == "t";
        e.location = text(3);
        e.voltageKv = readNumber(r.raw(i, 4));
        e.cableType = text(5);
        e.crossSection = readNumber(r.raw(i, 6));
        e.lengthM = readNumber(r.raw(i, 7));
        e.installYear = readInt(r.raw(i, 8));
        e.importance = text(9);
        e.intervalMonths = readInt(r.raw(i, 10));
        e.person = text(11);
        e.remarks = text(12);
        e.modified = std::stoll(text(13));
        e.user = text(14);
        e.workstation = text(15);
        out.emplace(keyOf(e), std::move(rev));
    }
    return out;
}

void writeServer(PgConnection& c, const Revision& rev)
{
    const ws::CableRegisterEntry& e = rev.entry;
    const Key key = keyOf(e);
    const std::vector<PgParam> where{PgParam::text(hex(key.first)),
                                     PgParam::text(hex(key.second))};
    // The row it replaces stays, as the losing side of the sync.
    c.execParams("INSERT INTO cable_register_old SELECT r.*, now() FROM cable_register r WHERE "
                 "customer_key = decode($1, 'hex') AND cable_key = decode($2, 'hex')",
                 where);
    c.execParams(
        "INSERT INTO cable_register VALUES (decode($1, 'hex'), decode($2, 'hex'), "
        "decode($3, 'hex'), decode($4, 'hex'), $5, $6, $7::boolean, $8, NULLIF($9, '')::float8, "
        "$10, NULLIF($11, '')::float8, NULLIF($12, '')::float8, NULLIF($13, '')::integer, $14, "
        "NULLIF($15, '')::integer, $16, $17, $18::bigint, $19, $20) "
        "ON CONFLICT (customer_key, cable_key) DO UPDATE SET customer_raw = EXCLUDED.customer_raw, "
        "cable_raw = EXCLUDED.cable_raw, customer = EXCLUDED.customer, cable = EXCLUDED.cable, "
        "removed = EXCLUDED.removed, location = EXCLUDED.location, "
        "voltage_kv = EXCLUDED.voltage_kv, cable_type = EXCLUDED.cable_type, "
        "cross_section = EXCLUDED.cross_section, length_m = EXCLUDED.length_m, "
        "install_year = EXCLUDED.install_year, importance = EXCLUDED.importance, "
        "interval_months = EXCLUDED.interval_months, person = EXCLUDED.person, "
        "remarks = EXCLUDED.remarks, modified = EXCLUDED.modified, os_user = EXCLUDED.os_user, "
        "workstation = EXCLUDED.workstation",
        {PgParam::text(hex(key.first)), PgParam::text(hex(key.second)),
         PgParam::text(hex(e.customer)), PgParam::text(hex(e.cable)),
         PgParam::text(cp932::toUtf8(e.customer)), PgParam::text(cp932::toUtf8(e.cable)),
         PgParam::text(rev.removed ? "true" : "false"), PgParam::text(e.location),
         PgParam::text(numberText(e.voltageKv)), PgParam::text(e.cableType),
         PgParam::text(numberText(e.crossSection)), PgParam::text(numberText(e.lengthM)),
         PgParam::text(intText(e.installYear)), PgParam::text(e.importance),
         PgParam::text(intText(e.intervalMonths)), PgParam::text(e.person),
         PgParam::text(e.remarks), PgParam::text(std::to_string(e.modified)),
         PgParam::text(e.user), PgParam::text(e.workstation)},
        false);
}

// ---- Customers' default intervals: the last writer wins per customer, as for cables -----------

using CustomerRevision = ws::CableRegister::CustomerRevision;

bool newer(const CustomerRevision& a, const CustomerRevision& b)
{
    return std::tie(a.modified, a.workstation) > std::tie(b.modified, b.workstation);
}

std::map<std::string, CustomerRevision> readServerCustomers(PgConnection& c)
{
    std::map<std::string, CustomerRevision> out;
    PgResult r = c.execParams("SELECT encode(customer_raw, 'hex'), interval_months, modified, "
                              "os_user, workstation FROM customer_register",
                              {}, false);
    for (int i = 0; i < r.rows(); ++i) {
        CustomerRevision rev{unhex(r.raw(i, 0)), readInt(r.raw(i, 1)),
                             std::stoll(std::string(r.raw(i, 2))), std::string(r.raw(i, 3)),
                             std::string(r.raw(i, 4))};
        out.emplace(ws::RegisterNameKey(rev.customer), std::move(rev));
    }
    return out;
}

void writeServerCustomer(PgConnection& c, const CustomerRevision& rev)
{
    const std::string key = hex(ws::RegisterNameKey(rev.customer));
    c.execParams("INSERT INTO customer_register_old SELECT r.*, now() FROM customer_register r "
                 "WHERE customer_key = decode($1, 'hex')",
                 {PgParam::text(key)});
    c.execParams(
        "INSERT INTO customer_register VALUES (decode($1, 'hex'), decode($2, 'hex'), $3, "
        "NULLIF($4, '')::integer, $5::bigint, $6, $7) "
        "ON CONFLICT (customer_key) DO UPDATE SET customer_raw = EXCLUDED.customer_raw, "
        "customer = EXCLUDED.customer, interval_months = EXCLUDED.interval_months, "
        "modified = EXCLUDED.modified, os_user = EXCLUDED.os_user, "
        "workstation = EXCLUDED.workstation",
        {PgParam::text(key), PgParam::text(hex(rev.customer)),
         PgParam::text(cp932::toUtf8(rev.customer)), PgParam::text(intText(rev.intervalMonths)),
         PgParam::text(std::to_string(rev.modified)), PgParam::text(rev.user),
         PgParam::text(rev.workstation)},
        false);
}

// ---- Cable types: a union, never removed -------------------------------------------------------

// The server's types by folded name, in the order they reached it.
std::vector<std::pair<std::string, std::string>> readServerTypes(PgConnection& c)
{
    std::vector<std::pair<std::string, std::string>> out;
    PgResult r = c.exec("SELECT name_key, name FROM cable_type ORDER BY added_at, name_key");
    for (int i = 0; i < r.rows(); ++i)
        out.emplace_back(std::string(r.raw(i, 0)), std::string(r.raw(i, 1)));
    return out;
}

} // namespace

RegisterSyncCount SyncRegister(PgConnection& c, ws::Workspace& workspace, bool push, bool pull)
{
    RegisterSyncCount count;
    ws::CableRegister reg(workspace);
    std::map<Key, Revision> local;
    for (Revision& r : reg.Revisions())
        local.emplace(keyOf(r.entry), std::move(r));

    std::map<std::string, CustomerRevision> localCustomers;
    for (CustomerRevision& r : reg.CustomerRevisions())
        localCustomers.emplace(ws::RegisterNameKey(r.customer), std::move(r));
    const std::vector<std::string> localTypes = reg.AddedCableTypes();

    PgTransaction t(c);
    // Register syncs take turns, so that a cable's revision is compared with the newest one.
    c.exec("SELECT pg_advisory_xact_lock(hashtext('mxr cable_register'))");
    const std::map<Key, Revision> server = readServer(c);
    const std::map<std::string, CustomerRevision> serverCustomers = readServerCustomers(c);
    const std::vector<std::pair<std::string, std::string>> serverTypes = readServerTypes(c);
    std::vector<const Revision*> toTake;
    std::vector<const CustomerRevision*> customersToTake;
    std::vector<std::string> typesToTake;
    if (push)
        for (const auto& [key, mine] : local) {
            const auto there = server.find(key);
            if (there == server.end() ? !mine.removed : newer(mine, there->second)) {
                writeServer(c, mine);
                ++count.sent;
            }
        }
    if (pull)
        for (const auto& [key, theirs] : server) {
            const auto here = local.find(key);
            if (here == local.end() ? !theirs.removed : newer(theirs, here->second))
                toTake.push_back(&theirs);
        }

    // A customer's setting travels as a cable's entry does; a cleared one only to replace one
    // that was set.
    if (push)
        for (const auto& [key, mine] : localCustomers) {
            const auto there = serverCustomers.find(key);
            if (there == serverCustomers.end() ? mine.intervalMonths.has_value()
                                               : newer(mine, there->second)) {
                writeServerCustomer(c, mine);
                ++count.sent;
            }
        }
    if (pull)
        for (const auto& [key, theirs] : serverCustomers) {
            const auto here = localCustomers.find(key);
            if (here == localCustomers.end() ? theirs.intervalMonths.has_value()
                                             : newer(theirs, here->second))
                customersToTake.push_back(&theirs);
        }

    // Cable types: each side gets the ones it lacks.
    std::set<std::string> serverTypeKeys;
    for (const auto& [key, name] : serverTypes)
        serverTypeKeys.insert(key);
    if (push)
        for (const std::string& name : localTypes)
            if (serverTypeKeys.insert(ws::RegisterNameKey(name)).second) {
                c.execParams("INSERT INTO cable_type (name_key, name) VALUES ($1, $2)",
                             {PgParam::text(ws::RegisterNameKey(name)), PgParam::text(name)});
                ++count.sent;
            }
    if (pull)
        for (const auto& [key, name] : serverTypes)
            typesToTake.push_back(name);
    t.commit();

    if (!toTake.empty() || !customersToTake.empty() || !typesToTake.empty()) {
        sqlite::Transaction lt(workspace.Db());
        for (const Revision* r : toTake)
            reg.ApplyRevision(*r);
        for (const CustomerRevision* r : customersToTake)
            reg.ApplyCustomerRevision(*r);
        int typesAdded = 0;
        for (const std::string& name : typesToTake)
            typesAdded += reg.AddCableType(name) ? 1 : 0;
        lt.Commit();
        count.received =
            static_cast<int>(toTake.size() + customersToTake.size()) + typesAdded;
    }
    return count;
}

RegisterSyncCount SyncStoreRegister(PgConnection& c, const std::string& storePath, bool push,
                                    bool pull, std::string& problem)
{
    ws::Workspace workspace;
    try {
        ws::OpenOutcome opened = workspace.Open(storePath, false);
        if (opened.status == ws::OpenStatus::Missing) {
            if (!pull)
                return {};
            // A workstation without a workspace gets one only for entries there are.
            PgResult any = c.exec(
                "SELECT EXISTS (SELECT 1 FROM cable_register WHERE NOT removed) OR EXISTS "
                "(SELECT 1 FROM customer_register WHERE interval_months IS NOT NULL) OR EXISTS "
                "(SELECT 1 FROM cable_type)");
            if (any.raw(0, 0) != "t")
                return {};
            opened = workspace.Open(storePath, true);
        }
        if (!opened.usable()) {
            problem = "ケーブル台帳を読み込めないため、共有データベースと同期しませんでした\n" +
                      (opened.error.empty() ? ws::WorkspacePathFor(storePath) : opened.error);
            return {};
        }
        return SyncRegister(c, workspace, push, pull);
    } catch (const sqlite::Error& e) {
        problem = std::string("ケーブル台帳を読み込めないため、共有データベースと同期しませんでした\n") +
                  e.what();
        return {};
    }
}

} // namespace shareddb
