#include "workspace/workspace.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <exception>
#include <iterator>
#include <thread>
#include <map>
#include <set>
#include <tuple>

#include "model/cp932text.h"
#include "model/safefile.h"
#include "store/store.h"
#include "workspace/cableregister.h"
#include "workspace/treediff.h"

namespace ws {
namespace {

enum EntryState : int64_t { kPending = 0, kDone = 1, kVoid = 2 };

// Version 1 of the schema. Names are UTF-8; content keys are hex; hashes are the 64-bit
// values stored as signed integers.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE journal(
    id INTEGER PRIMARY KEY,
    state INTEGER NOT NULL,
    time INTEGER NOT NULL,
    user TEXT NOT NULL,
    workstation TEXT NOT NULL,
    command TEXT NOT NULL,
    summary TEXT NOT NULL,
    reason TEXT NOT NULL,
    expect_device INTEGER, expect_inode INTEGER, expect_size INTEGER, expect_mtime INTEGER);
CREATE INDEX journal_time ON journal(time);
CREATE TABLE journal_item(
    entry_id INTEGER NOT NULL,
    seq INTEGER NOT NULL,
    change TEXT NOT NULL,
    level INTEGER NOT NULL,
    customer TEXT NOT NULL,
    cable TEXT NOT NULL,
    set_name TEXT NOT NULL,
    content_key TEXT NOT NULL,
    new_key TEXT NOT NULL,
    new_name TEXT NOT NULL,
    fields TEXT NOT NULL,
    state_hash INTEGER NOT NULL,
    count INTEGER NOT NULL,
    PRIMARY KEY(entry_id, seq)) WITHOUT ROWID;
CREATE INDEX journal_item_path ON journal_item(customer, cable, set_name);
CREATE INDEX journal_item_key ON journal_item(content_key);
CREATE INDEX journal_item_new_key ON journal_item(new_key);
CREATE TABLE store_record(
    customer TEXT NOT NULL,
    cable TEXT NOT NULL,
    set_name TEXT NOT NULL,
    content_key TEXT NOT NULL,
    state_hash INTEGER NOT NULL,
    PRIMARY KEY(customer, cable, set_name, content_key)) WITHOUT ROWID;
)sql";

// The fields of an item as lines of "label TAB before TAB after"; tabs and line ends inside a
// value cannot occur in the labels and are replaced by spaces in values.
std::string clean(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

std::string encodeFields(const std::vector<FieldChange>& fields)
{
    std::string out;
    for (const FieldChange& f : fields) {
        out += clean(f.field);
        out += '\t';
        out += clean(f.before);
        out += '\t';
        out += clean(f.after);
        out += '\n';
    }
    return out;
}

std::vector<FieldChange> decodeFields(std::string_view text)
{
    std::vector<FieldChange> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t a = line.find('\t');
        const std::size_t b = a == std::string_view::npos ? a : line.find('\t', a + 1);
        if (b == std::string_view::npos)
            continue;
        out.push_back({std::string(line.substr(0, a)), std::string(line.substr(a + 1, b - a - 1)),
                       std::string(line.substr(b + 1))});
    }
    return out;
}

// Keeps the damaged file as "<path>.damaged-YYYYMMDD-HHMMSS" and removes it (with its WAL and
// shared-memory files) so that a new one can start; returns the copy's name, "" on failure.
std::string moveAside(const std::string& path)
{
    const std::string aside = CopyAside(path, "damaged", std::time(nullptr));
    if (aside.empty())
        return {};
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
    return aside;
}

bool isDamage(int code)
{
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

void bindIdentity(sqlite::Stmt& s, int first, const FileIdentity& id)
{
    s.Bind(first, static_cast<int64_t>(id.device));
    s.Bind(first + 1, static_cast<int64_t>(id.inode));
    s.Bind(first + 2, id.size);
    s.Bind(first + 3, id.mtimeNs);
}

bool sameFile(const FileIdentity& a, const FileIdentity& b)
{
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.mtimeNs == b.mtimeNs;
}

} // namespace

std::string WorkspacePathFor(const std::string& storePath)
{
    std::string path = NativeStorePath(storePath);
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        path.erase(dot);
    return path + ".workspace.sqlite";
}

OpenOutcome Workspace::Open(const std::string& storePath, bool create)
{
    return OpenAt(WorkspacePathFor(storePath), create);
}

OpenOutcome Workspace::OpenFile(const std::string& path, bool create)
{
    return OpenAt(path, create);
}

OpenOutcome Workspace::OpenAt(const std::string& path, bool create)
{
    Close();
    OpenOutcome out;
    const bool existed = IdentityOfPath(path).exists;
    if (!existed && !create) {
        out.status = OpenStatus::Missing;
        return out;
    }
    if (!existed)
        safefile::CreateFolders(safefile::FolderOf(path));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            m_db.Open(path, true);
            m_path = path;
            m_db.Exec("PRAGMA journal_mode=WAL");
            m_db.Exec("PRAGMA synchronous=FULL");
            // Reading a long journal (the history window) goes through the page cache
            // without a read call per page.
            m_db.Exec("PRAGMA mmap_size=268435456");
            {
                sqlite::Stmt check(m_db, "PRAGMA quick_check");
                if (check.Step() && check.Text(0) != "ok")
                    throw sqlite::Error(SQLITE_CORRUPT, "quick_check: " + check.Text(0));
            }
            sqlite::Stmt version(m_db, "PRAGMA user_version");
            version.Step();
            if (version.Int(0) > kSchemaVersion) {
                Close();
                out.status = OpenStatus::TooNew;
                return out;
            }
            Migrate();
            if (out.status != OpenStatus::Replaced)
                out.status = existed ? OpenStatus::Opened : OpenStatus::Created;
            return out;
        } catch (const sqlite::Error& e) {
            Close();
            if (attempt == 0 && isDamage(e.code())) {
                out.setAsidePath = moveAside(path);
                if (!out.setAsidePath.empty()) {
                    out.status = OpenStatus::Replaced;
                    continue;
                }
            }
            out.status = OpenStatus::Failed;
            out.error = e.what();
            return out;
        }
    }
    out.status = OpenStatus::Failed;
    return out;
}

void Workspace::Close()
{
    m_db.Close();
}

void Workspace::Migrate()
{
    sqlite::Stmt version(m_db, "PRAGMA user_version");
    version.Step();
    const int64_t have = version.Int(0);
    if (have >= kSchemaVersion)
        return;
    sqlite::Transaction t(m_db);
    if (have < 1)
        m_db.Exec(kSchemaV1);
    m_db.Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    t.Commit();
}

void Workspace::InsertItems(int64_t id, const std::vector<JournalItem>& items)
{
    sqlite::Stmt s(m_db, "INSERT INTO journal_item(entry_id, seq, change, level, customer, cable, "
                         "set_name, content_key, new_key, new_name, fields, state_hash, count) "
                         "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
    int64_t seq = 0;
    for (const JournalItem& item : items) {
        s.Bind(1, id).Bind(2, seq++).Bind(3, ItemChangeName(item.change));
        s.Bind(4, static_cast<int64_t>(item.level));
        s.Bind(5, item.customer).Bind(6, item.cable).Bind(7, item.set);
        s.Bind(8, item.contentKey).Bind(9, item.newKey).Bind(10, item.newName);
        s.Bind(11, encodeFields(item.fields));
        s.Bind(12, static_cast<int64_t>(item.stateHash));
        s.Bind(13, static_cast<int64_t>(item.count));
        s.Run();
    }
}

namespace {

int64_t insertEntry(sqlite::Db& db, const JournalEntry& e, EntryState state,
                    const FileIdentity* expected)
{
    sqlite::Stmt s(db, "INSERT INTO journal(state, time, user, workstation, command, summary, "
                       "reason, expect_device, expect_inode, expect_size, expect_mtime) "
                       "VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    s.Bind(1, static_cast<int64_t>(state)).Bind(2, e.time).Bind(3, e.user).Bind(4, e.workstation);
    s.Bind(5, e.command).Bind(6, e.summary).Bind(7, e.reason);
    if (expected)
        bindIdentity(s, 8, *expected);
    s.Run();
    return db.LastInsertId();
}

} // namespace

int64_t Workspace::Append(const JournalEntry& entry, const FileIdentity* identity)
{
    sqlite::Transaction t(m_db);
    const int64_t id = insertEntry(m_db, entry, kDone, nullptr);
    InsertItems(id, entry.items);
    ApplyToState(id);
    if (identity)
        SetKnownIdentity(*identity);
    t.Commit();
    return id;
}

int64_t Workspace::BeginSave(const JournalEntry& entry, const FileIdentity& expected)
{
    sqlite::Transaction t(m_db);
    const int64_t id = insertEntry(m_db, entry, kPending, &expected);
    InsertItems(id, entry.items);
    t.Commit();
    return id;
}

void Workspace::FinishSave(int64_t id, const FileIdentity& written)
{
    // Only the pending entry must be on disk before the store file is replaced: a finish lost
    // to a power cut is made again at the next open from the store file's identity. So this
    // commit need not wait for the disk.
    m_db.Exec("PRAGMA synchronous=NORMAL");
    struct FullAgain {
        sqlite::Db& db;
        ~FullAgain()
        {
            try {
                db.Exec("PRAGMA synchronous=FULL");
            } catch (const sqlite::Error&) {
                // The connection is unusable; the next statement says so.
            }
        }
    } fullAgain{m_db};
    sqlite::Transaction t(m_db);
    sqlite::Stmt s(m_db, "UPDATE journal SET state=? WHERE id=? AND state=?");
    s.Bind(1, int64_t{kDone}).Bind(2, id).Bind(3, int64_t{kPending}).Run();
    if (m_db.Changes() > 0)
        ApplyToState(id);
    SetKnownIdentity(written);
    t.Commit();
}

void Workspace::AbandonSave(int64_t id)
{
    sqlite::Stmt s(m_db, "UPDATE journal SET state=? WHERE id=? AND state=?");
    s.Bind(1, int64_t{kVoid}).Bind(2, id).Bind(3, int64_t{kPending}).Run();
}

int Workspace::ResolvePending(const FileIdentity& storeNow)
{
    std::vector<std::pair<int64_t, FileIdentity>> pending;
    {
        sqlite::Stmt s(m_db, "SELECT id, expect_device, expect_inode, expect_size, expect_mtime "
                             "FROM journal WHERE state=? ORDER BY id");
        s.Bind(1, int64_t{kPending});
        while (s.Step()) {
            FileIdentity id;
            id.exists = true;
            id.device = static_cast<uint64_t>(s.Int(1));
            id.inode = static_cast<uint64_t>(s.Int(2));
            id.size = s.Int(3);
            id.mtimeNs = s.Int(4);
            pending.emplace_back(s.Int(0), id);
        }
    }
    int landed = 0;
    for (const auto& [id, expected] : pending) {
        if (sameFile(expected, storeNow)) {
            FinishSave(id, storeNow);
            ++landed;
        } else {
            AbandonSave(id);
        }
    }
    return landed;
}

namespace {

// The entries of the filter whose ids lie in [lo, hi], oldest first, appended to out.
void queryRange(const sqlite::Db& db, const JournalFilter& filter, int64_t lo, int64_t hi,
                std::vector<JournalEntry>& out)
{
    std::string sql = "SELECT id, time, user, workstation, command, summary, reason FROM journal "
                      "WHERE state=1 AND id BETWEEN " +
                      std::to_string(lo) + " AND " + std::to_string(hi);
    std::vector<std::string> texts;
    const bool byPath = !filter.customer.empty() || !filter.contentKey.empty();
    if (byPath) {
        sql += " AND id IN (SELECT entry_id FROM journal_item WHERE 1";
        if (!filter.customer.empty()) {
            // An item at or below the names given, or a customer/cable/set item above them
            // that touched everything below (a rename or removal of the customer).
            sql += " AND customer=?";
            texts.push_back(filter.customer);
            if (!filter.cable.empty()) {
                sql += " AND (cable=? OR (level=0))";
                texts.push_back(filter.cable);
            }
            if (!filter.set.empty()) {
                sql += " AND (set_name=? OR level<=1)";
                texts.push_back(filter.set);
            }
        }
        if (!filter.contentKey.empty()) {
            sql += " AND (content_key=? OR new_key=?)";
            texts.push_back(filter.contentKey);
            texts.push_back(filter.contentKey);
        }
        sql += ")";
    }
    if (filter.since)
        sql += " AND time>=" + std::to_string(filter.since);
    if (filter.until)
        sql += " AND time<" + std::to_string(filter.until);
    if (filter.limit)
        sql = "SELECT * FROM (" + sql + " ORDER BY id DESC LIMIT " + std::to_string(filter.limit) +
              ")";
    sql += " ORDER BY id";

    const std::size_t first = out.size();
    {
        sqlite::Stmt s(db, sql);
        for (std::size_t i = 0; i < texts.size(); ++i)
            s.Bind(static_cast<int>(i + 1), texts[i]);
        while (s.Step()) {
            JournalEntry e;
            e.id = s.Int(0);
            e.time = s.Int(1);
            e.user = s.Text(2);
            e.workstation = s.Text(3);
            e.command = s.Text(4);
            e.summary = s.Text(5);
            e.reason = s.Text(6);
            out.push_back(std::move(e));
        }
    }
    if (!filter.withItems || out.size() == first)
        return;
    sqlite::Stmt s(db, "SELECT entry_id, change, level, customer, cable, set_name, content_key, "
                       "new_key, new_name, fields, state_hash, count FROM journal_item "
                       "WHERE entry_id BETWEEN ? AND ? ORDER BY entry_id, seq");
    s.Bind(1, out[first].id).Bind(2, out.back().id);
    // Entries and items both come in the order of the entry ids: each item's entry is found by
    // walking on from the previous one (items of entries the filter left out are skipped).
    std::size_t at = first;
    while (s.Step()) {
        const int64_t id = s.Int(0);
        while (at < out.size() && out[at].id < id)
            ++at;
        if (at == out.size())
            break;
        if (out[at].id != id)
            continue;
        JournalItem item;
        ParseItemChange(s.Text(1), item.change);
        item.level = static_cast<ItemLevel>(s.Int(2));
        item.customer = s.Text(3);
        item.cable = s.Text(4);
        item.set = s.Text(5);
        item.contentKey = s.Text(6);
        item.newKey = s.Text(7);
        item.newName = s.Text(8);
        item.fields = decodeFields(s.Text(9));
        item.stateHash = static_cast<uint64_t>(s.Int(10));
        item.count = static_cast<std::size_t>(s.Int(11));
        out[at].items.push_back(std::move(item));
    }
}

// Below this many ids a query is read on one connection: a second one costs more than it saves.
constexpr int64_t kParallelQueryIds = 20000;

} // namespace

std::vector<JournalEntry> Workspace::Query(const JournalFilter& filter) const
{
    std::vector<JournalEntry> out;
    int64_t lo = 0, hi = 0;
    {
        sqlite::Stmt range(m_db, "SELECT min(id), max(id) FROM journal");
        if (!range.Step() || range.IsNull(0))
            return out;
        lo = range.Int(0);
        hi = range.Int(1);
    }
    // Room for every entry the ids allow (the untouched part of a large block costs no memory),
    // so a long journal is not moved again at each growth of the vector.
    std::size_t room = static_cast<std::size_t>(hi - lo + 1);
    if (filter.limit)
        room = std::min(room, filter.limit);
    out.reserve(room);

    // A long journal is read in two halves at once, the older on a second connection of its
    // own: the time of reading it is mostly making its strings, which two cores do in half the
    // time. Each half is a read of its own; an entry done between them is either in the newer
    // half or not yet shown, as with any read a moment earlier.
    if (filter.limit || hi - lo < kParallelQueryIds || m_path.empty()) {
        queryRange(m_db, filter, lo, hi, out);
        return out;
    }
    const int64_t mid = lo + (hi - lo) / 2;
    std::vector<JournalEntry> newer;
    newer.reserve(static_cast<std::size_t>(hi - mid));
    std::exception_ptr failed;
    std::thread older([&] {
        try {
            sqlite::Db second;
            second.Open(m_path, false);
            queryRange(second, filter, lo, mid, out);
        } catch (...) {
            failed = std::current_exception();
        }
    });
    try {
        queryRange(m_db, filter, mid + 1, hi, newer);
    } catch (...) {
        older.join();
        throw;
    }
    older.join();
    if (failed) {
        // The second connection could not read: the whole range on this one.
        out.clear();
        newer.clear();
        queryRange(m_db, filter, lo, hi, out);
        return out;
    }
    out.insert(out.end(), std::make_move_iterator(newer.begin()),
               std::make_move_iterator(newer.end()));
    return out;
}

std::size_t Workspace::EntryCount() const
{
    sqlite::Stmt s(m_db, "SELECT count(*) FROM journal WHERE state=1");
    s.Step();
    return static_cast<std::size_t>(s.Int(0));
}

std::optional<FileIdentity> Workspace::KnownIdentity() const
{
    sqlite::Stmt s(m_db, "SELECT value FROM meta WHERE key='store_identity'");
    if (!s.Step())
        return std::nullopt;
    FileIdentity id;
    unsigned long long dev = 0, ino = 0;
    long long size = 0, mtime = 0;
    if (std::sscanf(s.Text(0).c_str(), "%llu %llu %lld %lld", &dev, &ino, &size, &mtime) != 4)
        return std::nullopt;
    id.exists = true;
    id.device = dev;
    id.inode = ino;
    id.size = size;
    id.mtimeNs = mtime;
    return id;
}

void Workspace::SetKnownIdentity(const FileIdentity& identity)
{
    char text[96];
    std::snprintf(text, sizeof text, "%llu %llu %lld %lld",
                  static_cast<unsigned long long>(identity.device),
                  static_cast<unsigned long long>(identity.inode),
                  static_cast<long long>(identity.size), static_cast<long long>(identity.mtimeNs));
    sqlite::Stmt s(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES('store_identity', ?)");
    s.Bind(1, std::string_view(text)).Run();
}

bool Workspace::HasState() const
{
    sqlite::Stmt s(m_db, "SELECT 1 FROM meta WHERE key='state_known'");
    return s.Step();
}

namespace {

struct RecordAt {
    std::string customer, cable, set, key;
    auto operator<=>(const RecordAt&) const = default;
};

std::map<RecordAt, uint64_t> recordsOf(const CCustomerDB& tree)
{
    std::map<RecordAt, uint64_t> out;
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& cu = tree.customers.At(c);
        const std::string customer = cp932::toUtf8(cu.name);
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            const std::string cable = cp932::toUtf8(ca.name);
            for (int s = 0; s < ca.sets.Count(); ++s) {
                const CMeasData& set = ca.sets.At(s);
                const std::string name = cp932::toUtf8(set.name);
                for (const CMeasRecord& r : set.Records())
                    out[{customer, cable, name, KeyText(r)}] = StateHash(r);
            }
        }
    }
    return out;
}

} // namespace

void Workspace::SetBaseline(const CCustomerDB& tree, const FileIdentity& identity)
{
    sqlite::Transaction t(m_db);
    m_db.Exec("DELETE FROM store_record");
    sqlite::Stmt s(m_db, "INSERT OR REPLACE INTO store_record VALUES(?,?,?,?,?)");
    for (const auto& [at, hash] : recordsOf(tree)) {
        s.Bind(1, at.customer).Bind(2, at.cable).Bind(3, at.set).Bind(4, at.key);
        s.Bind(5, static_cast<int64_t>(hash)).Run();
    }
    m_db.Exec("INSERT OR REPLACE INTO meta(key, value) VALUES('state_known', '1')");
    SetKnownIdentity(identity);
    t.Commit();
}

std::vector<JournalItem> Workspace::DiffWithState(const CCustomerDB& tree) const
{
    std::map<RecordAt, uint64_t> known;
    {
        sqlite::Stmt s(m_db, "SELECT customer, cable, set_name, content_key, state_hash "
                             "FROM store_record");
        while (s.Step())
            known[{s.Text(0), s.Text(1), s.Text(2), s.Text(3)}] = static_cast<uint64_t>(s.Int(4));
    }
    const std::map<RecordAt, uint64_t> now = recordsOf(tree);
    std::vector<JournalItem> items;
    auto item = [&](ItemChange change, const RecordAt& at, uint64_t hash) {
        JournalItem i;
        i.change = change;
        i.level = ItemLevel::Record;
        i.customer = at.customer;
        i.cable = at.cable;
        i.set = at.set;
        i.contentKey = at.key;
        i.stateHash = hash;
        items.push_back(std::move(i));
    };
    auto k = known.begin();
    auto n = now.begin();
    while (k != known.end() || n != now.end()) {
        if (n == now.end() || (k != known.end() && k->first < n->first)) {
            item(ItemChange::Removed, k->first, 0);
            ++k;
        } else if (k == known.end() || n->first < k->first) {
            item(ItemChange::Added, n->first, n->second);
            ++n;
        } else {
            if (k->second != n->second)
                item(ItemChange::Changed, n->first, n->second);
            ++k;
            ++n;
        }
    }
    return items;
}

void Workspace::ApplyToState(int64_t id)
{
    sqlite::Stmt items(m_db, "SELECT change, level, customer, cable, set_name, content_key, "
                             "new_key, new_name, state_hash FROM journal_item WHERE entry_id=? "
                             "ORDER BY seq");
    items.Bind(1, id);
    sqlite::Stmt remove(m_db, "DELETE FROM store_record WHERE customer=? AND cable=? AND "
                              "set_name=? AND content_key=?");
    sqlite::Stmt insert(m_db, "INSERT OR REPLACE INTO store_record VALUES(?,?,?,?,?)");
    // The cable register follows the names the entry renamed, removed or brought back.
    std::string command;
    Actor actor;
    int64_t time = 0;
    {
        sqlite::Stmt e(m_db, "SELECT command, user, workstation, time FROM journal WHERE id=?");
        e.Bind(1, id);
        if (e.Step()) {
            command = e.Text(0);
            actor = {e.Text(1), e.Text(2)};
            time = e.Int(3);
        }
    }
    while (items.Step()) {
        ItemChange change = ItemChange::Changed;
        ParseItemChange(items.Text(0), change);
        const auto level = static_cast<ItemLevel>(items.Int(1));
        const std::string customer = items.Text(2), cable = items.Text(3), set = items.Text(4);
        const std::string key = items.Text(5), newKey = items.Text(6), newName = items.Text(7);
        const int64_t hash = items.Int(8);
        if (level == ItemLevel::Customer || level == ItemLevel::Cable) {
            JournalItem name;
            name.change = change;
            name.level = level;
            name.customer = customer;
            name.cable = cable;
            name.newName = newName;
            CarryRegister(*this, command, name, actor, time);
        }
        if (level != ItemLevel::Record) {
            if (change != ItemChange::Renamed)
                continue; // the records below are items of their own
            static constexpr const char* kRename[] = {
                "UPDATE store_record SET customer=?1 WHERE customer=?2",
                "UPDATE store_record SET cable=?1 WHERE customer=?2 AND cable=?3",
                "UPDATE store_record SET set_name=?1 WHERE customer=?2 AND cable=?3 AND "
                "set_name=?4"};
            sqlite::Stmt rename(m_db, kRename[static_cast<int>(level)]);
            rename.Bind(1, newName).Bind(2, customer);
            if (level >= ItemLevel::Cable)
                rename.Bind(3, cable);
            if (level >= ItemLevel::Set)
                rename.Bind(4, set);
            rename.Run();
            continue;
        }
        if (change == ItemChange::Removed || change == ItemChange::Changed) {
            remove.Bind(1, customer).Bind(2, cable).Bind(3, set).Bind(4, key);
            remove.Run();
        }
        if (change == ItemChange::Added || change == ItemChange::Changed) {
            insert.Bind(1, customer).Bind(2, cable).Bind(3, set);
            insert.Bind(4, newKey.empty() ? key : newKey).Bind(5, hash);
            insert.Run();
        }
    }
}

} // namespace ws
