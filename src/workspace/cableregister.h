// The cable register: what the office knows of each cable beyond its measurements (where it
// lies, its voltage class, type, size, length, year laid, importance, retest interval, who looks
// after it), kept in the workspace database beside the store. The store file is not touched.
//
// An entry is keyed by the tree's CP932 names of customer and cable, compared as the tree
// compares names (ASCII letters folded), and keeps the names as the tree spelt them when it
// was last written. Every write replaces the whole entry and keeps the entry it replaced in
// cable_register_old, so no revision is ever lost (a later sync keeps the losing side there).
// A customer's default retest interval lives in its own small table, each setting stamped with
// who wrote it and when (a cleared one stays as a row without an interval), and the setting it
// replaced kept in customer_register_old.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "workspace/journalentry.h"
#include "workspace/sqlitedb.h"

class CCustomerDB;

namespace ws {

class Workspace;

struct CableRegisterEntry {
    std::string customer, cable;         // CP932, as the tree spells them
    std::string location;                // 設置場所/系統 (UTF-8)
    std::optional<double> voltageKv;     // 電圧階級, kV
    std::string cableType;               // ケーブル種類 (UTF-8: "CV", "CVT", …)
    std::optional<double> crossSection;  // 導体断面, sq (mm²)
    std::optional<double> lengthM;       // 亘長, m
    std::optional<int> installYear;      // 布設年
    std::string importance;              // 重要度: "A", "B", "C" or empty
    std::optional<int> intervalMonths;   // 試験周期; empty: the customer's or the global default
    std::string person;                  // 担当 (UTF-8)
    std::string remarks;                 // 備考 (UTF-8)
    // Who wrote this revision, and when (seconds since the epoch).
    int64_t modified = 0;
    std::string user, workstation;

    bool operator==(const CableRegisterEntry&) const = default;
};

// Creates the register's tables where they are missing (idempotent).
void CreateCableRegisterTables(sqlite::Db& db);

// The values the register's number fields take (inclusive), in the dialog and in CSV.
namespace registerlimits {
inline constexpr double kVoltageMax = 1000;    // kV
inline constexpr double kSectionMax = 10000;   // sq
inline constexpr double kLengthMax = 1000000;  // m
inline constexpr int kYearMin = 1900, kYearMax = 2100;
inline constexpr int kIntervalMin = 1, kIntervalMax = 240; // months
} // namespace registerlimits

// The cable types offered before the user added any (in this order).
inline constexpr const char* kDefaultCableTypes[] = {"CV", "CVT", "CE", "CET", "OF", "EV"};

// The register's fields as the user reads them (UTF-8 labels, numbers in their shortest
// form, empty for no value), each pair that differs between before and after.
std::vector<FieldChange> RegisterDifferences(const CableRegisterEntry& before,
                                             const CableRegisterEntry& after);
// A number of the register as it is shown and written to CSV: up to 15 significant digits,
// no trailing zeros ("6.6", "325", "0.55").
std::string RegisterNumberText(double v);

// Carries the register along one name item of a journal entry that became done (called by
// the workspace in the transaction that makes the entry done, so the tree's change and the
// register's are one): a cable or customer renamed carries its entries, one removed removes
// them (kept in cable_register_old), and a cable that an undo or redo brings back gets back
// the entry its removal took away. Record items and other changes are left alone. A failure
// leaves the register as it was (the entry is then listed among the orphans).
void CarryRegister(Workspace& workspace, const std::string& command, const JournalItem& item,
                   const Actor& actor, int64_t now);

// Cross-section and length as the cable's latest measurement data set records them in its
// condition block (the set holding the latest start time; its latest record's conditions), for
// the register to propose while its own fields are empty. A value of 0 or less is not one.
struct RegisterProposal {
    std::optional<double> crossSection, lengthM;
    std::string set; // the set they come from (CP932)
};
RegisterProposal ProposeFromConditions(const CCustomerDB& tree, const std::string& customer,
                                       const std::string& cable);

// The key a name is compared by: its bytes with the ASCII letters folded to lower case, as the
// tree's CompareNames folds them.
std::string RegisterNameKey(const std::string& name);

class CableRegister {
public:
    // The workspace must be open and stay open while this object is used.
    explicit CableRegister(Workspace& workspace);

    std::optional<CableRegisterEntry> Find(const std::string& customer,
                                           const std::string& cable) const;
    // Every entry, by customer and cable key.
    std::vector<CableRegisterEntry> List() const;
    // Writes the entry (inserted or replacing the one of the same names; a replaced entry is
    // kept in cable_register_old). modified/user/workstation are taken from actor and now.
    void Put(CableRegisterEntry entry, const Actor& actor, int64_t now);
    // Removes the entry of the cable, keeping it in cable_register_old. False when none.
    bool Remove(const std::string& customer, const std::string& cable, const Actor& actor,
                int64_t now);
    // Carries the entry to new names (a cable renamed or moved; a customer renamed carries
    // all its cables with RenameCustomer). False when there was no entry, or when an entry
    // already holds the new names (it is left as it is and nothing moves).
    bool Rename(const std::string& customer, const std::string& cable,
                const std::string& newCustomer, const std::string& newCable, const Actor& actor,
                int64_t now);
    // Carries every entry of a customer and its default interval to the new name. Returns the
    // number of cable entries carried.
    int RenameCustomer(const std::string& customer, const std::string& newCustomer,
                       const Actor& actor, int64_t now);
    // Revisions that were replaced or removed, newest first (for the register's history and a
    // sync's losing side).
    std::vector<CableRegisterEntry> OldRevisions(const std::string& customer,
                                                 const std::string& cable) const;

    // A customer's default retest interval (months); empty when not set.
    std::optional<int> CustomerInterval(const std::string& customer) const;
    // Sets or clears it as written by actor at now; the setting replaced is kept in
    // customer_register_old.
    void SetCustomerInterval(const std::string& customer, std::optional<int> months,
                             const Actor& actor = {}, int64_t now = 0);

    // ---- Journaled edits (the user's) ------------------------------------------------------
    // Writes the entry as Put does, with a journal entry (kind::RegisterEdit, one cable item
    // whose fields are RegisterDifferences) in the same transaction; a cable type not yet in
    // the list is added to it. False, and nothing written, when no field differs from the
    // entry there (or, for a cable without one, when every field is empty). A new entry's
    // item starts with the field "ケーブル台帳" going from "" to "登録".
    bool Edit(const CableRegisterEntry& entry, const Actor& actor, int64_t now);
    // Writes each entry that differs from the register's or is new (even with every field
    // empty: the cable is then registered), all in one transaction with one
    // journal entry of the command (one cable item per entry written). Returns the number
    // written (none: nothing, not even the journal entry).
    int EditMany(const std::vector<CableRegisterEntry>& entries, const char* command,
                 const std::string& summary, const Actor& actor, int64_t now);
    // Removes the entry with a journal entry, as Edit. False when there was none.
    bool EditRemove(const std::string& customer, const std::string& cable, const Actor& actor,
                    int64_t now);
    // Sets a customer's default interval with a journal entry (a customer item, field
    // "試験周期（既定）"). False when it was already so.
    bool EditCustomerInterval(const std::string& customer, std::optional<int> months,
                              const Actor& actor, int64_t now);

    // Edit and EditCustomerInterval (of the entry's customer) in one transaction: both or
    // neither. True when either wrote.
    bool EditWithCustomer(const CableRegisterEntry& entry, std::optional<int> customerMonths,
                          const Actor& actor, int64_t now);

    // Entries whose cable the tree does not hold (under its customer): listed for the user,
    // never removed on their own.
    std::vector<CableRegisterEntry> Orphans(const CCustomerDB& tree) const;

    // ---- For the shared database's sync ------------------------------------------------------
    // A cable's newest revision: its entry, or (removed) the entry its removal took away, with
    // who removed it and when as modified/user/workstation.
    struct Revision {
        CableRegisterEntry entry;
        bool removed = false;
    };
    // The newest revision of every cable the register knows (entries, then removals of
    // cables without an entry now).
    std::vector<Revision> Revisions() const;
    // Takes another's revision as this cable's newest: the entry there now is kept in
    // cable_register_old (how "sync"); a removal is kept with who removed it and when, so
    // that Revisions gives it back unchanged. The entry's modified/user/workstation are kept.
    void ApplyRevision(const Revision& revision);

    // A customer's interval setting with who wrote it and when (intervalMonths empty: cleared).
    struct CustomerRevision {
        std::string customer; // CP932, as the tree spells it
        std::optional<int> intervalMonths;
        int64_t modified = 0;
        std::string user, workstation;
        bool operator==(const CustomerRevision&) const = default;
    };
    std::optional<CustomerRevision> CustomerRevisionOf(const std::string& customer) const;
    // Every customer's newest setting, by customer key.
    std::vector<CustomerRevision> CustomerRevisions() const;
    // Settings that were replaced, newest first.
    std::vector<CustomerRevision> OldCustomerRevisions(const std::string& customer) const;
    // Takes another's setting as the customer's newest, its stamp kept; the one here goes to
    // customer_register_old (how "sync").
    void ApplyCustomerRevision(const CustomerRevision& revision);

    // ---- Cable types -----------------------------------------------------------------------
    // The defaults, then the types the user added, in the order added.
    std::vector<std::string> CableTypes() const;
    // Adds a type (UTF-8, trimmed by the caller). False when empty or already listed (ASCII
    // letters compared folded).
    bool AddCableType(const std::string& type);
    // The types the user added (no defaults), in the order added.
    std::vector<std::string> AddedCableTypes() const;

private:
    void writeCustomer(const CustomerRevision& r, const Actor& by, int64_t now, const char* why);

    Workspace& m_ws;
};

} // namespace ws
