// The provenance table, the registration's links and the check of stored records against their
// archived lines.
#include "workspace/provenance.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "link/archivespan.h"
#include "model/cp932text.h"
#include "store/recordcodec.h"
#include "workspace/sha256.h"
#include "workspace/treediff.h"
#include "workspace/workspace.h"

namespace fs = std::filesystem;

namespace ws {

namespace {

// How many key changes a record's history is followed back through (a guard against a
// journal whose key changes run in a circle).
constexpr int kMaxKeySteps = 64;

bool hasProvenanceTable(sqlite::Db& db)
{
    sqlite::Stmt s(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'provenance'");
    return s.Step();
}

std::string storeFolder(const std::string& storePath)
{
    std::error_code ec;
    fs::path p = fs::absolute(storePath, ec);
    if (ec)
        p = storePath;
    return p.lexically_normal().parent_path().string();
}

// The archive path as kept: relative to the store's folder where the file lies below it.
std::string keptArchivePath(const std::string& archivePath, const std::string& storePath)
{
    std::error_code ec;
    fs::path file = fs::absolute(archivePath, ec);
    if (ec)
        file = archivePath;
    file = file.lexically_normal();
    const fs::path rel = file.lexically_relative(storeFolder(storePath));
    if (rel.empty() || *rel.begin() == "..")
        return file.string();
    return rel.string();
}

Provenance rowOf(const sqlite::Stmt& s)
{
    Provenance p;
    p.id = s.Int(0);
    p.contentKey = s.Text(1);
    p.archive = s.Text(2);
    p.firstLine = static_cast<int>(s.Int(3));
    p.lineCount = static_cast<int>(s.Int(4));
    p.sha256 = s.Text(5);
    p.receivedAt = s.Int(6);
    p.registeredAt = s.Int(7);
    p.journalId = s.Int(8);
    p.customer = s.Text(9);
    p.cable = s.Text(10);
    p.set = s.Text(11);
    p.record = s.Text(12);
    return p;
}

constexpr const char* kSelectColumns =
    "SELECT id, content_key, archive, first_line, line_count, sha256, received_at, "
    "registered_at, journal_id, customer, cable, set_name, record FROM provenance";

int64_t newestJournalId(const Workspace& w)
{
    try {
        JournalFilter f;
        f.limit = 1;
        f.withItems = false;
        const std::vector<JournalEntry> newest = w.Query(f);
        return newest.empty() ? 0 : newest.back().id;
    } catch (const std::exception&) {
        return 0;
    }
}

// The tester's values of a record: what the reception gave it and no command may change.
void copyTesterValues(const CMeasRecord& from, CMeasRecord& to)
{
    to.DataNo = from.DataNo;
    to.StatusFlag = from.StatusFlag;
    to.RangeFlag = from.RangeFlag;
    to.TestVoltage = from.TestVoltage;
    to.TriggerLevel = from.TriggerLevel;
    to.StartTime = from.StartTime;
    to.Points = from.Points;
}

// A record as the store keeps it (points in their stored encoding), so that one fresh from the
// decoder compares equal to its stored copy.
CMeasRecord asStored(const CMeasRecord& r)
{
    return recordcodec::DecodeRecord(recordcodec::EncodeRecord(r));
}

// What the verification knows of the workspace: every link, and the journal's entries asked
// for per content key.
class Evidence {
public:
    Evidence(Workspace* w, const CCustomerDB& tree)
        : m_w(w && w->IsOpen() ? w : nullptr), m_tree(tree)
    {
        if (!m_w)
            return;
        try {
            if (!hasProvenanceTable(m_w->Db()))
                return;
            sqlite::Stmt s(m_w->Db(), std::string(kSelectColumns) + " ORDER BY id DESC");
            while (s.Step())
                m_links.push_back(rowOf(s));
        } catch (const std::exception&) {
            m_links.clear();
        }
    }

    // The record's keys, its own first and then the ones it had before journaled changes of
    // its date, voltage or points; and the link of the newest key that has one.
    const Provenance* Find(const CMeasRecord& record, const std::string& key,
                           const std::string& customer, const std::string& cable,
                           const std::string& set, std::vector<std::string>& keys)
    {
        keys = {key};
        if (m_links.empty())
            return nullptr; // nothing was ever registered from a reception here
        for (int step = 0; step < kMaxKeySteps; ++step) {
            const std::string& k = keys.back();
            if (const Provenance* p = linkOf(k))
                return p;
            std::string before;
            for (const JournalEntry& e : entriesOf(k)) {
                if (e.command == kind::External)
                    continue;
                for (const JournalItem& item : e.items)
                    if (item.newKey == k && !item.contentKey.empty() && item.contentKey != k)
                        before = item.contentKey;
            }
            if (before.empty() || std::find(keys.begin(), keys.end(), before) != keys.end())
                break;
            keys.push_back(before);
        }
        // A record changed behind the program's back (its points, say) has a key of its own
        // and no journaled key change: the link whose record is no longer in the store and
        // that was registered with the same tester's number, start time and voltage, or else
        // with the same number and voltage into the set of the same names, stands for it.
        const Provenance* byTime = nullptr;
        const Provenance* byPlace = nullptr;
        for (const std::size_t i : orphans()) {
            const Provenance& p = m_links[i];
            CMeasRecord was;
            try {
                was = recordcodec::DecodeRecord(p.record);
            } catch (const std::exception&) {
                continue;
            }
            if (was.DataNo != record.DataNo)
                continue;
            if (!byTime && was.StartTime == record.StartTime &&
                was.TestVoltage == record.TestVoltage)
                byTime = &p;
            if (!byPlace && was.TestVoltage == record.TestVoltage && p.customer == customer &&
                p.cable == cable && p.set == set)
                byPlace = &p;
        }
        return byTime ? byTime : byPlace;
    }

    // The labels of the fields that journaled commands of this program changed on the record
    // (any of its keys) after its link was written. An external change explains nothing.
    std::set<std::string> JournaledFields(const std::vector<std::string>& keys, int64_t after)
    {
        std::set<std::string> fields;
        const std::set<std::string> keySet(keys.begin(), keys.end());
        std::set<int64_t> seen;
        for (const std::string& k : keys)
            for (const JournalEntry& e : entriesOf(k)) {
                if (e.id <= after || e.command == kind::External || !seen.insert(e.id).second)
                    continue;
                for (const JournalItem& item : e.items) {
                    if (item.level != ItemLevel::Record ||
                        (!keySet.count(item.contentKey) && !keySet.count(item.newKey)))
                        continue;
                    for (const FieldChange& f : item.fields)
                        fields.insert(f.field);
                }
            }
        return fields;
    }

private:
    // The links whose record is no longer in the store under its key (found once, when first
    // needed: it costs the content key of every record).
    const std::vector<std::size_t>& orphans()
    {
        if (m_orphansFound || m_links.empty())
            return m_orphans;
        m_orphansFound = true;
        std::set<std::string> present;
        for (int c = 0; c < m_tree.customers.Count(); ++c)
            for (int k = 0; k < m_tree.customers.At(c).cables.Count(); ++k)
                for (int m = 0; m < m_tree.customers.At(c).cables.At(k).sets.Count(); ++m) {
                    const CMeasData& set = m_tree.customers.At(c).cables.At(k).sets.At(m);
                    for (std::size_t i = 0; i < set.RecordCount(); ++i)
                        present.insert(KeyText(set.RecordAt(i)));
                }
        for (std::size_t i = 0; i < m_links.size(); ++i)
            if (!present.count(m_links[i].contentKey))
                m_orphans.push_back(i);
        return m_orphans;
    }

    const Provenance* linkOf(const std::string& key) const
    {
        for (const Provenance& p : m_links) // newest first
            if (p.contentKey == key)
                return &p;
        return nullptr;
    }

    const std::vector<JournalEntry>& entriesOf(const std::string& key)
    {
        auto it = m_entries.find(key);
        if (it != m_entries.end())
            return it->second;
        std::vector<JournalEntry> entries;
        if (m_w) {
            try {
                JournalFilter f;
                f.contentKey = key;
                entries = m_w->Query(f);
            } catch (const std::exception&) {
                entries.clear();
            }
        }
        return m_entries.emplace(key, std::move(entries)).first->second;
    }

    Workspace* m_w;
    const CCustomerDB& m_tree;
    std::vector<Provenance> m_links; // newest first
    std::vector<std::size_t> m_orphans;
    bool m_orphansFound = false;
    std::map<std::string, std::vector<JournalEntry>> m_entries;
};

RecordVerdict verify(Evidence& evidence, const std::string& storePath, const CMeasRecord& record,
                     const std::string& customer, const std::string& cable, const std::string& set,
                     std::size_t index, int triggValidSec)
{
    RecordVerdict v;
    v.customer = cp932::toUtf8(customer);
    v.cable = cp932::toUtf8(cable);
    v.set = cp932::toUtf8(set);
    v.index = index;
    v.contentKey = KeyText(record);
    std::vector<std::string> keys;
    const Provenance* link = evidence.Find(record, v.contentKey, v.customer, v.cable, v.set, keys);
    if (!link) {
        v.reason = NoReceptionReason::NoLink;
        return v;
    }
    v.source = *link;
    const std::string path = ArchiveOnDisk(*link, storePath);
    std::string lines;
    switch (ReadArchiveLines(path, link->firstLine, link->lineCount, lines)) {
    case SpanRead::Ok: break;
    case SpanRead::Missing:
        v.reason = NoReceptionReason::ArchiveMissing;
        v.detail = path;
        return v;
    case SpanRead::Short:
        v.reason = NoReceptionReason::ArchiveDamaged;
        v.detail = "受信データファイルの行が足りません: " + path;
        return v;
    }
    if (Sha256Hex(lines) != link->sha256) {
        v.reason = NoReceptionReason::ArchiveDamaged;
        v.detail = "受信データファイルの内容が登録時と異なります (SHA-256): " + path;
        return v;
    }
    std::string error;
    const std::optional<ReceivedRecord> decoded =
        DecodeArchivedRecord(lines, triggValidSec, &error);
    CMeasRecord registered;
    CMeasRecord received;
    try {
        if (!decoded)
            throw std::runtime_error(cp932::toUtf8(error));
        received = asStored(*decoded);
        registered = recordcodec::DecodeRecord(link->record);
    } catch (const std::exception& e) {
        v.reason = NoReceptionReason::ArchiveDamaged;
        v.detail = std::string("受信データを読み直せません: ") + e.what();
        return v;
    }
    v.reason = NoReceptionReason::None;

    // The tester's values against the lines: any difference is a change.
    CMeasRecord asReceived = record;
    copyTesterValues(received, asReceived);
    v.changed = CompareRecords(asReceived, record);

    // The rest against the record as registered: a difference is explained where a journaled
    // command of this program changed that field of the record.
    CMeasRecord asRegistered = registered;
    copyTesterValues(record, asRegistered);
    const std::set<std::string> journaled = evidence.JournaledFields(keys, link->journalId);
    for (FieldChange& f : CompareRecords(asRegistered, record)) {
        if (journaled.count(f.field))
            v.explained.push_back(std::move(f));
        else
            v.changed.push_back(std::move(f));
    }
    v.state = v.changed.empty() ? VerifyState::Match : VerifyState::Changed;
    return v;
}

bool matches(const std::string& want, const std::string& name)
{
    return want.empty() || want == name;
}

} // namespace

void CreateProvenanceTable(sqlite::Db& db)
{
    db.Exec("CREATE TABLE IF NOT EXISTS provenance ("
            " id INTEGER PRIMARY KEY,"
            " content_key TEXT NOT NULL,"
            " archive TEXT NOT NULL,"
            " first_line INTEGER NOT NULL,"
            " line_count INTEGER NOT NULL,"
            " sha256 TEXT NOT NULL,"
            " received_at INTEGER NOT NULL,"
            " registered_at INTEGER NOT NULL,"
            " journal_id INTEGER NOT NULL DEFAULT 0,"
            " customer TEXT NOT NULL DEFAULT '',"
            " cable TEXT NOT NULL DEFAULT '',"
            " set_name TEXT NOT NULL DEFAULT '',"
            " record BLOB NOT NULL);"
            "CREATE INDEX IF NOT EXISTS provenance_key ON provenance(content_key);");
}

std::vector<ReceivedLink> LinksOf(const std::vector<ReceivedRecord>& records,
                                  const std::vector<ArchiveSpan>& spans,
                                  const std::string& archivePath, int64_t receivedAt)
{
    std::vector<ReceivedLink> links;
    if (archivePath.empty() || spans.size() != records.size())
        return links;
    for (std::size_t i = 0; i < records.size(); ++i)
        links.push_back(
            {KeyText(records[i]), archivePath, spans[i].firstLine, spans[i].lineCount, receivedAt});
    return links;
}

std::string ArchiveOnDisk(const Provenance& p, const std::string& storePath)
{
    const fs::path archive(p.archive);
    if (archive.is_absolute())
        return archive.string();
    return (fs::path(storeFolder(storePath)) / archive).lexically_normal().string();
}

int RecordProvenance(Workspace& workspace, const std::string& storePath, const CCustomerDB& tree,
                     const cmd::TreePath& setPath, const std::vector<ReceivedLink>& links,
                     int64_t now)
{
    if (links.empty() || !workspace.IsOpen())
        return 0;
    // Every record of the tree with its names, those of the set named first.
    struct Place {
        const CMeasRecord* record;
        cmd::TreePath path;
        bool taken = false;
    };
    std::vector<Place> places;
    for (int pass = 0; pass < 2; ++pass)
        for (int c = 0; c < tree.customers.Count(); ++c)
            for (int k = 0; k < tree.customers.At(c).cables.Count(); ++k)
                for (int m = 0; m < tree.customers.At(c).cables.At(k).sets.Count(); ++m) {
                    const cmd::TreePath path{tree.customers.At(c).name,
                                             tree.customers.At(c).cables.At(k).name,
                                             tree.customers.At(c).cables.At(k).sets.At(m).name};
                    if ((path == setPath) != (pass == 0))
                        continue;
                    const CMeasData& set = tree.customers.At(c).cables.At(k).sets.At(m);
                    for (std::size_t i = 0; i < set.RecordCount(); ++i)
                        places.push_back({&set.RecordAt(i), path});
                }
    sqlite::Db& db = workspace.Db();
    CreateProvenanceTable(db);
    const int64_t journalId = newestJournalId(workspace);
    sqlite::Transaction tx(db);
    sqlite::Stmt insert(db, "INSERT INTO provenance (content_key, archive, first_line, line_count,"
                            " sha256, received_at, registered_at, journal_id, customer, cable,"
                            " set_name, record) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
    int written = 0;
    for (const ReceivedLink& link : links) {
        Place* place = nullptr;
        for (Place& p : places)
            if (!p.taken && KeyText(*p.record) == link.contentKey) {
                place = &p;
                break;
            }
        if (!place)
            continue;
        std::string lines;
        if (ReadArchiveLines(link.archivePath, link.firstLine, link.lineCount, lines) !=
            SpanRead::Ok)
            continue;
        const std::optional<ReceivedRecord> again = DecodeArchivedRecord(lines, 10);
        if (!again || KeyText(*again) != link.contentKey)
            continue;
        place->taken = true;
        insert.Reset();
        insert.Bind(1, link.contentKey)
            .Bind(2, keptArchivePath(link.archivePath, storePath))
            .Bind(3, int64_t(link.firstLine))
            .Bind(4, int64_t(link.lineCount))
            .Bind(5, Sha256Hex(lines))
            .Bind(6, link.receivedAt)
            .Bind(7, now)
            .Bind(8, journalId)
            .Bind(9, cp932::toUtf8(place->path.customer))
            .Bind(10, cp932::toUtf8(place->path.cable))
            .Bind(11, cp932::toUtf8(place->path.set))
            .BindBlob(12, recordcodec::EncodeRecord(*place->record));
        insert.Run();
        ++written;
    }
    tx.Commit();
    return written;
}

int RecordProvenanceFor(const std::string& storePath, const CCustomerDB& tree,
                        const std::vector<ReceivedLink>& links, int64_t now)
{
    if (links.empty())
        return 0;
    try {
        Workspace workspace;
        if (!workspace.Open(storePath, false).usable())
            return 0;
        return RecordProvenance(workspace, storePath, tree, {}, links, now);
    } catch (const std::exception&) {
        return 0;
    }
}

std::vector<Provenance> ProvenanceOf(sqlite::Db& db, const std::string& contentKey)
{
    std::vector<Provenance> out;
    if (!hasProvenanceTable(db))
        return out;
    sqlite::Stmt s(db, std::string(kSelectColumns) + " WHERE content_key = ? ORDER BY id DESC");
    s.Bind(1, contentKey);
    while (s.Step())
        out.push_back(rowOf(s));
    return out;
}

const char* StateText(VerifyState state)
{
    switch (state) {
    case VerifyState::Match: return "一致";
    case VerifyState::Changed: return "変更あり";
    case VerifyState::NoReception: return "受信記録なし";
    }
    return "";
}

const char* StateName(VerifyState state)
{
    switch (state) {
    case VerifyState::Match: return "match";
    case VerifyState::Changed: return "changed";
    case VerifyState::NoReception: return "no-reception";
    }
    return "";
}

const char* ReasonName(NoReceptionReason reason)
{
    switch (reason) {
    case NoReceptionReason::None: return "";
    case NoReceptionReason::NoLink: return "no-link";
    case NoReceptionReason::ArchiveMissing: return "archive-missing";
    case NoReceptionReason::ArchiveDamaged: return "archive-damaged";
    }
    return "";
}

std::string ReasonText(NoReceptionReason reason)
{
    switch (reason) {
    case NoReceptionReason::None: return {};
    case NoReceptionReason::NoLink: return "受信元の記録がありません";
    case NoReceptionReason::ArchiveMissing: return "受信データファイルがありません";
    case NoReceptionReason::ArchiveDamaged: return "受信データファイルが壊れています";
    }
    return {};
}

std::vector<RecordVerdict> VerifyRecords(Workspace* workspace, const std::string& storePath,
                                         const CCustomerDB& tree, const cmd::TreePath& scope,
                                         int triggValidSec)
{
    Evidence evidence(workspace, tree);
    std::vector<RecordVerdict> out;
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& customer = tree.customers.At(c);
        if (!matches(scope.customer, customer.name))
            continue;
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            if (!matches(scope.cable, cable.name))
                continue;
            for (int m = 0; m < cable.sets.Count(); ++m) {
                const CMeasData& set = cable.sets.At(m);
                if (!matches(scope.set, set.name))
                    continue;
                for (std::size_t i = 0; i < set.RecordCount(); ++i)
                    out.push_back(verify(evidence, storePath, set.RecordAt(i), customer.name,
                                         cable.name, set.name, i, triggValidSec));
            }
        }
    }
    return out;
}

RecordVerdict VerifyRecord(Workspace* workspace, const std::string& storePath,
                           const CCustomerDB& tree, const cmd::TreePath& setPath, std::size_t index,
                           int triggValidSec)
{
    Evidence evidence(workspace, tree);
    const CMeasData* set = cmd::FindSet(const_cast<CCustomerDB&>(tree), setPath);
    if (!set || index >= set->RecordCount()) {
        RecordVerdict v;
        v.index = index;
        return v;
    }
    return verify(evidence, storePath, set->RecordAt(index), setPath.customer, setPath.cable,
                  setPath.set, index, triggValidSec);
}

VerifyCounts CountVerdicts(const std::vector<RecordVerdict>& verdicts)
{
    VerifyCounts n;
    for (const RecordVerdict& v : verdicts) {
        n.match += v.state == VerifyState::Match;
        n.changed += v.state == VerifyState::Changed;
        n.noReception += v.state == VerifyState::NoReception;
    }
    return n;
}

} // namespace ws
