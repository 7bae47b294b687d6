// The commands that change the customer tree. Every user action that changes names, records,
// conditions or criteria of a tree is one of the command values below, carried out by Run:
// the edit page (through its model), the dialogs it opens, the import and mxrtool all go
// through it. Run reports each change it made, once, to an optional observer, so that a
// journal or an undo stack can be hooked there without touching the callers.
//
// Commands address entries by name (customer, cable, set) rather than by list position:
// names are what a journal entry keeps, and a position moves when a sibling is added.
// Commands never ask or show anything; a refusal comes back as a status value.
//
// A set can be locked (an approved set): Run then refuses every command that would change its
// measurements, conditions or name, or remove it, and RecalculateAll passes it by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "commands/setedits.h"
#include "exchange/exchangetree.h"
#include "exchange/importmerge.h"
#include "model/customerdb.h"

namespace cmd {

// The three name levels of the tree.
enum class Level : int { Customer = 0, Cable = 1, Set = 2 };

// The byte limit of a name on each level: 40 for customers, 26 below.
int NameLimit(Level level);

// An entry by its names; the levels below the one addressed stay empty.
struct TreePath {
    std::string customer, cable, set; // CP932

    bool operator==(const TreePath&) const = default;
};

// ---- The commands -------------------------------------------------------------------------

// A new empty entry `name` on `level` below `parent` (a customer needs no parent).
struct AddName {
    Level level;
    TreePath parent;
    std::string name;
};
// Renames the entry at `path` on `level`; it moves, with everything below it, to its sorted
// place.
struct RenameName {
    Level level;
    TreePath path;
    std::string name;
};
// Removes the entry at `path` on `level` with everything below it.
struct RemoveName {
    Level level;
    TreePath path;
};
// Removes measurement `index` of the set and recomputes the set's ratios.
struct RemoveMeasurement {
    TreePath set;
    std::size_t index = 0;
};

// The fields of a measurement that the measurement list edits in place.
enum class MeasField : int { Date, Time, TestVoltage, TriggerLevel, SeikyokuRatio, JyakutenRatio };

// Measurement `index` of the set takes `record` (the caller's edited copy of it). A new test
// voltage moves the record to its sorted place; a voltage edit recomputes the set's ratios.
struct EditMeasurement {
    TreePath set;
    std::size_t index = 0;
    MeasField field = MeasField::Date;
    CMeasRecord record;
};
// The two judgment display switches of measurement `index`; the triggers are recomputed with
// the chosen final point kept, then the set's ratios.
struct SetMeasurementDisplay {
    TreePath set;
    std::size_t index = 0;
    int32_t showSeikyoku = 1;
    int32_t showJyakuten = 1;
    int triggValidSec = 10;
};
// The set's condition block (row `field` of the condition table was edited): every record of
// the set takes `condition`.
struct EditCondition {
    TreePath set;
    int field = 0;
    CTestCondition condition;
};
// The criteria dialog's OK: limits into the set's records, flags into the set (ApplyJudgParams).
struct SetCriteria {
    TreePath set;
    JudgParams params;
};
// "過去データにも適応する": the two display switches into every record of the set.
struct ApplyDisplayToRecords {
    TreePath set;
    int32_t showSeikyoku = 1;
    int32_t showJyakuten = 1;
};
// The final value selection: measurement `index` takes the edited points, and point
// `finalIndex` (-1: none) becomes its last used one.
struct ChooseFinalValue {
    TreePath set;
    std::size_t index = 0;
    std::vector<CMeasPoint> points;
    int finalIndex = -1;
    int triggValidSec = 10;
};
// Received records into the set (optionally emptied first), all taking `condition`.
struct RegisterReceived {
    TreePath set;
    std::vector<CMeasRecord> records;
    CTestCondition condition;
    bool replaceExisting = false;
};
// The checked part of an export file's tree merged in at `destination` (MergeImport). The
// questions about name conflicts go to `questions`; a declined import changes nothing.
struct ImportMerge {
    ExchangeNode destination;
    const CCustomerDB* imported = nullptr;
    int fileLevel = 0;
    LevelTitles titles;
    CImportQuestions* questions = nullptr;
};
// Final values, triggers and ratios of every record recomputed with the trigger setting.
struct RecalculateAll {
    int triggValidSec = 10;
};

using Command =
    std::variant<AddName, RenameName, RemoveName, RemoveMeasurement, EditMeasurement,
                 SetMeasurementDisplay, EditCondition, SetCriteria, ApplyDisplayToRecords,
                 ChooseFinalValue, RegisterReceived, ImportMerge, RecalculateAll>;

// ---- What a command did -------------------------------------------------------------------

enum class Kind {
    AddName,
    RenameName,
    RemoveName,
    RemoveMeasurement,
    EditMeasurement,
    SetMeasurementDisplay,
    EditCondition,
    SetCriteria,
    ApplyDisplayToRecords,
    ChooseFinalValue,
    RegisterReceived,
    ImportMerge,
    RecalculateAll,
};

// A short English name of the kind ("rename-name"), for logs and journal entries.
const char* KindName(Kind kind);

// One change to the tree, as the observer receives it.
struct Change {
    Kind kind = Kind::AddName;
    Level level = Level::Set; // the level of the entry touched
    TreePath path;            // the entry touched (for a rename: its old names)
    std::string newName;      // AddName, RenameName: the name it has now
    // The measurement positions touched, as they were before the change (RemoveMeasurement,
    // EditMeasurement, SetMeasurementDisplay, ChooseFinalValue); for RegisterReceived the
    // positions the new records took.
    std::vector<std::size_t> indices;
    // EditMeasurement: MeasField; EditCondition: the table row; ImportMerge: the destination
    // node's ExchangeNode level (path: its names).
    int field = -1;
    std::size_t count = 0; // records added (RegisterReceived) or removed with an entry
};

// Which sets may not change: Run asks it before a command changes a set, renames or removes
// an entry that holds one, or merges an import over one.
class Locks {
public:
    virtual ~Locks() = default;
    // Whether the set at the path (customer, cable, set) is locked.
    virtual bool IsLocked(const TreePath& set) const = 0;
};

// A list of locked sets; names compare as the tree compares them (CompareNames).
class LockedSets : public Locks {
public:
    LockedSets() = default;
    explicit LockedSets(std::vector<TreePath> sets) : m_sets(std::move(sets)) {}
    void Add(TreePath set) { m_sets.push_back(std::move(set)); }
    bool IsLocked(const TreePath& set) const override;
    const std::vector<TreePath>& Sets() const { return m_sets; }

private:
    std::vector<TreePath> m_sets;
};

class ChangeObserver {
public:
    virtual ~ChangeObserver() = default;
    // Called after the tree changed, once per command that changed it.
    virtual void TreeChanged(const CCustomerDB& tree, const Change& change) = 0;
};

// Keeps every change it is told, in order: the changes of one user action (a sheet's OK).
class ChangeList : public ChangeObserver {
public:
    void TreeChanged(const CCustomerDB&, const Change& change) override
    {
        changes.push_back(change);
    }
    std::vector<Change> changes;
};

enum class Status {
    Done,
    Unchanged,     // the command found nothing to change (the value was there already)
    NotFound,      // the path or the measurement index names nothing
    NameExists,    // a sibling has the name
    NameTooLong,   // over NameLimit bytes
    Declined,      // the import's questions were answered No
    ImportRefused, // the import's checks failed: see importStatus
    Approved,      // the command would change a locked (approved) set: see locked
};

struct Outcome {
    Status status = Status::Done;
    // AddName, RenameName: the entry's position among its siblings now; EditMeasurement: the
    // record's position now; otherwise -1.
    int position = -1;
    // SetCriteria, ApplyDisplayToRecords: what changed in the set.
    JudgParamChange criteria;
    // ImportMerge: MergeImport's status.
    ImportStatus importStatus = ImportStatus::Done;
    // Approved: the locked set that refused the command.
    TreePath locked;
    // RecalculateAll: the locked sets it passed by.
    std::size_t skippedSets = 0;

    bool done() const { return status == Status::Done; }
};

// Carries out the command on the tree; on Done tells the observer (when there is one) what
// changed. Anything but Done leaves the tree as it was. With locks, a command that would
// change a locked set is refused (Status::Approved), and RecalculateAll leaves locked sets as
// they are.
Outcome Run(CCustomerDB& tree, const Command& command, ChangeObserver* observer = nullptr,
            const Locks* locks = nullptr);

// The set at a path, or nullptr.
CMeasData* FindSet(CCustomerDB& tree, const TreePath& path);

} // namespace cmd
