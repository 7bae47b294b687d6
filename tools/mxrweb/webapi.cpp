// The JSON under /api/: the same entries as the pages, in the shapes of mxrtool's documents
// (the dump's record members, the analysis document).
#include <array>
#include <optional>

#include "analysis/explain.h"
#include "analysis/phasebalance.h"
#include "analysisjson.h"
#include "jsonout.h"
#include "model/format.h"
#include "storejson.h"
#include "webids.h"
#include "webpages.h"

namespace web {

namespace {

using Scope = JsonOut::Scope;
using Layout = JsonOut::Layout;

PageOut json(std::string text)
{
    if (text.empty() || text.back() != '\n')
        text += '\n';
    return {200, "application/json; charset=utf-8", std::move(text), {}};
}

void recordSummary(Scope&& o, const CCustomer& c, const CCable& k, const CMeasData& s,
                   std::size_t index)
{
    const CMeasRecord& r = s.RecordAt(index);
    o.integer("index", static_cast<long long>(index));
    o.string("url", RecordUrl(c, k, s, index));
    o.integer("DataNo", r.DataNo);
    o.cp932("CabKind", mxrfmt::ConditionText(r.Condition));
    o.cp932("StartDateTime", mxrfmt::StartDateTimeText(r));
    o.number("TestVoltage", r.TestVoltage);
    o.number("LastCurrent", r.LastCurrent);
    o.number("SeikyokuRatio", r.SeikyokuRatio);
    o.number("JyakutenRatio", r.JyakutenRatio);
    std::optional<Judgment> worst;
    for (const analysis::JudgmentExplanation& e : analysis::ExplainJudgments(r))
        if (e.judgment && (!worst || *e.judgment > *worst))
            worst = e.judgment;
    if (worst)
        o.cp932("judgment", JudgmentWord(*worst));
    else
        o.null("judgment");
}

PageOut customers(const PageContext& ctx)
{
    JsonOut j;
    {
        Scope doc = j.object(Layout::Lines);
        Scope list = doc.array("customers", Layout::Lines);
        for (const CCustomer* c : VisibleCustomers(ctx.snapshot.tree, ctx.viewer)) {
            Scope o = list.object(Layout::Inline);
            o.string("id", NameId(c->name));
            o.cp932("name", c->name);
            o.string("url", CustomerUrl(*c));
            o.integer("cables", c->cables.Count());
        }
    }
    return json(std::move(j.text));
}

PageOut customer(const PageContext& ctx, const Resolved& at)
{
    const CCustomer& c = *at.customer;
    JsonOut j;
    {
        Scope doc = j.object(Layout::Lines);
        doc.string("id", NameId(c.name));
        doc.cp932("name", c.name);
        Scope cables = doc.array("cables", Layout::Lines);
        for (int k = 0; k < c.cables.Count(); ++k) {
            const CCable& cable = c.cables.At(k);
            Scope o = cables.object(Layout::Wrapped);
            o.string("id", NameId(cable.name));
            o.cp932("name", cable.name);
            o.string("url", CableUrl(c, cable));
            o.integer("sets", cable.sets.Count());
            // The retest plan, as mxrtool fleet names it.
            const auto plan = ctx.fleet ? ctx.fleet->find({c.name, cable.name})
                                        : FleetIndex::const_iterator{};
            if (ctx.fleet && plan != ctx.fleet->end()) {
                if (plan->second.nextDue)
                    o.string("nextDue", fleet::IsoText(*plan->second.nextDue));
                else
                    o.null("nextDue");
                o.string("status", fleet::StatusKey(plan->second.status));
            }
            // The newest record of each phase, as the customer page shows it.
            const auto latest = LatestPerPhase(cable);
            o.wrap();
            Scope phases = o.object("latest", Layout::Lines);
            const char* keys[] = {"R", "S", "T", "ThreePhase"};
            for (std::size_t p = 0; p < 4; ++p) {
                if (latest[p].record) {
                    Scope r = phases.object(keys[p], Layout::Inline);
                    r.cp932("set", latest[p].set->name);
                    recordSummary(std::move(r), c, cable, *latest[p].set, latest[p].index);
                } else {
                    phases.null(keys[p]);
                }
            }
        }
    }
    return json(std::move(j.text));
}

PageOut cable(const Resolved& at)
{
    JsonOut j;
    {
        Scope doc = j.object(Layout::Lines);
        doc.cp932("customer", at.customer->name);
        doc.cp932("cable", at.cable->name);
        doc.string("analysis", "/api" + CableUrl(*at.customer, *at.cable) + "analysis");
        Scope sets = doc.array("sets", Layout::Lines);
        for (int s = 0; s < at.cable->sets.Count(); ++s) {
            const CMeasData& set = at.cable->sets.At(s);
            Scope o = sets.object(Layout::Wrapped);
            o.string("id", NameId(set.name));
            o.cp932("name", set.name);
            o.wrap();
            Scope records = o.array("records", Layout::Lines);
            for (std::size_t i = 0; i < set.RecordCount(); ++i)
                recordSummary(records.object(Layout::Inline), *at.customer, *at.cable, set, i);
        }
    }
    return json(std::move(j.text));
}

PageOut record(const Resolved& at)
{
    JsonOut j;
    {
        Scope doc = j.object(Layout::Wrapped);
        doc.cp932("customer", at.customer->name);
        doc.cp932("cable", at.cable->name);
        doc.cp932("set", at.set->name);
        doc.integer("index", static_cast<long long>(at.index));
        doc.wrap();
        WriteRecordMembers(doc.object("record", Layout::Wrapped), *at.record);
    }
    return json(std::move(j.text));
}

} // namespace

PageOut RenderApi(const PageContext& ctx, const Resolved& at)
{
    if (at.record)
        return at.leaf.empty() ? record(at) : NotFoundPage();
    if (at.set)
        return NotFoundPage();
    if (at.cable) {
        if (at.leaf.empty())
            return cable(at);
        if (at.leaf == "analysis")
            return json(CableAnalysisJson(*at.customer, *at.cable, nullptr, ctx.thresholds));
        return NotFoundPage();
    }
    if (at.customer)
        return at.leaf.empty() ? customer(ctx, at) : NotFoundPage();
    return at.leaf.empty() || at.leaf == "customers" ? customers(ctx) : NotFoundPage();
}

} // namespace web
