// The cable analysis as JSON: history, phase balance, step tests, curve signs and judgment
// explanations of one cable or one set (mxrtool analyze, the web viewer's API).
#include "analysisjson.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/history.h"
#include "jsonout.h"

using namespace analysis;

namespace {

const char* signKey(SignKind k)
{
    switch (k) {
    case SignKind::TriggerKick: return "kick";
    case SignKind::Spike: return "spike";
    case SignKind::GradualRise: return "rise";
    default: return "lowPolarization";
    }
}

const char* judgedKey(JudgedValue v)
{
    switch (v) {
    case JudgedValue::LastCurrent: return "LastCurrent";
    case JudgedValue::Seikyoku: return "SeikyokuRatio";
    default: return "JyakutenRatio";
    }
}

const char* statusKey(UnbalanceStatus s)
{
    switch (s) {
    case UnbalanceStatus::Ok: return "ok";
    case UnbalanceStatus::ZeroMean: return "zeroMean";
    default: return "missingPhase";
    }
}

using Scope = JsonOut::Scope;
using Layout = JsonOut::Layout;

// A value that may be missing: null then.
void optionalNumber(Scope& a, const std::optional<double>& v)
{
    if (v)
        a.number(*v);
    else
        a.null();
}

// The three phases' values as an inline array.
void phaseValues(Scope&& a, const std::array<std::optional<double>, 3>& v)
{
    for (const auto& value : v)
        optionalNumber(a, value);
}

// The items as an array with each on a line of its own.
template <class Item, class Write>
void writeArray(Scope&& a, const std::vector<Item>& items, Write write)
{
    for (const Item& item : items)
        write(a, item);
}

void writeUnbalance(Scope&& o, const Unbalance& u)
{
    o.string("status", statusKey(u.status));
    o.number("percent", u.percent);
    o.boolean("exceeds", u.exceeds);
    o.cp932("text", u.text);
}

void writePhaseGroups(Scope&& a, const std::vector<PhaseGroup>& groups)
{
    for (const PhaseGroup& g : groups) {
        Scope o = a.object(Layout::Flow);
        o.cp932("day", g.dayText);
        o.number("TestVoltage", g.testVoltage);
        phaseValues(o.array("final", Layout::Inline), g.finalValue);
        {
            Scope records = o.array("records", Layout::Inline);
            for (const auto& r : g.record) {
                if (!r) {
                    records.null();
                    continue;
                }
                Scope ref = records.object(Layout::Inline);
                ref.cp932("set", r->setName);
                ref.integer("index", static_cast<long long>(r->index));
            }
        }
        o.wrap();
        writeUnbalance(o.object("unbalance", Layout::Inline), g.leakage);
        o.wrap();
        phaseValues(o.array("shield", Layout::Inline), g.shieldCurrent);
        writeUnbalance(o.object("shieldUnbalance", Layout::Inline), g.shield);
        o.cp932("note", g.note);
    }
}

void writeSign(Scope&& o, const CurveSign& c)
{
    o.string("kind", signKey(c.kind));
    o.numbers({
        {"start", c.start},
        {"stop", c.stop},
        {"value", c.value},
        {"reference", c.reference},
    });
    o.cp932("text", c.text);
}

void writeRise(Scope&& o, const RiseFit& r)
{
    o.boolean("evaluated", r.evaluated);
    o.numbers({
        {"windowStart", r.windowStart},
        {"windowStop", r.windowStop},
        {"slope", r.slope},
        {"median", r.median},
        {"slopePercent", r.slopePercent},
    });
    o.boolean("rising", r.rising);
}

void writeRecord(Scope&& o, const StepSummary& s)
{
    o.integer("index", static_cast<long long>(s.index));
    o.cp932("phase", PhaseText(s.phase));
    o.cp932("start", s.start.status == OleDateTime::Null ? std::string()
                                                         : s.start.format("%Y/%m/%d %H:%M:%S"));
    o.wrap();
    o.numbers({
        {"TestVoltage", s.testVoltage},
        {"LastCurrent", s.finalValue},
        {"SeikyokuRatio", s.seikyokuRatio},
        {"JyakutenRatio", s.jyakutenRatio},
    });
    o.wrap();
    {
        Scope judgments = o.array("judgments", Layout::Flow);
        for (const JudgmentExplanation& e : s.judgments) {
            judgments.wrap();
            Scope j = judgments.object(Layout::Inline);
            j.string("value", judgedKey(e.which));
            if (e.judgment)
                j.cp932("judgment", JudgmentWord(*e.judgment));
            else
                j.null("judgment");
            j.cp932("text", e.text);
        }
    }
    o.wrap();
    writeArray(o.array("signs", Layout::Lines), s.signs.signs,
               [](Scope& a, const CurveSign& c) { writeSign(a.object(Layout::Inline), c); });
    o.wrap();
    writeRise(o.object("rise", Layout::Inline), s.signs.rise);
}

void writeStepPoint(Scope&& o, const StepPoint& p)
{
    o.integer("index", static_cast<long long>(p.index));
    o.numbers({
        {"TestVoltage", p.testVoltage},
        {"LastCurrent", p.finalValue},
        {"predicted", p.predicted},
        {"departure", p.departure},
        {"line", p.lineValue},
        {"lineRatio", p.lineRatio},
        {"JyakutenRatio", p.jyakutenRatio},
    });
    o.boolean("knee", p.knee);
}

void writeStepCurve(Scope&& o, const StepCurve& c)
{
    o.cp932("phase", PhaseText(c.phase));
    o.number("slope", c.slope);
    o.integer("knee", c.kneeIndex);
    o.cp932("text", c.text);
    writeArray(o.array("points", Layout::Lines), c.steps,
               [](Scope& a, const StepPoint& p) { writeStepPoint(a.object(Layout::Inline), p); });
}

void writeSet(Scope&& o, const SetSummary& s)
{
    o.cp932("name", s.name);
    o.cp932("date", s.dateText);
    o.number("insulation", s.insulation);
    o.integer("badCount", s.badCount);
    o.integer("cautionCount", s.cautionCount);
    o.integer("signCount", s.signCount);
    o.wrap();
    writeArray(o.array("records", Layout::Lines), s.steps,
               [](Scope& a, const StepSummary& r) { writeRecord(a.object(Layout::Wrapped), r); });
    o.wrap();
    writeArray(o.array("steps", Layout::Lines), s.stepCurves,
               [](Scope& a, const StepCurve& c) { writeStepCurve(a.object(Layout::Inline), c); });
    o.wrap();
    writePhaseGroups(o.array("phases", Layout::Lines), s.phases);
}

void writeThresholds(Scope&& o, const AnalysisThresholds& t)
{
    o.numbers({
        {"UnbalanceLimit", t.unbalanceLimitPercent},
        {"SpikeFactor", t.spikeFactor},
        {"SpikeWindowSec", t.spikeWindowSeconds},
        {"SpikeMinDelta", t.spikeMinDelta},
        {"RiseMinutes", t.riseWindowMinutes},
        {"RiseSlopePercent", t.riseSlopePercentPerMinute},
        {"KneeFactor", t.kneeFactor},
    });
    o.integer("TriggValidSec", t.triggValidSec);
}

} // namespace

std::string CableAnalysisJson(const CCustomer& customer, const CCable& cable, const CMeasData* set,
                              const AnalysisThresholds& t)
{
    std::vector<SetSummary> sets;
    std::vector<PhaseGroup> phases;
    if (set) {
        sets.push_back(SummarizeSet(cable, *set, t));
        phases = sets.back().phases;
    } else {
        sets = BuildCableHistory(customer.name, cable, t).sets;
        phases = PhaseBalanceOfCable(cable, t);
    }

    JsonOut j;
    {
        Scope doc = j.object(Layout::Wrapped);
        doc.cp932("customer", customer.name);
        doc.cp932("cable", cable.name);
        doc.wrap();
        writeThresholds(doc.object("thresholds", Layout::Inline), t);
        doc.wrap();
        writeArray(doc.array("sets", Layout::Lines), sets,
                   [](Scope& a, const SetSummary& s) { writeSet(a.object(Layout::Wrapped), s); });
        doc.wrap();
        writePhaseGroups(doc.array("phases", Layout::Lines), phases);
    }
    j.text += '\n';
    return j.text;
}
