// What the change journal keeps: one entry per user action that changed the store (or the
// approvals), each with the items it touched and their values before and after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ws {

// What happened to one item.
enum class ItemChange { Added, Removed, Changed, Renamed };
const char* ItemChangeName(ItemChange change); // "added", "removed", "changed", "renamed"
bool ParseItemChange(const std::string& text, ItemChange& change);

// The level of the item: a name of the tree or one measurement.
enum class ItemLevel : int { Customer = 0, Cable = 1, Set = 2, Record = 3 };

// One value of a record or a set that differs, as the user reads it (UTF-8).
struct FieldChange {
    std::string field; // the label ("試験電圧", "判定基準 最終値 上限" ...)
    std::string before, after;

    bool operator==(const FieldChange&) const = default;
};

struct JournalItem {
    ItemChange change = ItemChange::Changed;
    ItemLevel level = ItemLevel::Record;
    // The names above and of the item (UTF-8); the levels below the item stay empty. A name
    // item names the entry as it was before the change; a record item names its set as it is
    // after the renames of the same entry (which come first in the entry's items).
    std::string customer, cable, set;
    // Records: the content key (hex) before the change (Added: the new record's key).
    std::string contentKey;
    // Records: the key after the change where an edit changed it (date, voltage, points).
    std::string newKey;
    // Renamed: the new name (UTF-8).
    std::string newName;
    // Changed: what differs.
    std::vector<FieldChange> fields;
    // Records (Added, Changed): the hash of the record's state after the change.
    uint64_t stateHash = 0;
    // Names (Added, Removed): the records below the entry.
    std::size_t count = 0;

    bool operator==(const JournalItem&) const = default;
};

// Kinds of entries that are not commands of the tree (cmd::KindName gives the others).
namespace kind {
inline constexpr const char* External = "external-change"; // 外部で変更: found at load
inline constexpr const char* Restore = "restore";          // a backup restored
inline constexpr const char* Pull = "pull";                // from the shared database
inline constexpr const char* Undo = "undo";
inline constexpr const char* Redo = "redo";
inline constexpr const char* Approve = "approve";
inline constexpr const char* Withdraw = "withdraw-approval";
inline constexpr const char* Start = "journal-start"; // the store as the journal first saw it
inline constexpr const char* Receive = "receive-register"; // filed by mxrtool receive --register
inline constexpr const char* RegisterEdit = "register-edit";     // a cable register entry edited
inline constexpr const char* RegisterImport = "register-import"; // the cable register from CSV
} // namespace kind

struct JournalEntry {
    int64_t id = 0;   // ascending in the order of the changes
    int64_t time = 0; // seconds since the epoch
    std::string user, workstation; // UTF-8
    std::string command; // cmd::KindName or one of kind::
    std::string summary; // the step's name for the user (UTF-8): "測定データ 3 件の登録"
    std::string reason;  // a withdrawal's reason, a restore's backup name ...
    std::vector<JournalItem> items;

    bool operator==(const JournalEntry&) const = default;
};

// Which entries a query returns. Names are UTF-8; an empty name matches any. An entry
// matches when one of its items lies at or below the names given.
struct JournalFilter {
    std::string customer, cable, set;
    std::string contentKey; // an item of this record (before or after key)
    int64_t since = 0;      // time >= since (0: any)
    int64_t until = 0;      // time < until (0: any)
    std::size_t limit = 0;  // the newest `limit` entries (0: all)
    bool withItems = true;
};

// The user and workstation that make a change (UTF-8): the login name, and the workstation
// setting or else the host name.
struct Actor {
    std::string user, workstation;
};
Actor CurrentActor(const std::string& workstationSetting = {});

} // namespace ws
