#include "workspace/treediff.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "model/conditionfields.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "store/recordcodec.h"

namespace ws {
namespace {

std::string number(double v)
{
    if (v == UNSET_VALUE)
        return "未設定";
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

std::string utf8(const std::string& cp932Text) { return cp932::toUtf8(cp932Text); }

// The label of a condition field: the condition table's label; the two bounds of a criterion
// (one row in the table) as "判定基準 <row> 下限/上限".
std::string conditionLabel(const condfields::ConditionField& f)
{
    const std::string_view key = f.key;
    const bool upper = key.ends_with("Max");
    if (!upper && !(key.ends_with("Min") && f.group == condfields::Group::Criteria))
        return f.label.empty() ? std::string(key) : std::string(f.label);
    const std::string lower = std::string(key.substr(0, key.size() - 3)) + "Min";
    for (const condfields::ConditionField& g : condfields::Fields())
        if (g.key == lower)
            return "判定基準 " + std::string(g.label) + (upper ? " 上限" : " 下限");
    return std::string(key);
}

std::string conditionValue(const condfields::ConditionField& f, const CTestCondition& c)
{
    switch (f.kind) {
    case condfields::Kind::Integer: return std::to_string(c.*f.integer);
    case condfields::Kind::Number: return number(c.*f.number);
    case condfields::Kind::Text: return utf8(c.*f.text);
    }
    return {};
}

void compare(std::vector<FieldChange>& out, std::string field, std::string before,
             std::string after)
{
    if (before != after)
        out.push_back({std::move(field), std::move(before), std::move(after)});
}

std::string pointsText(const std::vector<CMeasPoint>& points)
{
    return std::to_string(points.size()) + " 点";
}

std::string triggersText(const std::vector<CTriggerEvent>& events)
{
    return std::to_string(events.size()) + " 件";
}

// ---- Trees ---------------------------------------------------------------------------------

struct Names {
    std::string customer, cable, set; // UTF-8
};

class Differ {
public:
    explicit Differ(std::vector<JournalItem>& out) : m_out(out) {}

    void NameItem(ItemChange change, ItemLevel level, const Names& at, std::size_t count,
                  std::string newName = {})
    {
        JournalItem i;
        i.change = change;
        i.level = level;
        i.customer = at.customer;
        i.cable = level >= ItemLevel::Cable ? at.cable : std::string();
        i.set = level >= ItemLevel::Set ? at.set : std::string();
        i.newName = std::move(newName);
        i.count = count;
        m_out.push_back(std::move(i));
    }

    void RecordItem(ItemChange change, const Names& at, const CMeasRecord* before,
                    const CMeasRecord* after)
    {
        JournalItem i;
        i.change = change;
        i.level = ItemLevel::Record;
        i.customer = at.customer;
        i.cable = at.cable;
        i.set = at.set;
        i.contentKey = KeyText(before ? *before : *after);
        if (before && after) {
            const std::string key = KeyText(*after);
            if (key != i.contentKey)
                i.newKey = key;
            i.fields = CompareRecords(*before, *after);
        }
        if (after)
            i.stateHash = StateHash(*after);
        m_out.push_back(std::move(i));
    }

    void AllRecords(ItemChange change, const Names& at, const CMeasData& set)
    {
        for (const CMeasRecord& r : set.Records())
            RecordItem(change, at, change == ItemChange::Removed ? &r : nullptr,
                       change == ItemChange::Added ? &r : nullptr);
    }

    void Sets(const Names& at, const CMeasData* before, const CMeasData* after,
              bool pairChangedKeys)
    {
        if (!before || !after) {
            const CMeasData& set = before ? *before : *after;
            AllRecords(before ? ItemChange::Removed : ItemChange::Added, at, set);
            return;
        }
        if (*before == *after)
            return; // the common case: a set the action did not touch
        std::vector<FieldChange> setFields;
        compare(setFields, "成極比表示(データ)", std::to_string(before->ShowSeikyoku),
                std::to_string(after->ShowSeikyoku));
        compare(setFields, "弱点比表示(データ)", std::to_string(before->ShowJyakuten),
                std::to_string(after->ShowJyakuten));
        if (!setFields.empty()) {
            NameItem(ItemChange::Changed, ItemLevel::Set, at, 0);
            m_out.back().fields = std::move(setFields);
        }
        // Records equal at the start and at the end are passed over (a registration inserts
        // among records it leaves alone); the rest pair by content key, in order, the same key
        // twice pairing in order. Keys are computed once per record.
        const std::vector<CMeasRecord>& b = before->Records();
        const std::vector<CMeasRecord>& a = after->Records();
        std::size_t head = 0;
        while (head < b.size() && head < a.size() && b[head] == a[head])
            ++head;
        std::size_t tail = 0;
        while (tail < b.size() - head && tail < a.size() - head &&
               b[b.size() - 1 - tail] == a[a.size() - 1 - tail])
            ++tail;
        std::multimap<std::string, std::size_t> old; // key -> index in b
        for (std::size_t i = head; i < b.size() - tail; ++i)
            old.emplace(KeyText(b[i]), i);
        std::vector<const CMeasRecord*> added;
        for (std::size_t j = head; j < a.size() - tail; ++j) {
            const auto found = old.find(KeyText(a[j]));
            if (found == old.end()) {
                added.push_back(&a[j]);
                continue;
            }
            if (!(b[found->second] == a[j]))
                RecordItem(ItemChange::Changed, at, &b[found->second], &a[j]);
            old.erase(found);
        }
        std::vector<std::size_t> left;
        for (const auto& [key, i] : old)
            left.push_back(i);
        std::sort(left.begin(), left.end());
        std::vector<const CMeasRecord*> removed;
        for (std::size_t i : left)
            removed.push_back(&b[i]);
        // An edit of the date, voltage or points gave a record a new key: as many records
        // went as came, in the same order.
        if (pairChangedKeys && removed.size() == added.size()) {
            for (std::size_t i = 0; i < added.size(); ++i)
                RecordItem(ItemChange::Changed, at, removed[i], added[i]);
            return;
        }
        for (const CMeasRecord* r : removed)
            RecordItem(ItemChange::Removed, at, r, nullptr);
        for (const CMeasRecord* r : added)
            RecordItem(ItemChange::Added, at, nullptr, r);
    }

    template <class List, class Below>
    void Level(ItemLevel level, const Names& parent, const List* before, const List* after,
               const std::set<std::pair<std::string, std::string>>& renames, Below below)
    {
        using T = std::decay_t<decltype(before->At(0))>;
        auto names = [&](const Names& base, const std::string& name) {
            Names n = base;
            (level == ItemLevel::Customer ? n.customer
                                          : level == ItemLevel::Cable ? n.cable : n.set) = name;
            return n;
        };
        std::set<int> matchedAfter;
        std::vector<int> unmatchedBefore;
        if (before)
            for (int i = 0; i < before->Count(); ++i) {
                const T& b = before->At(i);
                const int j = after ? after->Find(b.name) : -1;
                if (j < 0) {
                    unmatchedBefore.push_back(i);
                    continue;
                }
                matchedAfter.insert(j);
                const Names at = names(parent, utf8(b.name));
                below(at, &b, &after->At(j));
            }
        std::vector<int> unmatchedAfter;
        if (after)
            for (int j = 0; j < after->Count(); ++j)
                if (!matchedAfter.count(j))
                    unmatchedAfter.push_back(j);
        for (int i : unmatchedBefore) {
            const T& b = before->At(i);
            const Names at = names(parent, utf8(b.name));
            // A rename of this action pairs the name with its new one.
            int partner = -1;
            for (int j : unmatchedAfter)
                if (renames.count({b.name, after->At(j).name})) {
                    partner = j;
                    break;
                }
            if (partner >= 0) {
                const T& a = after->At(partner);
                NameItem(ItemChange::Renamed, level, at, 0, utf8(a.name));
                std::erase(unmatchedAfter, partner);
                below(names(parent, utf8(a.name)), &b, &a);
                continue;
            }
            NameItem(ItemChange::Removed, level, at, CountRecords(b));
            below(at, &b, nullptr);
        }
        for (int j : unmatchedAfter) {
            const T& a = after->At(j);
            const Names at = names(parent, utf8(a.name));
            NameItem(ItemChange::Added, level, at, CountRecords(a));
            below(at, nullptr, &a);
        }
    }

    static std::size_t CountRecords(const CCustomer& c)
    {
        std::size_t n = 0;
        for (int k = 0; k < c.cables.Count(); ++k)
            n += CountRecords(c.cables.At(k));
        return n;
    }
    static std::size_t CountRecords(const CCable& c)
    {
        std::size_t n = 0;
        for (int s = 0; s < c.sets.Count(); ++s)
            n += c.sets.At(s).RecordCount();
        return n;
    }
    static std::size_t CountRecords(const CMeasData& s) { return s.RecordCount(); }

private:
    std::vector<JournalItem>& m_out;
};

// Names are paired across a rename by their CP932 bytes (old, new), per level.
using RenamePairs = std::set<std::pair<std::string, std::string>>;

// Some entries of a named list, by pointer, with the list's Count, At and Find.
template <class T> class SubList {
public:
    void Add(const CNamedList<T>& list, const std::string& name)
    {
        const int i = list.Find(name);
        if (i >= 0 && Find(list.At(i).name) < 0)
            m_items.push_back(&list.At(i));
    }
    int Count() const { return static_cast<int>(m_items.size()); }
    const T& At(int i) const { return *m_items[static_cast<std::size_t>(i)]; }
    int Find(std::string_view name) const
    {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (CompareNames(m_items[i]->name, name) == 0)
                return static_cast<int>(i);
        return -1;
    }

private:
    std::vector<const T*> m_items;
};

} // namespace

std::string KeyText(const CMeasRecord& record)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string key = recordcodec::ContentKey(record);
    std::string out;
    out.reserve(key.size() * 2);
    for (unsigned char c : key) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

uint64_t StateHash(const CMeasRecord& record)
{
    return recordcodec::Hash64(recordcodec::EncodeRecord(record));
}

std::vector<FieldChange> CompareRecords(const CMeasRecord& b, const CMeasRecord& a)
{
    std::vector<FieldChange> out;
    compare(out, "測定開始日時", utf8(mxrfmt::StartDateTimeText(b)), utf8(mxrfmt::StartDateTimeText(a)));
    compare(out, "試験電圧(kV)", number(b.TestVoltage), number(a.TestVoltage));
    compare(out, "データ番号", std::to_string(b.DataNo), std::to_string(a.DataNo));
    compare(out, "状態フラグ", std::to_string(b.StatusFlag), std::to_string(a.StatusFlag));
    compare(out, "レンジ", std::to_string(b.RangeFlag), std::to_string(a.RangeFlag));
    compare(out, "測定点", pointsText(b.Points), pointsText(a.Points));
    if (b.Points.size() == a.Points.size() && b.Points != a.Points) {
        std::size_t differ = 0;
        for (std::size_t i = 0; i < b.Points.size(); ++i)
            differ += b.Points[i] == a.Points[i] ? 0 : 1;
        out.push_back({"測定点の値", std::to_string(differ) + " 点が異なる",
                       std::to_string(differ) + " 点が異なる"});
    }
    for (const condfields::ConditionField& f : condfields::Fields())
        compare(out, conditionLabel(f), conditionValue(f, b.Condition),
                conditionValue(f, a.Condition));
    compare(out, "トリガーレベル(μA)", number(b.TriggerLevel), number(a.TriggerLevel));
    compare(out, "最終値の点", std::to_string(b.UsedPoints), std::to_string(a.UsedPoints));
    compare(out, "最終値(μA)", number(b.LastCurrent), number(a.LastCurrent));
    compare(out, "成極比", number(b.SeikyokuRatio), number(a.SeikyokuRatio));
    compare(out, "弱点比", number(b.JyakutenRatio), number(a.JyakutenRatio));
    compare(out, "成極比表示", std::to_string(b.ShowSeikyoku), std::to_string(a.ShowSeikyoku));
    compare(out, "弱点比表示", std::to_string(b.ShowJyakuten), std::to_string(a.ShowJyakuten));
    if (b.Triggers != a.Triggers)
        out.push_back({"トリガーイベント", triggersText(b.Triggers), triggersText(a.Triggers)});
    compare(out, "予備", number(b.Reserved), number(a.Reserved));
    return out;
}

std::vector<JournalItem> DiffTrees(const CCustomerDB& before, const CCustomerDB& after,
                                   const std::vector<cmd::Change>& changes)
{
    // The customers to compare: all of them, or those the changes name (old and new names).
    bool whole = changes.empty();
    bool pairKeys = false;
    std::set<std::string> customers; // CP932, folded as the tree compares names
    RenamePairs renames[3];
    for (const cmd::Change& c : changes) {
        switch (c.kind) {
        case cmd::Kind::RecalculateAll: whole = true; break;
        case cmd::Kind::ImportMerge:
            if (c.path.customer.empty())
                whole = true;
            break;
        case cmd::Kind::EditMeasurement:
        case cmd::Kind::ChooseFinalValue: pairKeys = true; break;
        case cmd::Kind::RenameName: {
            const std::string& old = c.level == cmd::Level::Customer ? c.path.customer
                                     : c.level == cmd::Level::Cable  ? c.path.cable
                                                                     : c.path.set;
            renames[static_cast<int>(c.level)].insert({old, c.newName});
            if (c.level == cmd::Level::Customer)
                customers.insert(c.newName);
            break;
        }
        default: break;
        }
        if (c.kind == cmd::Kind::AddName && c.level == cmd::Level::Customer)
            customers.insert(c.newName);
        customers.insert(c.path.customer);
    }

    std::vector<JournalItem> out;
    Differ d(out);
    auto sets = [&](const Names& at, const CCable* b, const CCable* a) {
        d.Level(ItemLevel::Set, at, b ? &b->sets : nullptr, a ? &a->sets : nullptr, renames[2],
                [&](const Names& s, const CMeasData* bs, const CMeasData* as) {
                    d.Sets(s, bs, as, pairKeys);
                });
    };
    auto cables = [&](const Names& at, const CCustomer* b, const CCustomer* a) {
        d.Level(ItemLevel::Cable, at, b ? &b->cables : nullptr, a ? &a->cables : nullptr,
                renames[1], sets);
    };
    if (whole) {
        d.Level(ItemLevel::Customer, Names{}, &before.customers, &after.customers, renames[0],
                cables);
        return out;
    }
    // Only the customers named, compared as whole trees would be (without copying them).
    SubList<CCustomer> b, a;
    for (const std::string& name : customers) {
        b.Add(before.customers, name);
        a.Add(after.customers, name);
    }
    d.Level(ItemLevel::Customer, Names{}, &b, &a, renames[0], cables);
    return out;
}

std::string StepName(const std::vector<cmd::Change>& changes)
{
    if (changes.empty())
        return "変更";
    const cmd::Change& c = changes.front();
    static constexpr const char* kLevel[] = {"顧客", "ケーブル", "データ"};
    const char* level = kLevel[static_cast<int>(c.level)];
    const std::string& oldName = c.level == cmd::Level::Customer ? c.path.customer
                                 : c.level == cmd::Level::Cable  ? c.path.cable
                                                                 : c.path.set;
    std::string name;
    switch (c.kind) {
    case cmd::Kind::AddName: name = std::string(level) + "の追加: " + utf8(c.newName); break;
    case cmd::Kind::RenameName:
        name = std::string(level) + "名の変更: " + utf8(oldName) + " → " + utf8(c.newName);
        break;
    case cmd::Kind::RemoveName: name = std::string(level) + "の削除: " + utf8(oldName); break;
    case cmd::Kind::RemoveMeasurement: name = "測定データの削除"; break;
    case cmd::Kind::EditMeasurement: name = "測定データの編集"; break;
    case cmd::Kind::SetMeasurementDisplay: name = "判定表示の変更"; break;
    case cmd::Kind::EditCondition: name = "測定条件の変更"; break;
    case cmd::Kind::SetCriteria: name = "判定基準の変更"; break;
    case cmd::Kind::ApplyDisplayToRecords: name = "判定表示を過去データに適用"; break;
    case cmd::Kind::ChooseFinalValue: name = "最終値の選択"; break;
    case cmd::Kind::RegisterReceived:
        name = "測定データ " + std::to_string(c.count) + " 件の登録";
        break;
    case cmd::Kind::ImportMerge: name = "データの取り込み"; break;
    case cmd::Kind::RecalculateAll: name = "全データの再計算"; break;
    }
    if (changes.size() > 1)
        name += " ほか " + std::to_string(changes.size() - 1) + " 件";
    return name;
}

JournalEntry MakeEntry(const CCustomerDB& before, const CCustomerDB& after,
                       const std::vector<cmd::Change>& changes, const Actor& actor, int64_t now)
{
    JournalEntry e;
    e.time = now;
    e.user = actor.user;
    e.workstation = actor.workstation;
    e.command = changes.empty() ? "change" : cmd::KindName(changes.front().kind);
    e.summary = StepName(changes);
    e.items = DiffTrees(before, after, changes);
    return e;
}

} // namespace ws
