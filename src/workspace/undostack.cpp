// The undo stack: finding the parts an action touched, and putting them back.
#include "workspace/undostack.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "model/cp932text.h"
#include "store/recordcodec.h"

namespace ws {
namespace {

using cmd::Level;
using cmd::TreePath;

// ---- Hashes and sizes of the entries ------------------------------------------------------

uint64_t hashText(uint64_t h, const std::string& text)
{
    return recordcodec::Hash64(text, h ^ 0x51ED27A3u);
}

uint64_t combine(uint64_t h, uint64_t value)
{
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    return recordcodec::Hash64(std::string_view(bytes, sizeof bytes), h);
}

// The content of an entry below its own name: the names and contents of its children, and a
// set's display flags and records in their stored encoding.
uint64_t contentHash(const CMeasData& set)
{
    uint64_t h = recordcodec::Hash64({}, 0x5E7u + static_cast<uint64_t>(set.RecordCount()));
    h = recordcodec::Hash64(
        std::to_string(set.ShowSeikyoku) + ',' + std::to_string(set.ShowJyakuten), h);
    for (const CMeasRecord& r : set.Records())
        h = recordcodec::Hash64(recordcodec::EncodeRecord(r), h);
    return h;
}
uint64_t contentHash(const CCable& cable)
{
    uint64_t h = recordcodec::Hash64({}, 0xCAB1Eu + static_cast<uint64_t>(cable.sets.Count()));
    for (int i = 0; i < cable.sets.Count(); ++i)
        h = combine(hashText(h, cable.sets.At(i).name), contentHash(cable.sets.At(i)));
    return h;
}
uint64_t contentHash(const CCustomer& customer)
{
    uint64_t h = recordcodec::Hash64({}, 0xC057u + static_cast<uint64_t>(customer.cables.Count()));
    for (int i = 0; i < customer.cables.Count(); ++i)
        h = combine(hashText(h, customer.cables.At(i).name), contentHash(customer.cables.At(i)));
    return h;
}

// Equal below the own name (what a rename leaves as it was).
bool sameContent(const CMeasData& a, const CMeasData& b)
{
    return a.ShowSeikyoku == b.ShowSeikyoku && a.ShowJyakuten == b.ShowJyakuten &&
           a.Records() == b.Records();
}
bool sameContent(const CCable& a, const CCable& b)
{
    return a.sets == b.sets;
}
bool sameContent(const CCustomer& a, const CCustomer& b)
{
    return a.cables == b.cables;
}

// The bytes an entry keeps in memory, roughly.
std::size_t bytesOf(const CMeasRecord& r)
{
    return sizeof r + r.Points.capacity() * sizeof(CMeasPoint) +
           r.Triggers.capacity() * sizeof(CTriggerEvent) + r.Condition.Weather.size() +
           r.Condition.Remarks.size() + r.Condition.Shindan.size();
}
std::size_t bytesOf(const CMeasData& set)
{
    std::size_t n = sizeof set + set.name.size();
    for (const CMeasRecord& r : set.Records())
        n += bytesOf(r);
    return n;
}
std::size_t bytesOf(const CCable& cable)
{
    std::size_t n = sizeof cable + cable.name.size();
    for (int i = 0; i < cable.sets.Count(); ++i)
        n += bytesOf(cable.sets.At(i));
    return n;
}
std::size_t bytesOf(const CCustomer& customer)
{
    std::size_t n = sizeof customer + customer.name.size();
    for (int i = 0; i < customer.cables.Count(); ++i)
        n += bytesOf(customer.cables.At(i));
    return n;
}

// ---- Places in the tree ---------------------------------------------------------------------

CCustomer* findCustomer(CCustomerDB& tree, const std::string& name)
{
    const int c = tree.customers.Find(name);
    return c < 0 ? nullptr : &tree.customers.At(c);
}

CCable* findCable(CCustomerDB& tree, const TreePath& p)
{
    CCustomer* customer = findCustomer(tree, p.customer);
    const int k = customer ? customer->cables.Find(p.cable) : -1;
    return k < 0 ? nullptr : &customer->cables.At(k);
}

// Runs f on the list that holds the entries of `level` below `parent`; false when a parent is
// missing.
template <class F> bool withList(CCustomerDB& tree, Level level, const TreePath& parent, F&& f)
{
    switch (level) {
    case Level::Customer: f(tree.customers); return true;
    case Level::Cable:
        if (CCustomer* c = findCustomer(tree, parent.customer)) {
            f(c->cables);
            return true;
        }
        return false;
    case Level::Set:
        if (CCable* k = findCable(tree, parent)) {
            f(k->sets);
            return true;
        }
        return false;
    }
    return false;
}

TreePath pathOf(Level level, const TreePath& parent, const std::string& name)
{
    TreePath p = parent;
    switch (level) {
    case Level::Customer: p.customer = name; break;
    case Level::Cable: p.cable = name; break;
    case Level::Set: p.set = name; break;
    }
    return p;
}

std::string describe(Level level, const TreePath& parent, const std::string& name)
{
    const TreePath p = pathOf(level, parent, name);
    std::string text = "需要家「" + cp932::toUtf8(p.customer) + "」";
    if (level >= Level::Cable)
        text += "のケーブル「" + cp932::toUtf8(p.cable) + "」";
    if (level >= Level::Set)
        text += "の測定データ「" + cp932::toUtf8(p.set) + "」";
    return text;
}

// The paths of every set at or below an entry.
void setsBelow(const CMeasData& set, const TreePath& at, std::vector<TreePath>& out)
{
    (void)set;
    out.push_back(at);
}
void setsBelow(const CCable& cable, const TreePath& at, std::vector<TreePath>& out)
{
    for (int i = 0; i < cable.sets.Count(); ++i)
        out.push_back(pathOf(Level::Set, at, cable.sets.At(i).name));
}
void setsBelow(const CCustomer& customer, const TreePath& at, std::vector<TreePath>& out)
{
    for (int i = 0; i < customer.cables.Count(); ++i) {
        const CCable& cable = customer.cables.At(i);
        setsBelow(cable, pathOf(Level::Cable, at, cable.name), out);
    }
}

} // namespace

// ---- Steps and their parts ------------------------------------------------------------------

namespace {

// One entry an action touched, seen from the side the tree is on now: what is there now (to
// check before swapping), and what the swap puts there (the content on the other side of the
// action, or for a rename that left the content alone only the other name).
struct Part {
    Level level = Level::Set;
    TreePath parent; // the names above the entry; the entry's own level and below stay empty
    bool move = false;

    bool nowPresent = false;
    std::string nowName;
    uint64_t nowHash = 0;

    // Not a move: the content the swap puts in (monostate: the entry goes).
    std::variant<std::monostate, CCustomer, CCable, CMeasData> other;
    uint64_t otherHash = 0;
    // A move: the name the swap gives the entry.
    std::string otherName;

    bool otherPresent() const { return move || other.index() != 0; }
    std::string otherEntryName() const
    {
        if (move)
            return otherName;
        return std::visit(
            [](const auto& v) -> std::string {
                if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                    return {};
                else
                    return v.name;
            },
            other);
    }
    // The name the entry has on either side (both fold to one key unless it is a move).
    std::string key() const { return nowPresent ? nowName : otherEntryName(); }

    std::size_t bytes() const
    {
        std::size_t n = sizeof(Part) + parent.customer.size() + parent.cable.size() +
                        nowName.size() + otherName.size();
        std::visit(
            [&n](const auto& v) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                    n += bytesOf(v);
            },
            other);
        return n;
    }
};

template <class T>
Part replacePart(Level level, const TreePath& parent, const T* before, const T* after)
{
    Part part;
    part.level = level;
    part.parent = parent;
    if (after) {
        part.nowPresent = true;
        part.nowName = after->name;
        part.nowHash = contentHash(*after);
    }
    if (before) {
        part.other = *before;
        part.otherHash = contentHash(*before);
    }
    return part;
}

template <class T>
Part movePart(Level level, const TreePath& parent, const T& before, const T& after)
{
    Part part;
    part.level = level;
    part.parent = parent;
    part.move = true;
    part.nowPresent = true;
    part.nowName = after.name;
    part.nowHash = contentHash(after);
    part.otherName = before.name;
    part.otherHash = part.nowHash;
    return part;
}

// The children of an entry on the level below it, and that level.
inline CNamedList<CCable>& childrenOf(CCustomer& c)
{
    return c.cables;
}
inline const CNamedList<CCable>& childrenOf(const CCustomer& c)
{
    return c.cables;
}
inline CNamedList<CMeasData>& childrenOf(CCable& c)
{
    return c.sets;
}
inline const CNamedList<CMeasData>& childrenOf(const CCable& c)
{
    return c.sets;
}

class PartFinder {
public:
    explicit PartFinder(std::vector<Part>& parts) : m_parts(parts) {}

    // Compares the entries of one list, in pairs of the same key (either may be missing).
    template <class T>
    void comparePairs(Level level, const TreePath& parent,
                      const std::vector<std::pair<const T*, const T*>>& pairs)
    {
        std::vector<const T*> gone, came; // before only, after only
        for (const auto& [a, b] : pairs) {
            if (a && b && a->name == b->name) {
                compareSame(level, parent, *a, *b);
            } else if (a && b) {
                // The same key with another spelling: a rename that keeps the place.
                if (sameContent(*a, *b))
                    m_parts.push_back(movePart(level, parent, *a, *b));
                else
                    m_parts.push_back(replacePart(level, parent, a, b));
            } else if (a) {
                gone.push_back(a);
            } else if (b) {
                came.push_back(b);
            }
        }
        // A renamed entry is gone under its old name and came under its new one with the same
        // content: keep it as a move, which needs no copy of the content.
        std::vector<bool> paired(came.size(), false);
        for (const T* a : gone) {
            bool moved = false;
            for (std::size_t i = 0; i < came.size() && !moved; ++i) {
                if (paired[i] || !sameContent(*a, *came[i]))
                    continue;
                paired[i] = moved = true;
                m_parts.push_back(movePart(level, parent, *a, *came[i]));
            }
            if (!moved)
                m_parts.push_back(replacePart<T>(level, parent, a, nullptr));
        }
        for (std::size_t i = 0; i < came.size(); ++i)
            if (!paired[i])
                m_parts.push_back(replacePart<T>(level, parent, nullptr, came[i]));
    }

    // Every entry of two lists, paired by key.
    template <class T>
    void compareLists(Level level, const TreePath& parent, const CNamedList<T>& before,
                      const CNamedList<T>& after)
    {
        std::vector<std::pair<const T*, const T*>> pairs;
        int i = 0, j = 0;
        while (i < before.Count() || j < after.Count()) {
            const int r = i >= before.Count()  ? 1
                          : j >= after.Count() ? -1
                                               : CompareNames(before.At(i).name, after.At(j).name);
            if (r < 0)
                pairs.emplace_back(&before.At(i++), nullptr);
            else if (r > 0)
                pairs.emplace_back(nullptr, &after.At(j++));
            else
                pairs.emplace_back(&before.At(i++), &after.At(j++));
        }
        comparePairs(level, parent, pairs);
    }

    // The entries of two lists that the touched entries name, each as deep as they go: an
    // entry touched itself is compared whole, one above a touched entry only along the way to
    // it. A name that neither list holds makes the whole list compared.
    template <class T>
    void compareTouched(Level level, const TreePath& parent, const CNamedList<T>& before,
                        const CNamedList<T>& after, const std::vector<const TouchedEntry*>& touched)
    {
        std::vector<std::string> keys;
        std::vector<std::pair<const T*, const T*>> pairs;
        for (const TouchedEntry* entry : touched) {
            const std::string& name = nameAt(entry->path, level);
            const std::string key = recordcodec::NameKey(name);
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                continue;
            const int a = before.Find(name);
            const int b = after.Find(name);
            if (a < 0 && b < 0) {
                compareLists(level, parent, before, after);
                return;
            }
            keys.push_back(key);
            pairs.emplace_back(a < 0 ? nullptr : &before.At(a), b < 0 ? nullptr : &after.At(b));
        }
        if constexpr (!std::is_same_v<T, CMeasData>) {
            const Level below = static_cast<Level>(static_cast<int>(level) + 1);
            std::vector<std::pair<const T*, const T*>> whole;
            for (const auto& [a, b] : pairs) {
                if (!a || !b || a->name != b->name) {
                    whole.emplace_back(a, b);
                    continue;
                }
                std::vector<const TouchedEntry*> deeper;
                bool itself = false;
                for (const TouchedEntry* entry : touched) {
                    if (CompareNames(nameAt(entry->path, level), a->name) != 0)
                        continue;
                    itself = itself || entry->level == level;
                    deeper.push_back(entry);
                }
                if (itself)
                    whole.emplace_back(a, b);
                else
                    compareTouched(below, pathOf(level, parent, a->name), childrenOf(*a),
                                   childrenOf(*b), deeper);
            }
            pairs = std::move(whole);
        }
        comparePairs(level, parent, pairs);
    }

private:
    static const std::string& nameAt(const TreePath& path, Level level)
    {
        return level == Level::Customer ? path.customer
               : level == Level::Cable  ? path.cable
                                        : path.set;
    }

    // One entry under one name on both sides: a set is a part when it differs; a customer or a
    // cable holds nothing but its name and children, so its parts are its children's.
    void compareSame(Level level, const TreePath& parent, const CMeasData& a, const CMeasData& b)
    {
        if (!(a == b))
            m_parts.push_back(replacePart(level, parent, &a, &b));
    }
    template <class T> void compareSame(Level level, const TreePath& parent, const T& a, const T& b)
    {
        const Level below = static_cast<Level>(static_cast<int>(level) + 1);
        compareLists(below, pathOf(level, parent, a.name), childrenOf(a), childrenOf(b));
    }

    std::vector<Part>& m_parts;
};

} // namespace

struct UndoStack::Step {
    std::string name;
    std::vector<Part> parts;
    bool commChanged = false;
    CCommSetting nowComm, otherComm;
    std::size_t bytes = 0;

    void measure()
    {
        bytes = sizeof(Step) + name.size();
        for (const Part& part : parts)
            bytes += part.bytes();
    }
};

namespace {

// The parts that differ between two trees; with touched, only at and below those entries.
std::vector<Part> findParts(const CCustomerDB& before, const CCustomerDB& after,
                            const Touched& touched)
{
    std::vector<Part> parts;
    PartFinder finder(parts);
    if (!touched) {
        finder.compareLists(Level::Customer, {}, before.customers, after.customers);
        return parts;
    }
    std::vector<const TouchedEntry*> entries;
    for (const TouchedEntry& entry : *touched)
        entries.push_back(&entry);
    finder.compareTouched(Level::Customer, {}, before.customers, after.customers, entries);
    return parts;
}

} // namespace

// ---- Hints ----------------------------------------------------------------------------------

Touched TouchedBy(const std::vector<cmd::Change>& changes)
{
    std::vector<TouchedEntry> entries;
    for (const cmd::Change& c : changes) {
        if (c.kind == cmd::Kind::ImportMerge || c.kind == cmd::Kind::RecalculateAll)
            return std::nullopt;
        // An addition names the parent in its path and the entry in newName.
        if (c.kind == cmd::Kind::AddName || c.kind == cmd::Kind::RenameName)
            entries.push_back({c.level, pathOf(c.level, c.path, c.newName)});
        if (c.kind != cmd::Kind::AddName)
            entries.push_back({c.level, c.path});
    }
    return entries;
}

Touched TouchedBy(const std::vector<JournalItem>& items)
{
    std::vector<TouchedEntry> entries;
    for (const JournalItem& item : items) {
        TouchedEntry entry;
        entry.level = item.level == ItemLevel::Customer ? Level::Customer
                      : item.level == ItemLevel::Cable  ? Level::Cable
                                                        : Level::Set;
        const int depth = static_cast<int>(entry.level);
        std::string* names[] = {&entry.path.customer, &entry.path.cable, &entry.path.set};
        const std::string* texts[] = {&item.customer, &item.cable, &item.set};
        for (int i = 0; i <= depth; ++i) {
            auto name = cp932::fromUtf8(*texts[i]);
            if (!name)
                return std::nullopt;
            *names[i] = std::move(*name);
        }
        entries.push_back(entry);
        if (item.change == ItemChange::Renamed) {
            auto renamed = cp932::fromUtf8(item.newName);
            if (!renamed)
                return std::nullopt;
            *names[depth] = std::move(*renamed);
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

// ---- The stack ------------------------------------------------------------------------------

UndoStack::UndoStack(std::size_t budgetBytes) : m_budget(budgetBytes) {}
UndoStack::~UndoStack() = default;

UndoStack::PushResult UndoStack::Push(const CCustomerDB& before, const CCustomerDB& after,
                                      const Touched& touched, std::string name)
{
    auto step = std::make_unique<Step>();
    step->name = std::move(name);
    step->parts = findParts(before, after, touched);
    step->commChanged = !(before.comm == after.comm);
    step->nowComm = after.comm;
    step->otherComm = before.comm;
    if (step->parts.empty() && !step->commChanged)
        return PushResult::Unchanged;
    m_redo.clear();
    step->measure();
    if (step->bytes > m_budget) {
        Clear();
        return PushResult::TooLarge;
    }
    m_undo.push_back(std::move(step));
    trim();
    return PushResult::Recorded;
}

std::string UndoStack::UndoName() const
{
    return m_undo.empty() ? std::string() : m_undo.back()->name;
}

std::string UndoStack::RedoName() const
{
    return m_redo.empty() ? std::string() : m_redo.back()->name;
}

UndoOutcome UndoStack::Undo(CCustomerDB& tree)
{
    return swap(m_undo, m_redo, tree);
}

UndoOutcome UndoStack::Redo(CCustomerDB& tree)
{
    return swap(m_redo, m_undo, tree);
}

void UndoStack::Clear()
{
    m_undo.clear();
    m_redo.clear();
}

std::size_t UndoStack::MemoryUsed() const
{
    std::size_t n = 0;
    for (const auto& s : m_undo)
        n += s->bytes;
    for (const auto& s : m_redo)
        n += s->bytes;
    return n;
}

void UndoStack::SetBudget(std::size_t bytes)
{
    m_budget = bytes;
    trim();
}

void UndoStack::trim()
{
    // The oldest undo steps go first, then the redo steps farthest away; the step next to the
    // present on each side goes last.
    while (MemoryUsed() > m_budget && m_undo.size() > 1)
        m_undo.pop_front();
    while (MemoryUsed() > m_budget && m_redo.size() > 1)
        m_redo.pop_front();
    while (MemoryUsed() > m_budget && !m_undo.empty())
        m_undo.pop_front();
    while (MemoryUsed() > m_budget && !m_redo.empty())
        m_redo.pop_front();
}

namespace {

// Whether the entry of the part is in the list as the step left it (and, for a move, the
// other name is free).
template <class T> bool isAsLeft(const CNamedList<T>& list, const Part& part)
{
    const int at = list.Find(part.key());
    if (!part.nowPresent)
        return at < 0;
    if (at < 0 || list.At(at).name != part.nowName || contentHash(list.At(at)) != part.nowHash)
        return false;
    if (part.move) {
        const int taken = list.Find(part.otherName);
        if (taken >= 0 && taken != at)
            return false;
    }
    return true;
}

// The sets the swap of a part changes: all at or below the entry, on both sides.
template <class T>
void changedSets(const CNamedList<T>& list, const Part& part, std::vector<TreePath>& out)
{
    if (part.nowPresent) {
        const T& now = list.At(list.Find(part.key()));
        setsBelow(now, pathOf(part.level, part.parent, now.name), out);
        if (part.move)
            setsBelow(now, pathOf(part.level, part.parent, part.otherName), out);
    }
    if (const T* other = std::get_if<T>(&part.other))
        setsBelow(*other, pathOf(part.level, part.parent, other->name), out);
}

// Puts the other side of the part into the list and keeps what was there as the new other
// side.
template <class T> void swapIn(CNamedList<T>& list, Part& part)
{
    if (part.move) {
        const int at = list.Find(part.nowName);
        T entry = std::move(list.At(at));
        list.RemoveAt(at);
        std::swap(part.nowName, part.otherName);
        entry.name = part.nowName;
        list.At(list.FindOrInsert(entry.name)) = std::move(entry);
        return;
    }
    std::variant<std::monostate, CCustomer, CCable, CMeasData> taken;
    if (part.nowPresent) {
        const int at = list.Find(part.nowName);
        taken = std::move(list.At(at));
        list.RemoveAt(at);
    }
    part.nowPresent = false;
    part.nowName.clear();
    if (T* other = std::get_if<T>(&part.other)) {
        part.nowPresent = true;
        part.nowName = other->name;
        list.At(list.FindOrInsert(other->name)) = std::move(*other);
    }
    part.other = std::move(taken);
    std::swap(part.nowHash, part.otherHash);
}

// The change a swap made, in the terms of the commands, for the journal.
cmd::Change changeOf(const Part& part, bool wasPresent, const std::string& wasName)
{
    cmd::Change c;
    c.level = part.level;
    if (part.move || (wasPresent && part.nowPresent && wasName != part.nowName)) {
        c.kind = cmd::Kind::RenameName;
        c.path = pathOf(part.level, part.parent, wasName);
        c.newName = part.nowName;
    } else if (!wasPresent) {
        c.kind = cmd::Kind::AddName;
        c.path = part.parent;
        c.newName = part.nowName;
    } else if (!part.nowPresent) {
        c.kind = cmd::Kind::RemoveName;
        c.path = pathOf(part.level, part.parent, wasName);
    } else {
        // A set whose content was put back. As an edit of measurements, so that the journal
        // pairs records whose content key the swap changed (a date or voltage put back).
        c.kind = cmd::Kind::EditMeasurement;
        c.path = pathOf(part.level, part.parent, wasName);
    }
    return c;
}

} // namespace

UndoOutcome UndoStack::swap(std::deque<std::unique_ptr<Step>>& from,
                            std::deque<std::unique_ptr<Step>>& to, CCustomerDB& tree)
{
    UndoOutcome out;
    if (from.empty())
        return out;
    Step& step = *from.back();
    out.stepName = step.name;

    // Every part must be as the step left it before anything changes.
    std::vector<TreePath> sets;
    for (const Part& part : step.parts) {
        bool asLeft = false;
        const bool parentThere = withList(tree, part.level, part.parent, [&](auto& list) {
            asLeft = isAsLeft(list, part);
            if (asLeft)
                changedSets(list, part, sets);
        });
        if (!parentThere || !asLeft) {
            out.status = UndoStatus::Changed;
            out.where = describe(part.level, part.parent, part.key());
            return out;
        }
    }
    if (step.commChanged && !(tree.comm == step.nowComm)) {
        out.status = UndoStatus::Changed;
        out.where = "通信設定";
        return out;
    }
    if (m_locked) {
        for (const TreePath& set : sets) {
            if (m_locked(set)) {
                out.status = UndoStatus::Locked;
                out.where = describe(Level::Set, set, set.set);
                return out;
            }
        }
    }

    for (Part& part : step.parts) {
        const bool wasPresent = part.nowPresent;
        const std::string wasName = part.nowName;
        withList(tree, part.level, part.parent, [&](auto& list) { swapIn(list, part); });
        out.changes.push_back(changeOf(part, wasPresent, wasName));
    }
    if (step.commChanged) {
        tree.comm = step.otherComm;
        std::swap(step.nowComm, step.otherComm);
    }
    step.measure();
    to.push_back(std::move(from.back()));
    from.pop_back();
    trim();
    out.status = UndoStatus::Done;
    return out;
}

} // namespace ws
