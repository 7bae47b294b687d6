// The cable register's tables and their reads and writes.
#include "workspace/cableregister.h"

#include <cstdio>
#include <functional>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/namedlist.h"
#include "workspace/workspace.h"

namespace ws {
namespace {

// cable_register_old has the columns of cable_register, without its key constraint, and who
// replaced or removed the revision and when.
constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS cable_register (
    customer_key BLOB NOT NULL,
    cable_key BLOB NOT NULL,
    customer_raw BLOB NOT NULL,
    cable_raw BLOB NOT NULL,
    customer TEXT NOT NULL,
    cable TEXT NOT NULL,
    location TEXT NOT NULL DEFAULT '',
    voltage_kv REAL,
    cable_type TEXT NOT NULL DEFAULT '',
    cross_section REAL,
    length_m REAL,
    install_year INTEGER,
    importance TEXT NOT NULL DEFAULT '',
    interval_months INTEGER,
    person TEXT NOT NULL DEFAULT '',
    remarks TEXT NOT NULL DEFAULT '',
    modified INTEGER NOT NULL,
    user TEXT NOT NULL,
    workstation TEXT NOT NULL,
    PRIMARY KEY (customer_key, cable_key)
);
CREATE TABLE IF NOT EXISTS cable_register_old (
    id INTEGER PRIMARY KEY,
    customer_key BLOB NOT NULL,
    cable_key BLOB NOT NULL,
    customer_raw BLOB NOT NULL,
    cable_raw BLOB NOT NULL,
    customer TEXT NOT NULL,
    cable TEXT NOT NULL,
    location TEXT NOT NULL,
    voltage_kv REAL,
    cable_type TEXT NOT NULL,
    cross_section REAL,
    length_m REAL,
    install_year INTEGER,
    importance TEXT NOT NULL,
    interval_months INTEGER,
    person TEXT NOT NULL,
    remarks TEXT NOT NULL,
    modified INTEGER NOT NULL,
    user TEXT NOT NULL,
    workstation TEXT NOT NULL,
    replaced_time INTEGER NOT NULL,
    replaced_user TEXT NOT NULL,
    replaced_workstation TEXT NOT NULL,
    how TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS cable_register_old_key
    ON cable_register_old (customer_key, cable_key);
CREATE TABLE IF NOT EXISTS customer_register (
    customer_key BLOB PRIMARY KEY,
    customer_raw BLOB NOT NULL,
    customer TEXT NOT NULL,
    interval_months INTEGER
);
CREATE TABLE IF NOT EXISTS customer_register_old (
    id INTEGER PRIMARY KEY,
    customer_key BLOB NOT NULL,
    customer_raw BLOB NOT NULL,
    customer TEXT NOT NULL,
    interval_months INTEGER,
    modified INTEGER NOT NULL,
    user TEXT NOT NULL,
    workstation TEXT NOT NULL,
    replaced_time INTEGER NOT NULL,
    replaced_user TEXT NOT NULL,
    replaced_workstation TEXT NOT NULL,
    how TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS customer_register_old_key ON customer_register_old (customer_key);
CREATE TABLE IF NOT EXISTS cable_type (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    name_key TEXT NOT NULL UNIQUE
);
)sql";

constexpr const char* kColumns =
    "customer_raw, cable_raw, location, voltage_kv, cable_type, cross_section, length_m, "
    "install_year, importance, interval_months, person, remarks, modified, user, workstation";

std::optional<double> optReal(const sqlite::Stmt& s, int c)
{
    return s.IsNull(c) ? std::nullopt : std::optional<double>(s.Real(c));
}

std::optional<int> optInt(const sqlite::Stmt& s, int c)
{
    return s.IsNull(c) ? std::nullopt : std::optional<int>(static_cast<int>(s.Int(c)));
}

CableRegisterEntry readEntry(const sqlite::Stmt& s)
{
    CableRegisterEntry e;
    e.customer = s.Text(0);
    e.cable = s.Text(1);
    e.location = s.Text(2);
    e.voltageKv = optReal(s, 3);
    e.cableType = s.Text(4);
    e.crossSection = optReal(s, 5);
    e.lengthM = optReal(s, 6);
    e.installYear = optInt(s, 7);
    e.importance = s.Text(8);
    e.intervalMonths = optInt(s, 9);
    e.person = s.Text(10);
    e.remarks = s.Text(11);
    e.modified = s.Int(12);
    e.user = s.Text(13);
    e.workstation = s.Text(14);
    return e;
}

void bindReal(sqlite::Stmt& s, int i, const std::optional<double>& v)
{
    if (v)
        s.BindReal(i, *v);
    else
        s.BindNull(i);
}

void bindInt(sqlite::Stmt& s, int i, const std::optional<int>& v)
{
    if (v)
        s.Bind(i, static_cast<int64_t>(*v));
    else
        s.BindNull(i);
}

} // namespace

namespace {

bool hasColumn(sqlite::Db& db, const char* table, const char* column)
{
    sqlite::Stmt columns(db, std::string("PRAGMA table_info(") + table + ")");
    while (columns.Step())
        if (columns.Text(1) == column)
            return true;
    return false;
}

} // namespace

void CreateCableRegisterTables(sqlite::Db& db)
{
    db.Exec(kTables);
    // Tables made before the reason of an old revision, or who set a customer's interval, was
    // kept get their columns (a customer's interval set before then counts as written at 0,
    // so that any later revision wins over it).
    if (!hasColumn(db, "cable_register_old", "how"))
        db.Exec("ALTER TABLE cable_register_old ADD COLUMN how TEXT NOT NULL DEFAULT ''");
    if (!hasColumn(db, "customer_register", "modified"))
        db.Exec("ALTER TABLE customer_register ADD COLUMN modified INTEGER NOT NULL DEFAULT 0;"
                "ALTER TABLE customer_register ADD COLUMN user TEXT NOT NULL DEFAULT '';"
                "ALTER TABLE customer_register ADD COLUMN workstation TEXT NOT NULL DEFAULT ''");
}

std::string RegisterNameKey(const std::string& name)
{
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(FoldNameByte(static_cast<unsigned char>(c)));
    return key;
}

CableRegister::CableRegister(Workspace& workspace) : m_ws(workspace)
{
    CreateCableRegisterTables(m_ws.Db());
}

std::optional<CableRegisterEntry> CableRegister::Find(const std::string& customer,
                                                      const std::string& cable) const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kColumns +
                                  " FROM cable_register WHERE customer_key=? AND cable_key=?");
    s.BindBlob(1, RegisterNameKey(customer)).BindBlob(2, RegisterNameKey(cable));
    if (!s.Step())
        return std::nullopt;
    return readEntry(s);
}

std::vector<CableRegisterEntry> CableRegister::List() const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kColumns +
                                  " FROM cable_register ORDER BY customer_key, cable_key");
    std::vector<CableRegisterEntry> out;
    while (s.Step())
        out.push_back(readEntry(s));
    return out;
}

namespace {

} // namespace

// Why a revision went to cable_register_old.
namespace how {
constexpr const char* Replaced = "replaced";
constexpr const char* Renamed = "renamed";
constexpr const char* Removed = "removed";
constexpr const char* Synced = "sync"; // replaced by another's newer revision
} // namespace how

namespace {

void moveToOld(sqlite::Db& db, const std::string& customerKey, const std::string& cableKey,
               const Actor& actor, int64_t now, const char* why = how::Replaced)
{
    sqlite::Stmt s(db, "INSERT INTO cable_register_old (customer_key, cable_key, customer_raw, "
                       "cable_raw, customer, cable, location, voltage_kv, cable_type, "
                       "cross_section, length_m, install_year, importance, interval_months, "
                       "person, remarks, modified, user, workstation, replaced_time, "
                       "replaced_user, replaced_workstation, how) "
                       "SELECT customer_key, cable_key, customer_raw, cable_raw, customer, cable, "
                       "location, voltage_kv, cable_type, cross_section, length_m, install_year, "
                       "importance, interval_months, person, remarks, modified, user, "
                       "workstation, ?, ?, ?, ? FROM cable_register "
                       "WHERE customer_key=? AND cable_key=?");
    s.Bind(1, now).Bind(2, actor.user).Bind(3, actor.workstation).Bind(4, why);
    s.BindBlob(5, customerKey).BindBlob(6, cableKey);
    s.Run();
    sqlite::Stmt d(db, "DELETE FROM cable_register WHERE customer_key=? AND cable_key=?");
    d.BindBlob(1, customerKey).BindBlob(2, cableKey);
    d.Run();
}

void insertEntry(sqlite::Db& db, const CableRegisterEntry& e)
{
    sqlite::Stmt s(db, "INSERT INTO cable_register (customer_key, cable_key, customer_raw, "
                       "cable_raw, customer, cable, location, voltage_kv, cable_type, "
                       "cross_section, length_m, install_year, importance, interval_months, "
                       "person, remarks, modified, user, workstation) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    s.BindBlob(1, RegisterNameKey(e.customer)).BindBlob(2, RegisterNameKey(e.cable));
    s.BindBlob(3, e.customer).BindBlob(4, e.cable);
    s.Bind(5, cp932::toUtf8(e.customer)).Bind(6, cp932::toUtf8(e.cable));
    s.Bind(7, e.location);
    bindReal(s, 8, e.voltageKv);
    s.Bind(9, e.cableType);
    bindReal(s, 10, e.crossSection);
    bindReal(s, 11, e.lengthM);
    bindInt(s, 12, e.installYear);
    s.Bind(13, e.importance);
    bindInt(s, 14, e.intervalMonths);
    s.Bind(15, e.person).Bind(16, e.remarks);
    s.Bind(17, e.modified).Bind(18, e.user).Bind(19, e.workstation);
    s.Run();
}

} // namespace

void CableRegister::Put(CableRegisterEntry entry, const Actor& actor, int64_t now)
{
    entry.modified = now;
    entry.user = actor.user;
    entry.workstation = actor.workstation;
    sqlite::Transaction t(m_ws.Db());
    moveToOld(m_ws.Db(), RegisterNameKey(entry.customer), RegisterNameKey(entry.cable), actor,
              now);
    insertEntry(m_ws.Db(), entry);
    t.Commit();
}

bool CableRegister::Remove(const std::string& customer, const std::string& cable,
                           const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    if (!Find(customer, cable))
        return false;
    moveToOld(m_ws.Db(), RegisterNameKey(customer), RegisterNameKey(cable), actor, now,
              how::Removed);
    t.Commit();
    return true;
}

bool CableRegister::Rename(const std::string& customer, const std::string& cable,
                           const std::string& newCustomer, const std::string& newCable,
                           const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    std::optional<CableRegisterEntry> entry = Find(customer, cable);
    if (!entry)
        return false;
    const bool sameKey = RegisterNameKey(customer) == RegisterNameKey(newCustomer) &&
                         RegisterNameKey(cable) == RegisterNameKey(newCable);
    if (!sameKey && Find(newCustomer, newCable))
        return false;
    moveToOld(m_ws.Db(), RegisterNameKey(customer), RegisterNameKey(cable), actor, now,
              how::Renamed);
    entry->customer = newCustomer;
    entry->cable = newCable;
    entry->modified = now;
    entry->user = actor.user;
    entry->workstation = actor.workstation;
    insertEntry(m_ws.Db(), *entry);
    t.Commit();
    return true;
}

int CableRegister::RenameCustomer(const std::string& customer, const std::string& newCustomer,
                                  const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    std::vector<std::string> cables;
    {
        sqlite::Stmt s(m_ws.Db(), "SELECT cable_raw FROM cable_register WHERE customer_key=?");
        s.BindBlob(1, RegisterNameKey(customer));
        while (s.Step())
            cables.push_back(s.Text(0));
    }
    int carried = 0;
    for (const std::string& cable : cables)
        carried += Rename(customer, cable, newCustomer, cable, actor, now) ? 1 : 0;
    const std::optional<int> interval = CustomerInterval(customer);
    if (interval && !CustomerInterval(newCustomer)) {
        SetCustomerInterval(customer, std::nullopt, actor, now);
        SetCustomerInterval(newCustomer, interval, actor, now);
    }
    t.Commit();
    return carried;
}

std::vector<CableRegisterEntry> CableRegister::OldRevisions(const std::string& customer,
                                                            const std::string& cable) const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kColumns +
                                  " FROM cable_register_old WHERE customer_key=? AND "
                                  "cable_key=? ORDER BY id DESC");
    s.BindBlob(1, RegisterNameKey(customer)).BindBlob(2, RegisterNameKey(cable));
    std::vector<CableRegisterEntry> out;
    while (s.Step())
        out.push_back(readEntry(s));
    return out;
}

std::optional<int> CableRegister::CustomerInterval(const std::string& customer) const
{
    sqlite::Stmt s(m_ws.Db(),
                   "SELECT interval_months FROM customer_register WHERE customer_key=?");
    s.BindBlob(1, RegisterNameKey(customer));
    if (!s.Step())
        return std::nullopt;
    return optInt(s, 0);
}

void CableRegister::SetCustomerInterval(const std::string& customer, std::optional<int> months,
                                        const Actor& actor, int64_t now)
{
    // A customer never set and cleared writes nothing; otherwise the row stays (with no
    // interval when cleared) so that the clearing is a revision a sync can carry.
    if (!months && !CustomerRevisionOf(customer))
        return;
    CustomerRevision r{customer, months, now, actor.user, actor.workstation};
    writeCustomer(r, actor, now, "replaced");
}

void CableRegister::writeCustomer(const CustomerRevision& r, const Actor& by, int64_t now,
                                  const char* why)
{
    sqlite::Transaction t(m_ws.Db());
    const std::string key = RegisterNameKey(r.customer);
    sqlite::Stmt o(m_ws.Db(),
                   "INSERT INTO customer_register_old (customer_key, customer_raw, customer, "
                   "interval_months, modified, user, workstation, replaced_time, replaced_user, "
                   "replaced_workstation, how) SELECT customer_key, customer_raw, customer, "
                   "interval_months, modified, user, workstation, ?, ?, ?, ? "
                   "FROM customer_register WHERE customer_key=?");
    o.Bind(1, now).Bind(2, by.user).Bind(3, by.workstation).Bind(4, why).BindBlob(5, key);
    o.Run();
    sqlite::Stmt s(m_ws.Db(), "INSERT OR REPLACE INTO customer_register (customer_key, "
                              "customer_raw, customer, interval_months, modified, user, "
                              "workstation) VALUES (?,?,?,?,?,?,?)");
    s.BindBlob(1, key).BindBlob(2, r.customer).Bind(3, cp932::toUtf8(r.customer));
    bindInt(s, 4, r.intervalMonths);
    s.Bind(5, r.modified).Bind(6, r.user).Bind(7, r.workstation);
    s.Run();
    t.Commit();
}

namespace {

constexpr const char* kCustomerColumns =
    "customer_raw, interval_months, modified, user, workstation";

CableRegister::CustomerRevision readCustomer(const sqlite::Stmt& s)
{
    return {s.Text(0), optInt(s, 1), s.Int(2), s.Text(3), s.Text(4)};
}

} // namespace

std::optional<CableRegister::CustomerRevision>
CableRegister::CustomerRevisionOf(const std::string& customer) const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kCustomerColumns +
                                  " FROM customer_register WHERE customer_key=?");
    s.BindBlob(1, RegisterNameKey(customer));
    if (!s.Step())
        return std::nullopt;
    return readCustomer(s);
}

std::vector<CableRegister::CustomerRevision> CableRegister::CustomerRevisions() const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kCustomerColumns +
                                  " FROM customer_register ORDER BY customer_key");
    std::vector<CustomerRevision> out;
    while (s.Step())
        out.push_back(readCustomer(s));
    return out;
}

std::vector<CableRegister::CustomerRevision>
CableRegister::OldCustomerRevisions(const std::string& customer) const
{
    sqlite::Stmt s(m_ws.Db(), std::string("SELECT ") + kCustomerColumns +
                                  " FROM customer_register_old WHERE customer_key=? "
                                  "ORDER BY id DESC");
    s.BindBlob(1, RegisterNameKey(customer));
    std::vector<CustomerRevision> out;
    while (s.Step())
        out.push_back(readCustomer(s));
    return out;
}

void CableRegister::ApplyCustomerRevision(const CustomerRevision& r)
{
    writeCustomer(r, {r.user, r.workstation}, r.modified, "sync");
}

// ---- Field texts and journaled edits ----------------------------------------------------------

std::string RegisterNumberText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

namespace {

std::string text(const std::optional<double>& v)
{
    return v ? RegisterNumberText(*v) : std::string();
}

std::string text(const std::optional<int>& v)
{
    return v ? std::to_string(*v) : std::string();
}

std::string entryWords(const std::string& customer, const std::string& cable)
{
    return cp932::toUtf8(customer) + "－" + cp932::toUtf8(cable);
}

JournalEntry registerEntry(const Actor& actor, int64_t now, std::string summary)
{
    JournalEntry e;
    e.time = now;
    e.user = actor.user;
    e.workstation = actor.workstation;
    e.command = kind::RegisterEdit;
    e.summary = std::move(summary);
    return e;
}

JournalItem cableItem(const std::string& customer, const std::string& cable,
                      std::vector<FieldChange> fields)
{
    JournalItem item;
    item.change = ItemChange::Changed;
    item.level = ItemLevel::Cable;
    item.customer = cp932::toUtf8(customer);
    item.cable = cp932::toUtf8(cable);
    item.fields = std::move(fields);
    return item;
}

} // namespace

std::vector<FieldChange> RegisterDifferences(const CableRegisterEntry& b,
                                             const CableRegisterEntry& a)
{
    std::vector<FieldChange> out;
    auto add = [&](const char* label, std::string before, std::string after) {
        if (before != after)
            out.push_back({label, std::move(before), std::move(after)});
    };
    add("設置場所/系統", b.location, a.location);
    add("電圧階級 (kV)", text(b.voltageKv), text(a.voltageKv));
    add("ケーブル種類", b.cableType, a.cableType);
    add("導体断面 (sq)", text(b.crossSection), text(a.crossSection));
    add("亘長 (m)", text(b.lengthM), text(a.lengthM));
    add("布設年", text(b.installYear), text(a.installYear));
    add("重要度", b.importance, a.importance);
    add("試験周期 (月)", text(b.intervalMonths), text(a.intervalMonths));
    add("担当", b.person, a.person);
    add("備考", b.remarks, a.remarks);
    return out;
}

bool CableRegister::Edit(const CableRegisterEntry& entry, const Actor& actor, int64_t now)
{
    // A dialog left empty for a cable without an entry makes none.
    if (RegisterDifferences({}, entry).empty() && !Find(entry.customer, entry.cable))
        return false;
    return EditMany({entry}, kind::RegisterEdit,
                    "ケーブル台帳の編集: " + entryWords(entry.customer, entry.cable), actor,
                    now) > 0;
}

int CableRegister::EditMany(const std::vector<CableRegisterEntry>& entries, const char* command,
                            const std::string& summary, const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    JournalEntry journal = registerEntry(actor, now, summary);
    journal.command = command;
    std::vector<const CableRegisterEntry*> written;
    for (const CableRegisterEntry& entry : entries) {
        const std::optional<CableRegisterEntry> current = Find(entry.customer, entry.cable);
        std::vector<FieldChange> fields =
            RegisterDifferences(current ? *current : CableRegisterEntry{}, entry);
        if (current && fields.empty())
            continue;
        if (!current)
            fields.insert(fields.begin(), {"ケーブル台帳", "", "登録"});
        journal.items.push_back(cableItem(entry.customer, entry.cable, std::move(fields)));
        written.push_back(&entry);
    }
    if (written.empty())
        return 0;
    m_ws.Append(journal);
    for (const CableRegisterEntry* entry : written) {
        Put(*entry, actor, now);
        if (!entry->cableType.empty())
            AddCableType(entry->cableType);
    }
    t.Commit();
    return static_cast<int>(written.size());
}

bool CableRegister::EditRemove(const std::string& customer, const std::string& cable,
                               const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    const std::optional<CableRegisterEntry> current = Find(customer, cable);
    if (!current)
        return false;
    JournalEntry journal =
        registerEntry(actor, now, "ケーブル台帳の削除: " + entryWords(current->customer, current->cable));
    journal.items.push_back(cableItem(current->customer, current->cable,
                                      RegisterDifferences(*current, CableRegisterEntry{})));
    m_ws.Append(journal);
    Remove(customer, cable, actor, now);
    t.Commit();
    return true;
}

bool CableRegister::EditCustomerInterval(const std::string& customer, std::optional<int> months,
                                         const Actor& actor, int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    const std::optional<int> current = CustomerInterval(customer);
    if (current == months)
        return false;
    JournalEntry journal = registerEntry(
        actor, now, "ケーブル台帳の編集: " + cp932::toUtf8(customer) + " の試験周期（既定）");
    JournalItem item;
    item.change = ItemChange::Changed;
    item.level = ItemLevel::Customer;
    item.customer = cp932::toUtf8(customer);
    item.fields.push_back({"試験周期（既定） (月)", text(current), text(months)});
    journal.items.push_back(std::move(item));
    m_ws.Append(journal);
    SetCustomerInterval(customer, months, actor, now);
    t.Commit();
    return true;
}

bool CableRegister::EditWithCustomer(const CableRegisterEntry& entry,
                                     std::optional<int> customerMonths, const Actor& actor,
                                     int64_t now)
{
    sqlite::Transaction t(m_ws.Db());
    const bool edited = Edit(entry, actor, now);
    const bool customer = EditCustomerInterval(entry.customer, customerMonths, actor, now);
    t.Commit();
    return edited || customer;
}

std::vector<CableRegisterEntry> CableRegister::Orphans(const CCustomerDB& tree) const
{
    std::vector<CableRegisterEntry> out;
    for (CableRegisterEntry& e : List()) {
        const int c = tree.customers.Find(e.customer);
        if (c < 0 || tree.customers.At(c).cables.Find(e.cable) < 0)
            out.push_back(std::move(e));
    }
    return out;
}

std::vector<std::string> CableRegister::CableTypes() const
{
    std::vector<std::string> out(std::begin(kDefaultCableTypes), std::end(kDefaultCableTypes));
    sqlite::Stmt s(m_ws.Db(), "SELECT name FROM cable_type ORDER BY id");
    while (s.Step())
        out.push_back(s.Text(0));
    return out;
}

std::vector<std::string> CableRegister::AddedCableTypes() const
{
    std::vector<std::string> out;
    sqlite::Stmt s(m_ws.Db(), "SELECT name FROM cable_type ORDER BY id");
    while (s.Step())
        out.push_back(s.Text(0));
    return out;
}

bool CableRegister::AddCableType(const std::string& type)
{
    if (type.empty())
        return false;
    const std::string key = RegisterNameKey(type);
    for (const char* d : kDefaultCableTypes)
        if (RegisterNameKey(d) == key)
            return false;
    sqlite::Stmt s(m_ws.Db(), "INSERT OR IGNORE INTO cable_type (name, name_key) VALUES (?, ?)");
    s.Bind(1, type).Bind(2, key);
    s.Run();
    return m_ws.Db().Changes() > 0;
}

RegisterProposal ProposeFromConditions(const CCustomerDB& tree, const std::string& customer,
                                       const std::string& cable)
{
    RegisterProposal out;
    const int c = tree.customers.Find(customer);
    const int k = c < 0 ? -1 : tree.customers.At(c).cables.Find(cable);
    if (k < 0)
        return out;
    const CCable& found = tree.customers.At(c).cables.At(k);
    const CMeasRecord* latest = nullptr;
    const CMeasData* latestSet = nullptr;
    for (int s = 0; s < found.sets.Count(); ++s)
        for (const CMeasRecord& r : found.sets.At(s).Records())
            if (r.StartTime.status == OleDateTime::Valid &&
                (!latest || r.StartTime.date >= latest->StartTime.date)) {
                latest = &r;
                latestSet = &found.sets.At(s);
            }
    if (!latest)
        return out;
    auto positive = [](double v) { return v > 0 ? std::optional<double>(v) : std::nullopt; };
    out.crossSection = positive(latest->Condition.CabSectionalArea);
    out.lengthM = positive(latest->Condition.CabLength);
    out.set = latestSet->name;
    return out;
}

std::vector<CableRegister::Revision> CableRegister::Revisions() const
{
    std::vector<Revision> out;
    for (CableRegisterEntry& e : List())
        out.push_back({std::move(e), false});
    // The newest old row of each cable without an entry, when that row was a removal.
    sqlite::Stmt s(m_ws.Db(),
                   std::string("SELECT ") + kColumns +
                       ", how, replaced_time, replaced_user, replaced_workstation "
                       "FROM cable_register_old o WHERE id = (SELECT max(id) FROM "
                       "cable_register_old p WHERE p.customer_key = o.customer_key AND "
                       "p.cable_key = o.cable_key) AND NOT EXISTS (SELECT 1 FROM cable_register "
                       "r WHERE r.customer_key = o.customer_key AND r.cable_key = o.cable_key) "
                       "ORDER BY customer_key, cable_key");
    while (s.Step()) {
        if (s.Text(15) != how::Removed)
            continue;
        Revision r{readEntry(s), true};
        r.entry.modified = s.Int(16);
        r.entry.user = s.Text(17);
        r.entry.workstation = s.Text(18);
        out.push_back(std::move(r));
    }
    return out;
}

void CableRegister::ApplyRevision(const Revision& r)
{
    sqlite::Transaction t(m_ws.Db());
    const std::string customerKey = RegisterNameKey(r.entry.customer);
    const std::string cableKey = RegisterNameKey(r.entry.cable);
    const Actor by{r.entry.user, r.entry.workstation};
    if (r.removed) {
        if (Find(r.entry.customer, r.entry.cable)) {
            moveToOld(m_ws.Db(), customerKey, cableKey, by, r.entry.modified, how::Removed);
        } else {
            // Nothing here to remove: the removal is kept as the cable's newest revision.
            insertEntry(m_ws.Db(), r.entry);
            moveToOld(m_ws.Db(), customerKey, cableKey, by, r.entry.modified, how::Removed);
        }
    } else {
        moveToOld(m_ws.Db(), customerKey, cableKey, by, r.entry.modified, how::Synced);
        insertEntry(m_ws.Db(), r.entry);
        if (!r.entry.cableType.empty())
            AddCableType(r.entry.cableType);
    }
    t.Commit();
}

// ---- Carrying the register along the tree's changes -------------------------------------

namespace {

// The newest old revision of a cable, when it left the register because its cable was
// removed.
std::optional<CableRegisterEntry> removedRevision(sqlite::Db& db, const std::string& customer,
                                                  const std::string& cable)
{
    sqlite::Stmt s(db, std::string("SELECT ") + kColumns +
                           ", how FROM cable_register_old WHERE customer_key=? AND cable_key=? "
                           "ORDER BY id DESC LIMIT 1");
    s.BindBlob(1, RegisterNameKey(customer)).BindBlob(2, RegisterNameKey(cable));
    if (!s.Step() || s.Text(15) != how::Removed)
        return std::nullopt;
    return readEntry(s);
}

} // namespace

void CarryRegister(Workspace& workspace, const std::string& command, const JournalItem& item,
                   const Actor& actor, int64_t now)
{
    if (item.level != ItemLevel::Customer && item.level != ItemLevel::Cable)
        return;
    // Journal items name the tree in UTF-8; the register keys its CP932 bytes.
    const std::optional<std::string> customer = cp932::fromUtf8(item.customer);
    const std::optional<std::string> cable = cp932::fromUtf8(item.cable);
    if (!customer || !cable)
        return;
    const bool cableLevel = item.level == ItemLevel::Cable;
    // A workspace without a register has nothing to carry; making the tables here would be a
    // change of the schema inside the caller's transaction, which a rollback of this savepoint
    // would undo under the caller's running statement.
    {
        sqlite::Stmt has(workspace.Db(), "SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                         "name = 'cable_register'");
        if (!has.Step())
            return;
    }
    const std::optional<std::string> newName = cp932::fromUtf8(item.newName);
    if (item.change == ItemChange::Renamed && !newName)
        return;
    try {
        sqlite::Transaction t(workspace.Db());
        CableRegister reg(workspace);
        switch (item.change) {
        case ItemChange::Renamed: {
            if (cableLevel)
                reg.Rename(*customer, *cable, *customer, *newName, actor, now);
            else
                reg.RenameCustomer(*customer, *newName, actor, now);
            break;
        }
        case ItemChange::Removed:
            if (cableLevel) {
                reg.Remove(*customer, *cable, actor, now);
            } else {
                for (const CableRegisterEntry& e : reg.List())
                    if (RegisterNameKey(e.customer) == RegisterNameKey(*customer))
                        reg.Remove(e.customer, e.cable, actor, now);
            }
            break;
        case ItemChange::Added:
            // Only a step undone or redone brings a removed entry back: a new cable that
            // merely has the name of one removed earlier starts without one.
            if (cableLevel && (command == kind::Undo || command == kind::Redo) &&
                !reg.Find(*customer, *cable)) {
                if (std::optional<CableRegisterEntry> old =
                        removedRevision(workspace.Db(), *customer, *cable)) {
                    old->customer = *customer;
                    old->cable = *cable;
                    reg.Put(*old, actor, now);
                }
            }
            break;
        case ItemChange::Changed:
            break;
        }
        t.Commit();
    } catch (const sqlite::Error&) {
        // The savepoint is rolled back; the tree's change stands and the entry shows as an
        // orphan.
    }
}

} // namespace ws
