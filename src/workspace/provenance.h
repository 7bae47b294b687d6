// Provenance: the link of each record registered from a serial reception back to the lines of
// the reception's archive it was decoded from (DATA/received/), and the check of a stored
// record against those lines: decoded again and compared, with the differences that journaled
// commands of this program explain set apart from the others.
//
// The link is a row of the workspace database per registration of a record: its content key,
// the archive file (relative to the store's folder where it lies below it), the first line and
// the line count of the record in it, the SHA-256 of those lines, the reception's time, and the
// record as it was registered (its conditions and final value, which the reception does not
// carry and the registration gave it). Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "link/receivedrecord.h"
#include "link/receptionworker.h"
#include "model/customerdb.h"
#include "workspace/journalentry.h"
#include "workspace/sqlitedb.h"

namespace ws {

class Workspace;

// Creates the provenance table and its index when they are not there (idempotent; run at
// every open of a workspace, and by the functions below before they use the table).
void CreateProvenanceTable(sqlite::Db& db);

// A received record's place in its archive, as the reception knows it before registration.
struct ReceivedLink {
    std::string contentKey;  // KeyText of the received record
    std::string archivePath; // the archive file, native path as the reception wrote it
    int firstLine = 0;       // counting from 1
    int lineCount = 0;
    int64_t receivedAt = 0; // seconds since the epoch: the end of the reception
};

// The links of a reception's records (ReceptionWorker::TakeRecords, RecordSpans, ArchivePath);
// empty when the reception wrote no archive or the spans do not match the records.
std::vector<ReceivedLink> LinksOf(const std::vector<ReceivedRecord>& records,
                                  const std::vector<ArchiveSpan>& spans,
                                  const std::string& archivePath, int64_t receivedAt);

// One stored link.
struct Provenance {
    int64_t id = 0;
    std::string contentKey;
    std::string archive; // as stored: relative to the store's folder, or absolute (UTF-8)
    int firstLine = 0;
    int lineCount = 0;
    std::string sha256; // 64 lower-case hex digits of the lines' bytes
    int64_t receivedAt = 0;
    int64_t registeredAt = 0;
    // The newest journal entry when the link was written (the registration's own): later
    // entries are the changes that may explain a difference.
    int64_t journalId = 0;
    std::string customer, cable, set; // UTF-8, where it was registered
    std::string record;               // the record as registered (recordcodec::EncodeRecord)
};

// The archive path of a link as the store's folder sees it (absolute, native).
std::string ArchiveOnDisk(const Provenance& p, const std::string& storePath);

// Writes the links of the records of tree (as saved) that came from links: each link goes to
// the first record of its content key in set `set`, else anywhere in the tree (a set renamed
// after the registration). The archive's lines are read and hashed now, and a record whose
// lines do not decode again to its content key gets no link. Returns how many links were
// written.
int RecordProvenance(Workspace& workspace, const std::string& storePath, const CCustomerDB& tree,
                     const cmd::TreePath& set, const std::vector<ReceivedLink>& links, int64_t now);
// The same into the workspace beside the store, when it has one (after a journaled save it
// does); failures are swallowed: the records then have no link, which verification tells.
int RecordProvenanceFor(const std::string& storePath, const CCustomerDB& tree,
                        const std::vector<ReceivedLink>& links, int64_t now);

// Every stored link of a content key, the newest first.
std::vector<Provenance> ProvenanceOf(sqlite::Db& db, const std::string& contentKey);

// ---- Verification -------------------------------------------------------------------------

enum class VerifyState {
    Match,      // 一致: as received (differences only where journaled commands explain them)
    Changed,    // 変更あり
    NoReception // 受信記録なし
};

enum class NoReceptionReason {
    None,
    NoLink,         // the record has no link (not registered from a reception here)
    ArchiveMissing, // the archive file is gone
    ArchiveDamaged, // lines missing, their digest differs, or they no longer decode
};

// "一致", "変更あり", "受信記録なし" (UTF-8).
const char* StateText(VerifyState state);
// "match", "changed", "no-reception" for JSON.
const char* StateName(VerifyState state);
// "no-link", "archive-missing", "archive-damaged" ("" for None).
const char* ReasonName(NoReceptionReason reason);
// The reason for the user (UTF-8): "受信元の記録がありません" ...
std::string ReasonText(NoReceptionReason reason);

struct RecordVerdict {
    std::string customer, cable, set; // UTF-8
    std::size_t index = 0;            // the record's position in its set
    std::string contentKey;
    VerifyState state = VerifyState::NoReception;
    NoReceptionReason reason = NoReceptionReason::NoLink;
    std::string detail;                 // UTF-8: what was damaged, the decoder's message
    std::vector<FieldChange> changed;   // differences nothing explains (Changed)
    std::vector<FieldChange> explained; // differences journaled commands made
    std::optional<Provenance> source;   // the link used, where one was found
};

// The verdicts of the records of tree within scope (CP932 names; empty levels: all), in tree
// order. workspace may be null or closed: every record then has no link.
std::vector<RecordVerdict> VerifyRecords(Workspace* workspace, const std::string& storePath,
                                         const CCustomerDB& tree, const cmd::TreePath& scope,
                                         int triggValidSec = 10);

// The verdict of one record of the tree.
RecordVerdict VerifyRecord(Workspace* workspace, const std::string& storePath,
                           const CCustomerDB& tree, const cmd::TreePath& set, std::size_t index,
                           int triggValidSec = 10);

// How many verdicts have each state.
struct VerifyCounts {
    int match = 0, changed = 0, noReception = 0;
};
VerifyCounts CountVerdicts(const std::vector<RecordVerdict>& verdicts);

} // namespace ws
