// analyze: the cable analysis (history, phase balance, step test, curve signs, judgment
// explanations) of one cable or one set, as JSON.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysissettings.h"
#include "analysis/history.h"
#include "settings/appfolder.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "jsonout.h"
#include "namedrecord.h"
#include "model/customerdb.h"
#include "toolmessages.h"

using namespace analysis;

namespace {

constexpr const char* kUsage = "analyze STORE --customer C --cable K [--set S]";

struct AnalyzeArgs {
    QString store, customer, cable, set;
};

std::optional<QString> parse(const QStringList& args, AnalyzeArgs& a)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg != "--customer" && arg != "--cable" && arg != "--set") {
            if (!a.store.isEmpty())
                return ToolText(ToolMsg::UnexpectedArgument, {arg});
            a.store = arg;
            continue;
        }
        if (i + 1 >= args.size())
            return ToolText(ToolMsg::NeedsValue, {arg});
        const QString value = args[++i];
        (arg == "--customer" ? a.customer : arg == "--cable" ? a.cable : a.set) = value;
    }
    if (a.store.isEmpty() || a.customer.isEmpty() || a.cable.isEmpty())
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}

// The limits of system.ini in the application folder, read without writing anything.
AnalysisThresholds thresholds(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    return folder ? ReadAnalysisThresholds(*folder + "/" + kSystemIniName) : AnalysisThresholds{};
}

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

void boolField(JsonOut& j, const char* k, bool v)
{
    j.key(k);
    j.text += v ? "true, " : "false, ";
}

void optionalNumber(JsonOut& j, const std::optional<double>& v)
{
    if (v)
        j.number(*v);
    else
        j.text += "null";
}

void closeObject(JsonOut& j, int indent)
{
    j.newline(indent);
    j.text += '}';
}

// Drops the separator after the last member or element.
void trimSeparator(JsonOut& j)
{
    while (!j.text.empty() && (j.text.back() == ' ' || j.text.back() == ','))
        j.text.pop_back();
}

// The items as a JSON array, each on a line of its own indented one step deeper than ind.
template <class Item, class Write>
void writeArray(JsonOut& j, const std::vector<Item>& items, int ind, Write write)
{
    j.text += '[';
    for (const Item& item : items) {
        j.newline(ind + 1);
        write(item);
        j.text += ',';
    }
    trimSeparator(j);
    if (!items.empty())
        j.newline(ind);
    j.text += "], ";
}

void writeUnbalance(JsonOut& j, const char* k, const Unbalance& u)
{
    j.key(k);
    j.text += "{";
    j.key("status");
    j.string(statusKey(u.status));
    j.text += ", ";
    j.numberField("percent", u.percent);
    boolField(j, "exceeds", u.exceeds);
    j.textField("text", u.text);
    trimSeparator(j);
    j.text += "}, ";
}

void writePhaseGroups(JsonOut& j, const std::vector<PhaseGroup>& groups, int ind)
{
    j.text += '[';
    for (const PhaseGroup& g : groups) {
        j.newline(ind + 1);
        j.text += '{';
        j.textField("day", g.dayText);
        j.numberField("TestVoltage", g.testVoltage);
        j.key("final");
        j.text += '[';
        for (int p = 0; p < 3; ++p) {
            optionalNumber(j, g.finalValue[p]);
            j.text += p < 2 ? ", " : "], ";
        }
        j.key("records");
        j.text += '[';
        for (int p = 0; p < 3; ++p) {
            if (g.record[p]) {
                j.text += '{';
                j.textField("set", g.record[p]->setName);
                j.integerField("index", static_cast<long long>(g.record[p]->index));
                trimSeparator(j);
                j.text += '}';
            } else {
                j.text += "null";
            }
            j.text += p < 2 ? ", " : "], ";
        }
        j.newline(ind + 2);
        writeUnbalance(j, "unbalance", g.leakage);
        j.newline(ind + 2);
        j.key("shield");
        j.text += '[';
        for (int p = 0; p < 3; ++p) {
            optionalNumber(j, g.shieldCurrent[p]);
            j.text += p < 2 ? ", " : "], ";
        }
        writeUnbalance(j, "shieldUnbalance", g.shield);
        j.textField("note", g.note);
        trimSeparator(j);
        j.text += "},";
    }
    trimSeparator(j);
    if (!groups.empty())
        j.newline(ind);
    j.text += ']';
}

void writeRecord(JsonOut& j, const StepSummary& s, int ind)
{
    j.text += '{';
    j.newline(ind + 1);
    j.integerField("index", static_cast<long long>(s.index));
    j.textField("phase", PhaseText(s.phase));
    j.textField("start", s.start.status == OleDateTime::Null ? std::string()
                                                             : s.start.format("%Y/%m/%d %H:%M:%S"));
    j.newline(ind + 1);
    j.numberField("TestVoltage", s.testVoltage);
    j.numberField("LastCurrent", s.finalValue);
    j.numberField("SeikyokuRatio", s.seikyokuRatio);
    j.numberField("JyakutenRatio", s.jyakutenRatio);
    j.newline(ind + 1);
    j.key("judgments");
    j.text += '[';
    for (const JudgmentExplanation& e : s.judgments) {
        j.newline(ind + 2);
        j.text += '{';
        j.key("value");
        j.string(judgedKey(e.which));
        j.text += ", ";
        j.key("judgment");
        if (e.judgment)
            j.cp932(JudgmentWord(*e.judgment));
        else
            j.text += "null";
        j.text += ", ";
        j.textField("text", e.text);
        trimSeparator(j);
        j.text += "},";
    }
    trimSeparator(j);
    j.text += "], ";
    j.newline(ind + 1);
    j.key("signs");
    writeArray(j, s.signs.signs, ind + 1, [&](const CurveSign& c) {
        j.text += '{';
        j.key("kind");
        j.string(signKey(c.kind));
        j.text += ", ";
        j.numberField("start", c.start);
        j.numberField("stop", c.stop);
        j.numberField("value", c.value);
        j.numberField("reference", c.reference);
        j.textField("text", c.text);
        trimSeparator(j);
        j.text += '}';
    });
    j.newline(ind + 1);
    const RiseFit& r = s.signs.rise;
    j.key("rise");
    j.text += '{';
    boolField(j, "evaluated", r.evaluated);
    j.numberField("windowStart", r.windowStart);
    j.numberField("windowStop", r.windowStop);
    j.numberField("slope", r.slope);
    j.numberField("median", r.median);
    j.numberField("slopePercent", r.slopePercent);
    boolField(j, "rising", r.rising);
    trimSeparator(j);
    j.text += '}';
    closeObject(j, ind);
}

void writeStepCurve(JsonOut& j, const StepCurve& c, int ind)
{
    j.text += '{';
    j.textField("phase", PhaseText(c.phase));
    j.numberField("slope", c.slope);
    j.integerField("knee", c.kneeIndex);
    j.textField("text", c.text);
    j.key("points");
    j.text += '[';
    for (const StepPoint& p : c.steps) {
        j.newline(ind + 1);
        j.text += '{';
        j.integerField("index", static_cast<long long>(p.index));
        j.numberField("TestVoltage", p.testVoltage);
        j.numberField("LastCurrent", p.finalValue);
        j.numberField("predicted", p.predicted);
        j.numberField("departure", p.departure);
        j.numberField("line", p.lineValue);
        j.numberField("lineRatio", p.lineRatio);
        j.numberField("JyakutenRatio", p.jyakutenRatio);
        boolField(j, "knee", p.knee);
        trimSeparator(j);
        j.text += "},";
    }
    trimSeparator(j);
    if (!c.steps.empty())
        j.newline(ind);
    j.text += "]}";
}

void writeSet(JsonOut& j, const SetSummary& s, int ind)
{
    j.text += '{';
    j.newline(ind + 1);
    j.textField("name", s.name);
    j.textField("date", s.dateText);
    j.numberField("insulation", s.insulation);
    j.integerField("badCount", s.badCount);
    j.integerField("cautionCount", s.cautionCount);
    j.integerField("signCount", s.signCount);
    j.newline(ind + 1);
    j.key("records");
    writeArray(j, s.steps, ind + 1, [&](const StepSummary& r) { writeRecord(j, r, ind + 2); });
    j.newline(ind + 1);
    j.key("steps");
    writeArray(j, s.stepCurves, ind + 1,
               [&](const StepCurve& c) { writeStepCurve(j, c, ind + 2); });
    j.newline(ind + 1);
    j.key("phases");
    writePhaseGroups(j, s.phases, ind + 1);
    closeObject(j, ind);
}

void writeThresholds(JsonOut& j, const AnalysisThresholds& t)
{
    j.key("thresholds");
    j.text += '{';
    j.numberField("UnbalanceLimit", t.unbalanceLimitPercent);
    j.numberField("SpikeFactor", t.spikeFactor);
    j.numberField("SpikeWindowSec", t.spikeWindowSeconds);
    j.numberField("SpikeMinDelta", t.spikeMinDelta);
    j.numberField("RiseMinutes", t.riseWindowMinutes);
    j.numberField("RiseSlopePercent", t.riseSlopePercentPerMinute);
    j.numberField("KneeFactor", t.kneeFactor);
    j.integerField("TriggValidSec", t.triggValidSec);
    trimSeparator(j);
    j.text += "}, ";
}

} // namespace

int runAnalyzeCommand(const ToolContext& ctx, const QStringList& args)
{
    AnalyzeArgs a;
    if (const auto problem = parse(args, a))
        return usageError(*problem);

    CCustomerDB db;
    NamedRecord found;
    if (const int failed = LoadNamedRecord({a.store, a.customer, a.cable, a.set, -1}, db, found))
        return failed;
    const CCable& cable = *found.cable;

    const AnalysisThresholds t = thresholds(ctx);
    std::vector<SetSummary> sets;
    std::vector<PhaseGroup> phases;
    if (found.set) {
        sets.push_back(SummarizeSet(cable, *found.set, t));
        phases = sets.back().phases;
    } else {
        sets = BuildCableHistory(found.customer->name, cable, t).sets;
        phases = PhaseBalanceOfCable(cable, t);
    }

    JsonOut j;
    j.text += '{';
    j.newline(1);
    j.textField("customer", found.customer->name);
    j.textField("cable", cable.name);
    j.newline(1);
    writeThresholds(j, t);
    j.newline(1);
    j.key("sets");
    writeArray(j, sets, 1, [&](const SetSummary& s) { writeSet(j, s, 2); });
    j.newline(1);
    j.key("phases");
    writePhaseGroups(j, phases, 1);
    j.newline(0);
    j.text += "}\n";
    std::fwrite(j.text.data(), 1, j.text.size(), stdout);
    return 0;
}
