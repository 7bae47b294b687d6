// fleet: every cable of a store with its retest plan and health score, as JSON or CSV. Reads
// the workspace's register and its summary cache (rows the cache lacked are added to it); a
// store without a workspace is planned with the default intervals and nothing is written.
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysissettings.h"
#include "commands.h"
#include "fleet/fleetbuild.h"
#include "fleet/fleettable.h"
#include "jsonout.h"
#include "model/cp932text.h"
#include "namedrecord.h"
#include "settings/appfolder.h"
#include "settings/settingskeys.h"
#include "store/store.h"
#include "toolmessages.h"

using namespace Qt::StringLiterals;

namespace {

using Layout = JsonOut::Layout;
using Scope = JsonOut::Scope;

constexpr const char* kUsage = "fleet STORE [--customer C] [--due-before YYYY-MM-DD] "
                               "[--as-of YYYY-MM-DD] [--format json|csv]";

struct FleetArgs {
    QString store;
    std::vector<std::string> customers; // CP932
    std::optional<fleet::Day> dueBefore, asOf;
    bool csv = false;
};

std::optional<QString> parse(const QStringList& args, FleetArgs& a)
{
    const auto problem = ParseStoreArguments(
        args, {"--customer"_L1, "--due-before"_L1, "--as-of"_L1, "--format"_L1}, a.store,
        [&](const QString& option, const QString& value) -> std::optional<QString> {
            if (option == "--customer") {
                const auto name = cp932::fromUtf8(value.toStdString());
                if (!name)
                    return ToolText(ToolMsg::BadValueGiven, {option, value});
                a.customers.push_back(*name);
                return std::nullopt;
            }
            if (option == "--format") {
                if (value != "json"_L1 && value != "csv"_L1)
                    return ToolText(ToolMsg::BadValueGiven, {option, value});
                a.csv = value == "csv"_L1;
                return std::nullopt;
            }
            const auto day = fleet::ParseDay(value.toStdString());
            if (!day || value.size() != 10)
                return ToolText(ToolMsg::BadValueGiven, {option, value});
            (option == "--as-of" ? a.asOf : a.dueBefore) = day;
            return std::nullopt;
        });
    if (problem)
        return problem;
    if (a.store.isEmpty())
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}

const char* judgmentKey(Judgment j)
{
    switch (j) {
    case Judgment::Good: return "good";
    case Judgment::Caution: return "caution";
    case Judgment::Bad: return "bad";
    }
    return "";
}

const char* trendKey(fleet::Trend t)
{
    switch (t) {
    case fleet::Trend::Better: return "better";
    case fleet::Trend::Steady: return "steady";
    case fleet::Trend::Worse: return "worse";
    default: return "";
    }
}

const char* sourceKey(fleet::IntervalSource s)
{
    switch (s) {
    case fleet::IntervalSource::Register: return "register";
    case fleet::IntervalSource::Customer: return "customer";
    default: return "default";
    }
}

template <class T> void optionalNumber(Scope& o, std::string_view key, const std::optional<T>& v)
{
    if (v)
        o.number(key, static_cast<double>(*v));
    else
        o.null(key);
}

void writeRegister(Scope& o, const fleet::CablePlan& p)
{
    if (!p.entry) {
        o.null("register");
        return;
    }
    const ws::CableRegisterEntry& e = *p.entry;
    Scope r = o.object("register", Layout::Inline);
    r.string("location", e.location);
    optionalNumber(r, "voltageKv", e.voltageKv);
    r.string("cableType", e.cableType);
    optionalNumber(r, "crossSection", e.crossSection);
    optionalNumber(r, "lengthM", e.lengthM);
    if (e.installYear)
        r.integer("installYear", *e.installYear);
    else
        r.null("installYear");
    r.string("importance", e.importance);
    if (e.intervalMonths)
        r.integer("intervalMonths", *e.intervalMonths);
    else
        r.null("intervalMonths");
    r.string("person", e.person);
    r.string("remarks", e.remarks);
}

void writeCable(Scope& cables, const fleet::CablePlan& p)
{
    Scope o = cables.object(Layout::Lines);
    o.integer("rank", p.rank);
    o.cp932("customer", p.customer);
    o.cp932("cable", p.cable);
    writeRegister(o, p);
    if (p.lastTest) {
        o.string("lastTest", fleet::IsoText(*p.lastTest));
        o.cp932("latestSet", p.latestSet);
    } else {
        o.null("lastTest");
        o.null("latestSet");
    }
    {
        Scope j = o.object("latestJudgment", Layout::Inline);
        const char* const phases[] = {"R", "S", "T", "threePhase"};
        for (std::size_t i = 0; i < 4; ++i)
            if (p.phaseJudgment[i])
                j.string(phases[i], judgmentKey(*p.phaseJudgment[i]));
            else
                j.null(phases[i]);
        if (p.worst)
            j.string("worst", judgmentKey(*p.worst));
        else
            j.null("worst");
    }
    if (p.trend == fleet::Trend::None) {
        o.null("trend");
        o.null("growthPercentPerYear");
    } else {
        o.string("trend", trendKey(p.trend));
        o.number("growthPercentPerYear", p.growthPercent);
    }
    o.integer("baseIntervalMonths", p.baseInterval);
    o.string("intervalSource", sourceKey(p.source));
    o.integer("intervalMonths", p.interval);
    if (p.nextDue) {
        o.string("nextDue", fleet::IsoText(*p.nextDue));
        o.integer("daysLeft", p.daysLeft);
    } else {
        o.null("nextDue");
        o.null("daysLeft");
    }
    o.string("status", fleet::StatusKey(p.status));
    o.string("statusText", fleet::StatusWord(p.status));
    optionalNumber(o, "score", p.score);
    {
        Scope list = o.array("contributions", Layout::Lines);
        for (const fleet::Contribution& c : p.contributions) {
            Scope e = list.object(Layout::Inline);
            e.string("key", c.key);
            e.string("text", c.text);
            e.number("points", c.points);
        }
    }
    {
        Scope list = o.array("reasons", Layout::Inline);
        for (const std::string& r : p.reasons)
            list.string(r);
    }
    o.string("reasonText", p.ReasonText());
}

bool wanted(const FleetArgs& a, const fleet::CablePlan& p)
{
    if (!a.customers.empty()) {
        bool found = false;
        for (const std::string& c : a.customers)
            found = found || ws::RegisterNameKey(c) == ws::RegisterNameKey(p.customer);
        if (!found)
            return false;
    }
    // An untested cable is due at once, whatever the day asked.
    if (a.dueBefore && p.nextDue && !(*p.nextDue < *a.dueBefore))
        return false;
    return true;
}

} // namespace

int runFleetCommand(const ToolContext& ctx, const QStringList& args)
{
    FleetArgs a;
    if (const auto problem = parse(args, a))
        return usageError(*problem);
    const std::string storePath = QFileInfo(a.store).absoluteFilePath().toStdString();
    if (!QFileInfo(a.store).isFile())
        return ToolFailure(ToolMsg::StoreNotRead, {a.store});
    CCustomerDB tree;
    const StoreOutcome loaded = LoadStore(tree, QFile::encodeName(a.store).toStdString());
    if (!loaded.ok)
        return ProgramFailure(ToolMsg::StoreNotRead, {a.store}, loaded.message);

    const auto folder = ApplicationFolder(ctx.homeOption, false);
    const std::string ini = folder ? *folder + "/" + kSystemIniName : std::string();
    const AnalysisThresholds t = folder ? ReadAnalysisThresholds(ini) : AnalysisThresholds{};
    const fleet::FleetSettings settings =
        folder ? fleet::ReadFleetSettings(ini) : fleet::FleetSettings{};
    const fleet::Day asOf = a.asOf ? *a.asOf : fleet::Today();

    ws::Workspace workspace;
    const ws::OpenOutcome opened = workspace.Open(storePath, false);
    if (opened.status != ws::OpenStatus::Missing && !opened.usable())
        ToolNote(ToolMsg::CannotOpen, {QFile::decodeName(ws::WorkspacePathFor(storePath).c_str()),
                                       QString::fromStdString(opened.error)});
    fleet::FleetBuildOutcome built;
    try {
        built =
            fleet::MakeFleet(tree, workspace.IsOpen() ? &workspace : nullptr, t, settings, asOf);
    } catch (const sqlite::Error& e) {
        return ToolFailure(ToolMsg::CannotOpen, {QFile::decodeName(workspace.Path().c_str()),
                                                 QString::fromUtf8(e.what())});
    }
    std::vector<fleet::CablePlan> shown;
    for (fleet::CablePlan& p : built.plans)
        if (wanted(a, p))
            shown.push_back(std::move(p));

    std::string text;
    if (a.csv) {
        text = fleet::FleetCsv(shown);
    } else {
        JsonOut j;
        {
            Scope root = j.object(Layout::Lines);
            root.string("store", storePath);
            root.string("asOf", fleet::IsoText(asOf));
            if (a.dueBefore)
                root.string("dueBefore", fleet::IsoText(*a.dueBefore));
            else
                root.null("dueBefore");
            root.integer("records", static_cast<long long>(built.records));
            root.integer("summariesComputed", static_cast<long long>(built.computed));
            Scope cables = root.array("cables", Layout::Lines);
            for (const fleet::CablePlan& p : shown)
                writeCable(cables, p);
        }
        j.text += '\n';
        text = std::move(j.text);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
