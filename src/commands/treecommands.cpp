// The tree commands: one function per command, reached through Run.
#include "commands/treecommands.h"

#include <type_traits>
#include <utility>

#include "commands/transferreg.h"

namespace cmd {

int NameLimit(Level level)
{
    return level == Level::Customer ? 40 : 26;
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::AddName: return "add-name";
    case Kind::RenameName: return "rename-name";
    case Kind::RemoveName: return "remove-name";
    case Kind::RemoveMeasurement: return "remove-measurement";
    case Kind::EditMeasurement: return "edit-measurement";
    case Kind::SetMeasurementDisplay: return "set-measurement-display";
    case Kind::EditCondition: return "edit-condition";
    case Kind::SetCriteria: return "set-criteria";
    case Kind::ApplyDisplayToRecords: return "apply-display-to-records";
    case Kind::ChooseFinalValue: return "choose-final-value";
    case Kind::RegisterReceived: return "register-received";
    case Kind::ImportMerge: return "import-merge";
    case Kind::RecalculateAll: return "recalculate-all";
    }
    return "unknown";
}

bool LockedSets::IsLocked(const TreePath& set) const
{
    for (const TreePath& p : m_sets)
        if (CompareNames(p.customer, set.customer) == 0 && CompareNames(p.cable, set.cable) == 0 &&
            CompareNames(p.set, set.set) == 0)
            return true;
    return false;
}

namespace {

CCustomer* findCustomer(CCustomerDB& tree, const TreePath& p)
{
    const int c = tree.customers.Find(p.customer);
    return c < 0 ? nullptr : &tree.customers.At(c);
}

CCable* findCable(CCustomerDB& tree, const TreePath& p)
{
    CCustomer* customer = findCustomer(tree, p);
    const int k = customer ? customer->cables.Find(p.cable) : -1;
    return k < 0 ? nullptr : &customer->cables.At(k);
}

std::size_t recordsBelow(const CMeasData& set)
{
    return set.RecordCount();
}
std::size_t recordsBelow(const CCable& cable)
{
    std::size_t n = 0;
    for (int i = 0; i < cable.sets.Count(); ++i)
        n += recordsBelow(cable.sets.At(i));
    return n;
}
std::size_t recordsBelow(const CCustomer& customer)
{
    std::size_t n = 0;
    for (int i = 0; i < customer.cables.Count(); ++i)
        n += recordsBelow(customer.cables.At(i));
    return n;
}

// Runs `f` on the named list that holds the entries of `level` below the path's parents,
// with the entry's own name at that level; NotFound when a parent is missing.
template <class F> auto withSiblings(CCustomerDB& tree, Level level, const TreePath& path, F f)
{
    switch (level) {
    case Level::Customer: return f(tree.customers, path.customer);
    case Level::Cable: {
        CCustomer* c = findCustomer(tree, path);
        return c ? f(c->cables, path.cable) : Outcome{Status::NotFound};
    }
    case Level::Set: {
        CCable* k = findCable(tree, path);
        return k ? f(k->sets, path.set) : Outcome{Status::NotFound};
    }
    }
    return Outcome{Status::NotFound};
}

// Renames position `row` of a named list: in place when the order stays, otherwise by moving
// the entry (with everything below it) to its new sorted place. Returns the new position.
template <class T> int renameIn(CNamedList<T>& list, int row, const std::string& name)
{
    const bool staysPut =
        (row == 0 || CompareNames(list.At(row - 1).name, name) < 0) &&
        (row + 1 >= list.Count() || CompareNames(name, list.At(row + 1).name) < 0);
    if (staysPut) {
        list.At(row).name = name;
        return row;
    }
    T moved = list.At(row);
    list.RemoveAt(row);
    const int at = list.FindOrInsert(name);
    moved.name = name;
    list.At(at) = std::move(moved);
    return at;
}

// The set of a command and the measurement index in it, checked.
struct SetAndIndex {
    CMeasData* set = nullptr;
    bool ok = false;
};
SetAndIndex findRecord(CCustomerDB& tree, const TreePath& path, std::size_t index)
{
    CMeasData* set = FindSet(tree, path);
    return {set, set && index < set->RecordCount()};
}

// The locked sets among the sets of an entry of the tree, by their names in the tree.
class LockCheck {
public:
    explicit LockCheck(const Locks* locks) : m_locks(locks) {}

    bool Set(const TreePath& path) const { return m_locks && m_locks->IsLocked(path); }
    // The first locked set at or below the entry, or nothing.
    std::optional<TreePath> In(const CMeasData& set, TreePath at) const
    {
        at.set = set.name;
        return Set(at) ? std::optional<TreePath>(at) : std::nullopt;
    }
    std::optional<TreePath> In(const CCable& cable, TreePath at) const
    {
        at.cable = cable.name;
        for (int s = 0; m_locks && s < cable.sets.Count(); ++s)
            if (auto found = In(cable.sets.At(s), at))
                return found;
        return std::nullopt;
    }
    std::optional<TreePath> In(const CCustomer& customer, TreePath at) const
    {
        at.customer = customer.name;
        for (int k = 0; m_locks && k < customer.cables.Count(); ++k)
            if (auto found = In(customer.cables.At(k), at))
                return found;
        return std::nullopt;
    }
    // The first locked set of `before` that `after` lacks or holds changed.
    std::optional<TreePath> Changed(const CCustomerDB& before, CCustomerDB& after) const
    {
        for (int c = 0; m_locks && c < before.customers.Count(); ++c) {
            const CCustomer& customer = before.customers.At(c);
            for (int k = 0; k < customer.cables.Count(); ++k) {
                const CCable& cable = customer.cables.At(k);
                for (int s = 0; s < cable.sets.Count(); ++s) {
                    const TreePath path{customer.name, cable.name, cable.sets.At(s).name};
                    if (!Set(path))
                        continue;
                    const CMeasData* now = FindSet(after, path);
                    if (!now || !(*now == cable.sets.At(s)))
                        return path;
                }
            }
        }
        return std::nullopt;
    }

private:
    const Locks* m_locks;
};

Outcome refusedFor(const TreePath& set)
{
    Outcome out{Status::Approved};
    out.locked = set;
    return out;
}

// Carries out one command; fills `change` with what it touched.
class Runner {
public:
    Runner(CCustomerDB& tree, Change& change, const Locks* locks)
        : m_tree(tree), m_change(change), m_lock(locks)
    {
    }

    Outcome operator()(const AddName& c)
    {
        m_change = {Kind::AddName, c.level, c.parent};
        m_change.newName = c.name;
        return withSiblings(m_tree, c.level, c.parent, [&](auto& list, const std::string&) {
            bool existed = false;
            const int at = list.FindOrInsert(c.name, &existed);
            return Outcome{existed ? Status::NameExists : Status::Done, at};
        });
    }

    Outcome operator()(const RenameName& c)
    {
        m_change = {Kind::RenameName, c.level, c.path};
        m_change.newName = c.name;
        return withSiblings(m_tree, c.level, c.path, [&](auto& list, const std::string& old) {
            const int row = list.Find(old);
            if (row < 0)
                return Outcome{Status::NotFound};
            if (static_cast<int>(c.name.size()) > NameLimit(c.level))
                return Outcome{Status::NameTooLong};
            const int found = list.Find(c.name);
            if (found >= 0 && found != row)
                return Outcome{Status::NameExists};
            if (list.At(row).name == c.name)
                return Outcome{Status::Unchanged, row};
            if (auto locked = m_lock.In(list.At(row), c.path))
                return refusedFor(*locked);
            return Outcome{Status::Done, renameIn(list, row, c.name)};
        });
    }

    Outcome operator()(const RemoveName& c)
    {
        m_change = {Kind::RemoveName, c.level, c.path};
        return withSiblings(m_tree, c.level, c.path, [&](auto& list, const std::string& name) {
            const int row = list.Find(name);
            if (row < 0)
                return Outcome{Status::NotFound};
            if (auto locked = m_lock.In(list.At(row), c.path))
                return refusedFor(*locked);
            m_change.count = recordsBelow(list.At(row));
            list.RemoveAt(row);
            return Outcome{Status::Done};
        });
    }

    Outcome operator()(const RemoveMeasurement& c)
    {
        m_change = measChange(Kind::RemoveMeasurement, c.set, c.index);
        const SetAndIndex found = findRecord(m_tree, c.set, c.index);
        if (!found.ok)
            return Outcome{Status::NotFound};
        if (m_lock.Set(c.set))
            return refusedFor(c.set);
        found.set->RemoveRecordAt(c.index);
        RecalcRatios(*found.set);
        return Outcome{Status::Done};
    }

    Outcome operator()(const EditMeasurement& c)
    {
        m_change = measChange(Kind::EditMeasurement, c.set, c.index);
        m_change.field = static_cast<int>(c.field);
        const SetAndIndex found = findRecord(m_tree, c.set, c.index);
        if (!found.ok)
            return Outcome{Status::NotFound};
        if (m_lock.Set(c.set))
            return refusedFor(c.set);
        CMeasData& set = *found.set;
        if (c.record.TestVoltage != set.RecordAt(c.index).TestVoltage) {
            // The records of a set stay sorted by test voltage.
            set.RemoveRecordAt(c.index);
            const std::size_t at = set.InsertRecord(c.record);
            RecalcRatios(set);
            return Outcome{Status::Done, static_cast<int>(at)};
        }
        set.RecordAt(c.index) = c.record;
        if (c.field == MeasField::TestVoltage)
            RecalcRatios(set);
        return Outcome{Status::Done, static_cast<int>(c.index)};
    }

    Outcome operator()(const SetMeasurementDisplay& c)
    {
        m_change = measChange(Kind::SetMeasurementDisplay, c.set, c.index);
        const SetAndIndex found = findRecord(m_tree, c.set, c.index);
        if (!found.ok)
            return Outcome{Status::NotFound};
        if (m_lock.Set(c.set))
            return refusedFor(c.set);
        CMeasRecord& r = found.set->RecordAt(c.index);
        r.ShowSeikyoku = c.showSeikyoku;
        r.ShowJyakuten = c.showJyakuten;
        // The user's choice of the final point is kept; the triggers are recomputed with it.
        r.RecalcFinalAndTriggers(r.UsedPoints, c.triggValidSec);
        RecalcRatios(*found.set);
        return Outcome{Status::Done};
    }

    Outcome operator()(const EditCondition& c)
    {
        m_change = {Kind::EditCondition, Level::Set, c.set};
        m_change.field = c.field;
        CMeasData* set = FindSet(m_tree, c.set);
        if (!set || set->RecordCount() == 0)
            return Outcome{Status::NotFound};
        if (m_lock.Set(c.set))
            return refusedFor(c.set);
        ApplyCondition(*set, c.condition);
        return Outcome{Status::Done};
    }

    Outcome operator()(const SetCriteria& c)
    {
        m_change = {Kind::SetCriteria, Level::Set, c.set};
        CMeasData* set = FindSet(m_tree, c.set);
        if (!set)
            return Outcome{Status::NotFound};
        // A locked set may still take the values it holds (Unchanged): the dialog's OK
        // without an edit is no refusal. Only then is the set tried on a copy.
        const bool locked = m_lock.Set(c.set);
        CMeasData copy;
        CMeasData& target = locked ? (copy = *set) : *set;
        Outcome out;
        out.criteria = ApplyJudgParams(target, c.params);
        if (!out.criteria.any())
            return Outcome{Status::Unchanged};
        if (locked)
            return refusedFor(c.set);
        return out;
    }

    Outcome operator()(const ApplyDisplayToRecords& c)
    {
        m_change = {Kind::ApplyDisplayToRecords, Level::Set, c.set};
        CMeasData* set = FindSet(m_tree, c.set);
        if (!set)
            return Outcome{Status::NotFound};
        const bool locked = m_lock.Set(c.set);
        CMeasData copy;
        CMeasData& target = locked ? (copy = *set) : *set;
        Outcome out;
        out.criteria.recordFlags =
            ApplyDisplayFlagsToRecords(target, c.showSeikyoku, c.showJyakuten);
        if (!out.criteria.recordFlags)
            return Outcome{Status::Unchanged};
        if (locked)
            return refusedFor(c.set);
        return out;
    }

    Outcome operator()(const ChooseFinalValue& c)
    {
        m_change = measChange(Kind::ChooseFinalValue, c.set, c.index);
        CMeasData* set = FindSet(m_tree, c.set);
        if (set && c.index < set->RecordCount() && m_lock.Set(c.set))
            return refusedFor(c.set);
        if (!set || !finalvalue::ApplyToSet(*set, c.index, c.points, c.finalIndex, c.triggValidSec))
            return Outcome{Status::NotFound};
        return Outcome{Status::Done};
    }

    Outcome operator()(const RegisterReceived& c)
    {
        m_change = {Kind::RegisterReceived, Level::Set, c.set};
        CMeasData* set = FindSet(m_tree, c.set);
        if (!set)
            return Outcome{Status::NotFound};
        if (m_lock.Set(c.set))
            return refusedFor(c.set);
        transferreg::Register(*set, c.records, c.condition, c.replaceExisting);
        m_change.count = c.records.size();
        // Where the new records went: the positions of records equal to them, first match.
        std::vector<bool> taken(set->RecordCount(), false);
        for (const CMeasRecord& r : c.records)
            for (std::size_t i = 0; i < set->RecordCount(); ++i)
                if (!taken[i] && set->RecordAt(i).StartTime == r.StartTime &&
                    set->RecordAt(i).TestVoltage == r.TestVoltage) {
                    taken[i] = true;
                    m_change.indices.push_back(i);
                    break;
                }
        return Outcome{Status::Done};
    }

    Outcome operator()(const ImportMerge& c)
    {
        m_change = {Kind::ImportMerge, Level::Customer};
        m_change.field = c.destination.level;
        m_change.path = pathOf(c.destination);
        if (!c.imported || !c.questions)
            return Outcome{Status::ImportRefused, -1, {}, ImportStatus::NothingChecked};
        ImportResult result =
            MergeImport(m_tree, c.destination, *c.imported, c.fileLevel, c.titles, *c.questions);
        Outcome out;
        out.importStatus = result.status;
        switch (result.status) {
        case ImportStatus::Done:
            // The merge ran on a copy: one that would change a locked set is dropped whole.
            if (auto locked = m_lock.Changed(m_tree, result.merged))
                return refusedFor(*locked);
            m_change.count = result.merged.RecordCount() - m_tree.RecordCount();
            m_tree = std::move(result.merged);
            out.status = Status::Done;
            break;
        case ImportStatus::Declined: out.status = Status::Declined; break;
        default: out.status = Status::ImportRefused; break;
        }
        return out;
    }

    Outcome operator()(const RecalculateAll& c)
    {
        m_change = {Kind::RecalculateAll, Level::Customer};
        Outcome out;
        for (int ci = 0; ci < m_tree.customers.Count(); ++ci) {
            CCustomer& customer = m_tree.customers.At(ci);
            for (int k = 0; k < customer.cables.Count(); ++k) {
                CCable& cable = customer.cables.At(k);
                for (int s = 0; s < cable.sets.Count(); ++s) {
                    CMeasData& set = cable.sets.At(s);
                    // An approved set keeps the values it was approved with.
                    if (m_lock.Set({customer.name, cable.name, set.name})) {
                        ++out.skippedSets;
                        continue;
                    }
                    for (CMeasRecord& r : set.Records())
                        r.RecalcFinalAndTriggers(r.UsedPoints, c.triggValidSec);
                    RecalcRatios(set);
                    m_change.count += set.RecordCount();
                }
            }
        }
        return out;
    }

private:
    static Change measChange(Kind kind, const TreePath& set, std::size_t index)
    {
        Change change{kind, Level::Set, set};
        change.indices = {index};
        return change;
    }

    // The names of an exchange node of the tree (as far as they exist).
    TreePath pathOf(const ExchangeNode& node) const
    {
        TreePath p;
        if (node.level < ExchangeNode::Customer || node.customer < 0 ||
            node.customer >= m_tree.customers.Count())
            return p;
        const CCustomer& customer = m_tree.customers.At(node.customer);
        p.customer = customer.name;
        if (node.level < ExchangeNode::Cable || node.cable < 0 ||
            node.cable >= customer.cables.Count())
            return p;
        const CCable& cable = customer.cables.At(node.cable);
        p.cable = cable.name;
        if (node.level < ExchangeNode::MeasData || node.set < 0 || node.set >= cable.sets.Count())
            return p;
        p.set = cable.sets.At(node.set).name;
        return p;
    }

    CCustomerDB& m_tree;
    Change& m_change;
    LockCheck m_lock;
};

} // namespace

CMeasData* FindSet(CCustomerDB& tree, const TreePath& path)
{
    CCable* cable = findCable(tree, path);
    const int s = cable ? cable->sets.Find(path.set) : -1;
    return s < 0 ? nullptr : &cable->sets.At(s);
}

Outcome Run(CCustomerDB& tree, const Command& command, ChangeObserver* observer,
            const Locks* locks)
{
    Change change;
    const Outcome out = std::visit(Runner(tree, change, locks), command);
    if (out.done() && observer)
        observer->TreeChanged(tree, change);
    return out;
}

} // namespace cmd
