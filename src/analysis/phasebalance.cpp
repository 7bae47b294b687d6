// Phase balance: grouping of R, S and T records by day and test voltage, unbalance ratios.
#include "analysis/phasebalance.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "analysis/analysistext.h"
#include "model/cp932text.h"

namespace analysis {
namespace {

using cp932::lit;

// What identifies a row of the phase table. Dated records group by day and voltage; a record
// without a date groups only with the records of its own set at its voltage.
struct GroupKey {
    bool dated = false;
    double day = 0.0;
    std::string undatedSet; // set name for undated records
    long long voltage = 0;  // test voltage in 10 V steps, as the tester sends it

    bool operator<(const GroupKey& o) const
    {
        // Dated rows first, by day; then undated rows by set; voltage last.
        if (dated != o.dated)
            return dated;
        return std::tie(day, undatedSet, voltage) < std::tie(o.day, o.undatedSet, o.voltage);
    }
};

struct Entry {
    const CMeasRecord* record = nullptr;
    RecordRef ref;
};

GroupKey keyOf(const CMeasRecord& r, const std::string& setName)
{
    GroupKey k;
    k.voltage = std::llround(r.TestVoltage * 100.0);
    if (auto day = text::dayOf(r.StartTime)) {
        k.dated = true;
        k.day = *day;
    } else {
        k.undatedSet = setName;
    }
    return k;
}

int phaseIndex(const CMeasRecord& r)
{
    const Phase p = RecordPhase(r);
    return p == Phase::R || p == Phase::S || p == Phase::T ? static_cast<int>(p) : -1;
}

// Later start time wins; without dates the later entry in tree order wins.
bool laterThan(const CMeasRecord& a, const CMeasRecord& b)
{
    const bool av = a.StartTime.status == OleDateTime::Valid;
    const bool bv = b.StartTime.status == OleDateTime::Valid;
    if (av && bv)
        return a.StartTime.date >= b.StartTime.date;
    return true;
}

bool present(double mA)
{
    return text::isValue(mA) && mA != 0.0;
}

PhaseGroup makeGroup(const GroupKey& key, const std::vector<Entry>& entries, double limit)
{
    PhaseGroup g;
    g.testVoltage = static_cast<double>(key.voltage) / 100.0;
    if (key.dated) {
        g.day = OleDateTime{key.day, OleDateTime::Valid};
        g.dayText = g.day.format("%Y/%m/%d");
    }
    std::array<const CMeasRecord*, 3> chosen{};
    std::array<int, 3> counts{};
    for (const Entry& e : entries) {
        const int p = phaseIndex(*e.record);
        ++counts[p];
        if (!chosen[p] || laterThan(*e.record, *chosen[p])) {
            chosen[p] = e.record;
            g.record[p] = e.ref;
        }
    }
    for (int p = 0; p < 3; ++p) {
        if (chosen[p] && text::isValue(chosen[p]->LastCurrent))
            g.finalValue[p] = chosen[p]->LastCurrent;
    }
    g.leakage = UnbalanceOf(g.finalValue, limit);

    // Shield currents: from the first chosen record whose condition block holds all three;
    // otherwise whatever the first chosen record holds.
    const CMeasRecord* shieldFrom = nullptr;
    for (const CMeasRecord* r : chosen) {
        if (r && present(r->Condition.CurrentR) && present(r->Condition.CurrentS) &&
            present(r->Condition.CurrentT)) {
            shieldFrom = r;
            break;
        }
    }
    if (!shieldFrom)
        for (const CMeasRecord* r : chosen)
            if (r && !shieldFrom)
                shieldFrom = r;
    if (shieldFrom) {
        const double mA[3] = {shieldFrom->Condition.CurrentR, shieldFrom->Condition.CurrentS,
                              shieldFrom->Condition.CurrentT};
        for (int p = 0; p < 3; ++p)
            if (present(mA[p]))
                g.shieldCurrent[p] = mA[p];
    }
    g.shield = UnbalanceOf(g.shieldCurrent, limit);

    std::string missing;
    for (int p = 0; p < 3; ++p) {
        if (g.finalValue[p])
            continue;
        if (!missing.empty())
            missing += lit("・");
        missing += PhaseText(static_cast<Phase>(p));
    }
    if (!missing.empty())
        g.note = missing + lit("の測定なし");
    for (int p = 0; p < 3; ++p) {
        if (counts[p] > 1) {
            if (!g.note.empty())
                g.note += lit("、");
            g.note += PhaseText(static_cast<Phase>(p)) + formatC(" %d", counts[p]) +
                      lit("回測定 (最新を使用)");
        }
    }
    return g;
}

using Groups = std::map<GroupKey, std::vector<Entry>>;

void collect(Groups& groups, const CMeasData& set)
{
    const auto& records = set.Records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CMeasRecord& r = records[i];
        if (phaseIndex(r) < 0 || !std::isfinite(r.TestVoltage))
            continue; // no phase, or a voltage only a damaged file holds
        groups[keyOf(r, set.name)].push_back(Entry{&r, RecordRef{set.name, i}});
    }
}

std::vector<PhaseGroup> build(const Groups& groups, const AnalysisThresholds& t,
                              const std::set<std::tuple<bool, double, std::string>>* days)
{
    std::vector<PhaseGroup> out;
    for (const auto& [key, entries] : groups) {
        if (days && !days->count({key.dated, key.day, key.undatedSet}))
            continue;
        out.push_back(makeGroup(key, entries, t.unbalanceLimitPercent));
    }
    return out;
}

} // namespace

Phase RecordPhase(const CMeasRecord& r)
{
    switch (r.Condition.CabKind) {
    case CabKindR: return Phase::R;
    case CabKindS: return Phase::S;
    case CabKindT: return Phase::T;
    case CabKindThreePhase: return Phase::ThreePhase;
    default: return Phase::None;
    }
}

const std::string& PhaseText(Phase p)
{
    switch (p) {
    case Phase::R: return CabKindText(CabKindR);
    case Phase::S: return CabKindText(CabKindS);
    case Phase::T: return CabKindText(CabKindT);
    case Phase::ThreePhase: return CabKindText(CabKindThreePhase);
    default: return CabKindText(CabKindNone);
    }
}

Unbalance UnbalanceOf(const std::array<std::optional<double>, 3>& values, double limitPercent)
{
    Unbalance u;
    u.text = "---";
    double lo = 0, hi = 0, sum = 0;
    for (int p = 0; p < 3; ++p) {
        if (!values[p] || !std::isfinite(*values[p]))
            return u; // MissingPhase
        const double v = *values[p];
        lo = p == 0 ? v : std::min(lo, v);
        hi = p == 0 ? v : std::max(hi, v);
        sum += v;
    }
    const double mean = sum / 3.0;
    // Currents are not negative; a mean that is not above zero has no meaningful ratio.
    if (!(mean > 0.0)) {
        u.status = UnbalanceStatus::ZeroMean;
        return u;
    }
    u.status = UnbalanceStatus::Ok;
    u.percent = (hi - lo) / mean * 100.0;
    u.exceeds = u.percent >= limitPercent;
    u.text = formatC("%.1lf %%", u.percent);
    return u;
}

std::vector<PhaseGroup> PhaseBalanceOfSet(const CMeasData& set, const AnalysisThresholds& t)
{
    Groups groups;
    collect(groups, set);
    return build(groups, t, nullptr);
}

std::vector<PhaseGroup> PhaseBalanceOfCable(const CCable& cable, const AnalysisThresholds& t)
{
    Groups groups;
    for (int s = 0; s < cable.sets.Count(); ++s)
        collect(groups, cable.sets.At(s));
    return build(groups, t, nullptr);
}

std::vector<PhaseGroup> PhaseBalanceAroundSet(const CCable& cable, const std::string& setName,
                                              const AnalysisThresholds& t)
{
    const auto pos = cable.sets.Find(setName);
    if (pos < 0)
        return {};
    const CMeasData& chosen = cable.sets.At(pos);
    std::set<std::tuple<bool, double, std::string>> days;
    for (const CMeasRecord& r : chosen.Records()) {
        const GroupKey k = keyOf(r, chosen.name);
        days.insert({k.dated, k.day, k.undatedSet});
    }
    Groups groups;
    for (int s = 0; s < cable.sets.Count(); ++s)
        collect(groups, cable.sets.At(s));
    return build(groups, t, &days);
}

} // namespace analysis
