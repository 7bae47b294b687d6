#include "shareddb/journalsync.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "shareddb/dbmessages.h"
#include "workspace/journalidentity.h"

namespace shareddb {
namespace {

// Seconds between the Unix epoch and PostgreSQL's (2000-01-01), whose binary timestamps count
// microseconds from there.
constexpr int64_t kPgEpochOffset = 946684800;

// The server takes text as valid UTF-8 without NUL: anything else (never written by this
// program, but a journal is a file others can touch) becomes U+FFFD rather than stopping the
// sync for good.
std::string serverText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3
                                      : (c >> 3) == 0x1E ? 4 : 0;
        bool ok = len > 0 && i + len <= n && c != 0;
        for (std::size_t k = 1; ok && k < len; ++k)
            ok = (s[i + k] & 0xC0) == 0x80;
        if (ok && len > 1) {
            // No overlong forms, surrogates or code points above U+10FFFF.
            uint32_t cp = c & (0xFF >> (len + 1));
            for (std::size_t k = 1; k < len; ++k)
                cp = (cp << 6) | (s[i + k] & 0x3F);
            ok = cp >= (len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u) && cp <= 0x10FFFF &&
                 (cp < 0xD800 || cp > 0xDFFF);
        }
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

using EntryKey = std::tuple<std::string, std::string, int64_t>; // workstation, journal, id

// The rows of the chosen entries: a WITH clause shared by the three reads, with its parameters.
struct Chosen {
    std::string with;
    std::vector<PgParam> params;
};

Chosen choose(const SharedJournalFilter& f)
{
    Chosen c;
    std::string where = "TRUE";
    auto param = [&](PgParam p) {
        c.params.push_back(std::move(p));
        return "$" + std::to_string(c.params.size());
    };
    if (!f.workstation.empty())
        where += " AND e.workstation = " + param(PgParam::text(f.workstation));
    if (!f.excludeWorkstation.empty())
        where += " AND e.workstation <> " + param(PgParam::text(f.excludeWorkstation));
    if (f.since != 0)
        where += " AND e.entry_time >= to_timestamp(" + param(PgParam::int8(f.since)) + "::bigint)";
    if (f.until != 0)
        where += " AND e.entry_time < to_timestamp(" + param(PgParam::int8(f.until)) + "::bigint)";
    if (!f.customer.empty()) {
        // An entry matches when one of its items lies at or below the names given.
        std::string names = "i.customer = " + param(PgParam::text(f.customer));
        if (!f.cable.empty()) {
            names += " AND (i.level < 1 OR i.cable = " + param(PgParam::text(f.cable)) + ")";
            if (!f.set.empty())
                names += " AND (i.level < 2 OR i.set_name = " + param(PgParam::text(f.set)) + ")";
        }
        where += " AND EXISTS (SELECT 1 FROM journal_items i WHERE i.workstation = e.workstation"
                 " AND i.journal_id = e.journal_id AND i.entry_id = e.entry_id AND " +
                 names + ")";
    }
    c.with = "WITH chosen AS (SELECT e.workstation, e.journal_id, e.entry_id FROM "
             "journal_entries e WHERE " +
             where + " ORDER BY e.entry_time DESC, e.workstation DESC, e.journal_id DESC, "
                     "e.entry_id DESC" +
             (f.limit ? " LIMIT " + std::to_string(f.limit) : std::string()) + ") ";
    return c;
}

} // namespace

int PushJournal(PgConnection& c, ws::Workspace& workspace, const std::string& givenWorkstation)
{
    const std::string workstation = serverText(givenWorkstation);
    const std::string journal = ws::JournalIdentity(workspace);
    const std::vector<PgParam> key{PgParam::text(workstation), PgParam::text(journal)};
    PgTransaction t(c);
    // Two programs of one workstation sending the same journal take turns, so each sees what
    // the other sent.
    c.execParams("SELECT pg_advisory_xact_lock(hashtext($1 || '/' || $2))", key);
    PgResult counted = c.execParams("SELECT count(*), coalesce(max(entry_id), 0) FROM "
                                    "journal_entries WHERE workstation = $1 AND journal_id = $2",
                                    key);
    const int64_t serverCount = counted.int8(0, 0);
    if (static_cast<int64_t>(workspace.EntryCount()) == serverCount)
        return 0; // both append-only and the server's from here alone: in step
    std::set<int64_t> held;
    {
        PgResult ids = c.execParams(
            "SELECT entry_id FROM journal_entries WHERE workstation = $1 AND journal_id = $2",
            key);
        for (int i = 0; i < ids.rows(); ++i)
            held.insert(ids.int8(i, 0));
    }
    // An entry left pending by a killed program becomes done later with a lower id than
    // entries already sent: the ids the server lacks decide, not the highest id it has.
    ws::JournalFilter bare;
    bare.withItems = false;
    std::set<int64_t> missing;
    int64_t since = -1;
    for (const ws::JournalEntry& e : workspace.Query(bare))
        if (!held.count(e.id)) {
            missing.insert(e.id);
            since = since < 0 ? e.time : std::min(since, e.time);
        }
    if (missing.empty())
        return 0;
    ws::JournalFilter full;
    full.since = since;
    PgBinaryCopy entries, items, fields;
    bool anyItem = false, anyField = false;
    int sent = 0;
    for (const ws::JournalEntry& e : workspace.Query(full)) {
        if (!missing.count(e.id))
            continue;
        entries.beginRow(9);
        entries.field(workstation);
        entries.field(journal);
        entries.fieldInt8(e.id);
        entries.fieldInt8((e.time - kPgEpochOffset) * 1000000);
        entries.field(serverText(e.user));
        entries.field(serverText(e.workstation));
        entries.field(serverText(e.command));
        entries.field(serverText(e.summary));
        entries.field(serverText(e.reason));
        for (std::size_t n = 0; n < e.items.size(); ++n) {
            const ws::JournalItem& item = e.items[n];
            items.beginRow(14);
            items.field(workstation);
            items.field(journal);
            items.fieldInt8(e.id);
            items.fieldInt4(static_cast<int32_t>(n));
            items.field(ws::ItemChangeName(item.change));
            items.fieldInt4(static_cast<int32_t>(item.level));
            items.field(serverText(item.customer));
            items.field(serverText(item.cable));
            items.field(serverText(item.set));
            items.field(serverText(item.contentKey));
            items.field(serverText(item.newKey));
            items.field(serverText(item.newName));
            items.fieldInt8(static_cast<int64_t>(item.stateHash));
            items.fieldInt8(static_cast<int64_t>(item.count));
            anyItem = true;
            for (std::size_t k = 0; k < item.fields.size(); ++k) {
                const ws::FieldChange& f = item.fields[k];
                fields.beginRow(8);
                fields.field(workstation);
                fields.field(journal);
                fields.fieldInt8(e.id);
                fields.fieldInt4(static_cast<int32_t>(n));
                fields.fieldInt4(static_cast<int32_t>(k));
                fields.field(serverText(f.field));
                fields.field(serverText(f.before));
                fields.field(serverText(f.after));
                anyField = true;
            }
        }
        ++sent;
    }
    if (sent == 0)
        return 0;
    entries.finish();
    c.beginCopy("COPY journal_entries (workstation, journal_id, entry_id, entry_time, os_user, "
                "made_on, command, summary, reason) FROM STDIN (FORMAT binary)");
    c.putCopyData(entries.data());
    c.endCopy();
    if (anyItem) {
        items.finish();
        c.beginCopy("COPY journal_items (workstation, journal_id, entry_id, item_no, change, "
                    "level, customer, cable, set_name, content_key, new_key, new_name, "
                    "state_hash, record_count) FROM STDIN (FORMAT binary)");
        c.putCopyData(items.data());
        c.endCopy();
    }
    if (anyField) {
        fields.finish();
        c.beginCopy("COPY journal_fields (workstation, journal_id, entry_id, item_no, field_no, "
                    "field, value_before, value_after) FROM STDIN (FORMAT binary)");
        c.putCopyData(fields.data());
        c.endCopy();
    }
    t.commit();
    return sent;
}

int PushStoreJournal(PgConnection& c, const std::string& storePath,
                     const std::string& workstation, std::string& problem)
{
    ws::Workspace workspace;
    try {
        const ws::OpenOutcome opened = workspace.Open(storePath, false);
        if (opened.status == ws::OpenStatus::Missing)
            return 0;
        if (!opened.usable()) {
            problem = "変更履歴を読み込めないため、共有データベースに送信しませんでした\n" +
                      (opened.error.empty() ? ws::WorkspacePathFor(storePath) : opened.error);
            return 0;
        }
        return PushJournal(c, workspace, workstation);
    } catch (const sqlite::Error& e) {
        problem = std::string("変更履歴を読み込めないため、共有データベースに送信しませんでした\n") +
                  e.what();
        return 0;
    }
}

std::vector<SharedJournalEntry> ReadSharedJournal(PgConnection& c, const SharedJournalFilter& f)
{
    const Chosen chosen = choose(f);
    std::vector<SharedJournalEntry> list;
    std::map<EntryKey, std::size_t> at;
    PgResult r = c.execParams(
        chosen.with +
            "SELECT e.workstation, e.journal_id, e.entry_id, "
            "extract(epoch FROM e.entry_time)::bigint, e.os_user, e.made_on, e.command, "
            "e.summary, e.reason FROM journal_entries e JOIN chosen USING (workstation, "
            "journal_id, entry_id) ORDER BY e.entry_time, e.workstation, e.journal_id, "
            "e.entry_id",
        chosen.params);
    for (int i = 0; i < r.rows(); ++i) {
        SharedJournalEntry s;
        s.workstation = r.bytes(i, 0);
        s.journalId = r.bytes(i, 1);
        s.entry.id = r.int8(i, 2);
        s.entry.time = r.int8(i, 3);
        s.entry.user = r.bytes(i, 4);
        s.entry.workstation = r.bytes(i, 5);
        s.entry.command = r.bytes(i, 6);
        s.entry.summary = r.bytes(i, 7);
        s.entry.reason = r.bytes(i, 8);
        at[{s.workstation, s.journalId, s.entry.id}] = list.size();
        list.push_back(std::move(s));
    }
    if (!f.withItems || list.empty())
        return list;
    PgResult items = c.execParams(
        chosen.with +
            "SELECT i.workstation, i.journal_id, i.entry_id, i.change, i.level, i.customer, "
            "i.cable, i.set_name, i.content_key, i.new_key, i.new_name, i.state_hash, "
            "i.record_count FROM journal_items i JOIN chosen USING (workstation, journal_id, "
            "entry_id) ORDER BY i.workstation, i.journal_id, i.entry_id, i.item_no",
        chosen.params);
    for (int i = 0; i < items.rows(); ++i) {
        const auto found = at.find({items.bytes(i, 0), items.bytes(i, 1), items.int8(i, 2)});
        if (found == at.end())
            continue;
        ws::JournalItem item;
        ws::ParseItemChange(items.bytes(i, 3), item.change);
        item.level = static_cast<ws::ItemLevel>(items.int4(i, 4));
        item.customer = items.bytes(i, 5);
        item.cable = items.bytes(i, 6);
        item.set = items.bytes(i, 7);
        item.contentKey = items.bytes(i, 8);
        item.newKey = items.bytes(i, 9);
        item.newName = items.bytes(i, 10);
        item.stateHash = static_cast<uint64_t>(items.int8(i, 11));
        item.count = static_cast<std::size_t>(items.int8(i, 12));
        list[found->second].entry.items.push_back(std::move(item));
    }
    PgResult fields = c.execParams(
        chosen.with +
            "SELECT f.workstation, f.journal_id, f.entry_id, f.item_no, f.field, f.value_before, "
            "f.value_after FROM journal_fields f JOIN chosen USING (workstation, journal_id, "
            "entry_id) ORDER BY f.workstation, f.journal_id, f.entry_id, f.item_no, f.field_no",
        chosen.params);
    for (int i = 0; i < fields.rows(); ++i) {
        const auto found = at.find({fields.bytes(i, 0), fields.bytes(i, 1), fields.int8(i, 2)});
        if (found == at.end())
            continue;
        std::vector<ws::JournalItem>& owned = list[found->second].entry.items;
        const auto n = static_cast<std::size_t>(fields.int4(i, 3));
        if (n < owned.size())
            owned[n].fields.push_back({fields.bytes(i, 4), fields.bytes(i, 5), fields.bytes(i, 6)});
    }
    return list;
}

SharedJournalResult ReadSharedJournal(const DbSettings& settings, const SharedJournalFilter& f)
{
    SharedJournalResult result;
    try {
        PgConnection c(settings.params, settings.timeoutSeconds);
        result.entries = ReadSharedJournal(c, f);
        result.ok = true;
    } catch (const PgError& e) {
        result.message = FailureMessage(settings, e);
    }
    return result;
}

} // namespace shareddb
