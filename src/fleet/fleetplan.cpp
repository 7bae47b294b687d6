// The fleet's plan and score per cable.
#include "fleet/fleetplan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <map>
#include <unordered_map>

#include "analysis/phasebalance.h"
#include "analysis/analysistext.h"
#include "analysis/steptest.h"
#include "model/cp932text.h"
#include "model/number.h"
#include "workspace/cableregister.h"

namespace fleet {

using namespace std::chrono;

namespace {

// OLE day 0 is 1899-12-30; 1970-01-01 is OLE day 25569.
constexpr int kOleEpochOffset = 25569;

std::string fmt(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string pointsText(double points)
{
    // "−30" with the minus sign, "0" for nothing taken off.
    const long long p = std::llround(points);
    return p < 0 ? "\u2212" + std::to_string(-p) : std::to_string(p);
}

const char* judgmentWord(Judgment j)
{
    switch (j) {
    case Judgment::Good: return "良";
    case Judgment::Caution: return "注意";
    case Judgment::Bad: return "不良";
    }
    return "";
}

bool worse(Judgment a, Judgment b)
{
    return static_cast<int>(a) > static_cast<int>(b);
}

void takeWorst(std::optional<Judgment>& into, const std::optional<Judgment>& j)
{
    if (j && (!into || worse(*j, *into)))
        into = j;
}

int phaseColumn(analysis::Phase p)
{
    switch (p) {
    case analysis::Phase::R: return 0;
    case analysis::Phase::S: return 1;
    case analysis::Phase::T: return 2;
    default: return 3;
    }
}

long long voltageKey(double kv)
{
    return std::llround(kv * 100.0);
}

// One record of a cable as the plan sees it.
struct Item {
    const RecordSummary* s;
    int set;
    Day day;
};

// What the latest test and the trend show.
struct Findings {
    std::optional<double> unbalance; // the largest ratio at or above the limit, %
    bool lowPolarization = false;
    int kicks = 0;
    bool rise = false;
    std::optional<std::pair<double, double>> knee; // voltage, departure
    std::optional<double> growth;                  // %/year, the largest
    std::string growthDetail;                      // "10.00 kV, 2023/05/12 → 2024/05/12"
};

Findings findingsOf(const std::vector<Item>& all, const std::vector<const Item*>& latest,
                    const CCable& cable, const AnalysisThresholds& t)
{
    Findings f;
    // Unbalance: per voltage, the latest value of each of R, S, T on the day.
    std::map<long long, std::array<std::optional<std::pair<double, double>>, 3>> byVoltage;
    for (const Item* it : latest) {
        const RecordSummary& s = *it->s;
        f.kicks += s.kickCount;
        f.rise = f.rise || s.gradualRise;
        f.lowPolarization = f.lowPolarization || s.lowPolarization;
        const int col = phaseColumn(s.phase);
        if (col < 3 && analysis::text::isValue(s.finalValue)) {
            auto& slot = byVoltage[voltageKey(s.testVoltage)][static_cast<std::size_t>(col)];
            if (!slot || s.start >= slot->second)
                slot = std::make_pair(s.finalValue, s.start);
        }
    }
    for (const auto& [v, phases] : byVoltage) {
        std::array<std::optional<double>, 3> values;
        for (std::size_t i = 0; i < 3; ++i)
            if (phases[i])
                values[i] = phases[i]->first;
        const analysis::Unbalance u = analysis::UnbalanceOf(values, t.unbalanceLimitPercent);
        if (u.exceeds && (!f.unbalance || u.percent > *f.unbalance))
            f.unbalance = u.percent;
    }
    // Step test: per set and phase of the day, one step per voltage (the latest).
    std::map<std::pair<int, int>, std::map<long long, const RecordSummary*>> curves;
    for (const Item* it : latest) {
        const RecordSummary& s = *it->s;
        if (!s.stepUsable)
            continue;
        auto& steps = curves[{it->set, static_cast<int>(s.phase)}];
        auto& slot = steps[voltageKey(s.testVoltage)];
        if (!slot || s.start >= slot->start)
            slot = &s;
    }
    for (const auto& [which, steps] : curves) {
        std::vector<analysis::StepPoint> points;
        for (const auto& [v, s] : steps) {
            analysis::StepPoint p;
            p.testVoltage = s->testVoltage;
            p.finalValue = s->finalValue;
            p.jyakutenRatio = s->jyakutenRatio;
            points.push_back(p);
        }
        const analysis::StepCurve c = analysis::AnalyzeStepCurve(
            static_cast<analysis::Phase>(which.second), std::move(points), t.kneeFactor);
        if (c.kneeIndex >= 0) {
            const analysis::StepPoint& k = c.steps[static_cast<std::size_t>(c.kneeIndex)];
            if (!f.knee || k.departure > f.knee->second)
                f.knee = std::make_pair(k.testVoltage, k.departure);
        }
    }
    (void)cable;
    // Growth: per phase and voltage, the latest day's value against the value of the latest
    // earlier test at least 30 days before it.
    if (!latest.empty()) {
        const Day last = latest.front()->day;
        std::map<std::pair<int, long long>, std::pair<Day, double>> now, before;
        for (const Item& it : all) {
            const RecordSummary& s = *it.s;
            if (!analysis::text::isValue(s.finalValue) || !(s.finalValue >= 0))
                continue;
            const std::pair<int, long long> key{static_cast<int>(s.phase),
                                                voltageKey(s.testVoltage)};
            if (it.day == last)
                now[key] = {it.day, s.finalValue};
            else if (it.day <= last - days(30)) {
                auto found = before.find(key);
                if (found == before.end() || it.day >= found->second.first)
                    before[key] = {it.day, s.finalValue};
            }
        }
        for (const auto& [key, n] : now) {
            const auto b = before.find(key);
            if (b == before.end() || !(b->second.second > 0))
                continue;
            const double years = (n.first - b->second.first).count() / 365.25;
            const double g = (n.second / b->second.second - 1.0) * 100.0 / years;
            if (!f.growth || g > *f.growth) {
                f.growth = g;
                f.growthDetail = fmt("%.2f kV, ", key.second / 100.0) + SlashText(b->second.first) +
                                 " → " + SlashText(n.first);
            }
        }
    }
    return f;
}

int shortened(int base, double factor, int minimum)
{
    const int months = static_cast<int>(std::floor(base * factor + 1e-9));
    return std::max(std::min(base, std::max(months, minimum)), 1);
}

} // namespace

Day DayOfOle(double oleDate)
{
    return Day{days{static_cast<int>(std::floor(oleDate)) - kOleEpochOffset}};
}

Day AddMonths(Day d, int months)
{
    const year_month_day ymd{d};
    const year_month ym = year_month{ymd.year(), ymd.month()} + std::chrono::months{months};
    const year_month_day_last end{ym.year(), month_day_last{ym.month()}};
    const day dd = ymd.day() > end.day() ? end.day() : ymd.day();
    return sys_days{year_month_day{ym.year(), ym.month(), dd}};
}

std::string IsoText(Day d)
{
    const year_month_day ymd{d};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

std::string SlashText(Day d)
{
    std::string s = IsoText(d);
    std::replace(s.begin(), s.end(), '-', '/');
    return s;
}

std::optional<Day> ParseDay(std::string_view text)
{
    int parts[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        const char* b = text.data() + pos;
        const char* e = text.data() + text.size();
        const auto r = std::from_chars(b, e, parts[i]);
        if (r.ec != std::errc{} || r.ptr == b)
            return std::nullopt;
        pos = static_cast<std::size_t>(r.ptr - text.data());
        if (i < 2) {
            if (pos >= text.size() || (text[pos] != '-' && text[pos] != '/'))
                return std::nullopt;
            ++pos;
        }
    }
    if (pos != text.size())
        return std::nullopt;
    const year_month_day ymd{year{parts[0]}, month{static_cast<unsigned>(parts[1])},
                             day{static_cast<unsigned>(parts[2])}};
    if (!ymd.ok() || parts[0] < 1900 || parts[0] > 9999)
        return std::nullopt;
    return sys_days{ymd};
}

Day Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return sys_days{year_month_day{year{local.tm_year + 1900},
                                   month{static_cast<unsigned>(local.tm_mon + 1)},
                                   day{static_cast<unsigned>(local.tm_mday)}}};
}

const char* StatusWord(DueStatus s)
{
    switch (s) {
    case DueStatus::Overdue: return "期限切れ";
    case DueStatus::DueSoon: return "期限間近";
    case DueStatus::Planned: return "予定";
    case DueStatus::Untested: return "未試験";
    }
    return "";
}

const char* StatusKey(DueStatus s)
{
    switch (s) {
    case DueStatus::Overdue: return "overdue";
    case DueStatus::DueSoon: return "due-soon";
    case DueStatus::Planned: return "planned";
    case DueStatus::Untested: return "untested";
    }
    return "";
}

const char* SourceWord(IntervalSource s)
{
    switch (s) {
    case IntervalSource::Register: return "台帳";
    case IntervalSource::Customer: return "需要家";
    case IntervalSource::Default: return "既定";
    }
    return "";
}

const char* TrendArrow(Trend t)
{
    switch (t) {
    case Trend::None: return "";
    case Trend::Better: return "↓";
    case Trend::Steady: return "→";
    case Trend::Worse: return "↑";
    }
    return "";
}

std::string Contribution::Line() const
{
    return text + " … " + pointsText(points);
}

std::string CablePlan::ReasonText() const
{
    if (status == DueStatus::Untested)
        return "試験記録なし";
    std::string out;
    for (const std::string& r : reasons)
        out += (out.empty() ? "" : "、") + r;
    return out;
}

std::string CablePlan::PhaseJudgmentText() const
{
    static const char* const kNames[4] = {"Ｒ", "Ｓ", "Ｔ", "一括"};
    std::string out;
    for (std::size_t i = 0; i < 4; ++i)
        if (phaseJudgment[i])
            out += (out.empty() ? "" : " ") + std::string(kNames[i]) + ":" +
                   judgmentWord(*phaseJudgment[i]);
    return out;
}

const CMeasRecord& RecordAt(const CCustomerDB& tree, const RecordSlot& slot)
{
    return tree.customers.At(slot.customer)
        .cables.At(slot.cable)
        .sets.At(slot.set)
        .Records()[slot.record];
}

SummaryLookup LookUpSummaries(const CCustomerDB& tree, const AnalysisThresholds& t,
                              const SummaryCache& cache)
{
    SummaryLookup out;
    out.recordSlots = KeyTree(tree, t);
    out.summaries.resize(out.recordSlots.size());
    for (std::size_t i = 0; i < out.recordSlots.size(); ++i) {
        if (const RecordSummary* s = cache.Find(out.recordSlots[i].key))
            out.summaries[i] = *s;
        else
            out.missing.push_back(i);
    }
    return out;
}

bool CollectSummaries(const CCustomerDB& tree, const AnalysisThresholds& t, SummaryCache& cache,
                      sqlite::Db* db, SummaryLookup& out,
                      const std::function<bool(std::size_t, std::size_t)>& progress)
{
    out = LookUpSummaries(tree, t, cache);
    std::vector<std::pair<SummaryCache::Key, RecordSummary>> fresh;
    const std::size_t total = out.missing.size();
    for (std::size_t n = 0; n < total; ++n) {
        if (progress && n % 64 == 0 && !progress(n, total))
            return false;
        const std::size_t i = out.missing[n];
        out.summaries[i] = SummarizeRecord(RecordAt(tree, out.recordSlots[i]), t);
        cache.Insert(out.recordSlots[i].key, out.summaries[i]);
        fresh.emplace_back(out.recordSlots[i].key, out.summaries[i]);
    }
    out.missing.clear();
    if (db && db->IsOpen()) {
        if (!fresh.empty())
            SummaryCache::Store(*db, fresh);
        if (cache.Size() > out.recordSlots.size() || !fresh.empty()) {
            std::vector<SummaryCache::Key> live;
            live.reserve(out.recordSlots.size());
            for (const RecordSlot& s : out.recordSlots)
                live.push_back(s.key);
            SummaryCache::Prune(*db, live);
        }
    }
    if (progress)
        progress(total, total);
    return true;
}

std::vector<CablePlan> BuildFleet(const FleetInputs& in, const FleetSettings& settings,
                                  const AnalysisThresholds& t, Day asOf)
{
    const PlanSettings& ps = settings.plan;
    const ScoreWeights& w = settings.weights;
    std::unordered_map<std::string, const ws::CableRegisterEntry*> entries;
    for (const ws::CableRegisterEntry& e : in.registerEntries)
        entries[ws::RegisterNameKey(e.customer) + '\0' + ws::RegisterNameKey(e.cable)] = &e;

    // The records of each cable, from the recordSlots in tree order.
    std::map<std::pair<int, int>, std::vector<Item>> byCable;
    for (std::size_t i = 0; i < in.recordSlots->size(); ++i) {
        const RecordSlot& slot = (*in.recordSlots)[i];
        const RecordSummary& s = (*in.summaries)[i];
        byCable[{slot.customer, slot.cable}].push_back(
            {&s, slot.set, s.dated ? DayOfOle(s.start) : Day{}});
    }
    std::unordered_map<std::string, std::optional<int>> customerIntervals;

    std::vector<CablePlan> plans;
    const CCustomerDB& tree = *in.tree;
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& cu = tree.customers.At(c);
        auto ci = customerIntervals.find(cu.name);
        if (ci == customerIntervals.end())
            ci = customerIntervals
                     .emplace(cu.name,
                              in.customerInterval ? in.customerInterval(cu.name) : std::nullopt)
                     .first;
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            CablePlan p;
            p.customer = cu.name;
            p.cable = ca.name;
            const auto e =
                entries.find(ws::RegisterNameKey(cu.name) + '\0' + ws::RegisterNameKey(ca.name));
            if (e != entries.end())
                p.entry = *e->second;
            if (p.entry && p.entry->intervalMonths && *p.entry->intervalMonths > 0) {
                p.baseInterval = *p.entry->intervalMonths;
                p.source = IntervalSource::Register;
            } else if (ci->second && *ci->second > 0) {
                p.baseInterval = *ci->second;
                p.source = IntervalSource::Customer;
            } else {
                p.baseInterval = ps.defaultIntervalMonths;
                p.source = IntervalSource::Default;
            }
            p.interval = p.baseInterval;

            const std::vector<Item>& items = byCable[{c, k}];
            const Item* newest = nullptr;
            for (const Item& it : items)
                if (it.s->dated && (!newest || it.s->start > newest->s->start))
                    newest = &it;
            if (!newest) {
                plans.push_back(std::move(p));
                continue;
            }
            p.lastTest = newest->day;
            p.latestSet = ca.sets.At(newest->set).name;
            std::vector<const Item*> latest;
            for (const Item& it : items)
                if (it.s->dated && it.day == newest->day)
                    latest.push_back(&it);
            for (const Item* it : latest) {
                std::optional<Judgment> recordWorst;
                for (const auto& j : it->s->judgments)
                    takeWorst(recordWorst, j);
                takeWorst(p.phaseJudgment[static_cast<std::size_t>(phaseColumn(it->s->phase))],
                          recordWorst);
                takeWorst(p.worst, recordWorst);
            }
            const Findings f = findingsOf(items, latest, ca, t);

            // The interval: each rule that applies proposes a shorter one; the shortest wins.
            auto rule = [&](const std::string& cause, double factor) {
                const int months = shortened(p.baseInterval, factor, ps.minIntervalMonths);
                if (months >= p.baseInterval)
                    return;
                p.reasons.push_back(cause + "のため周期 " + std::to_string(p.baseInterval) + " → " +
                                    std::to_string(months) + " か月");
                p.interval = std::min(p.interval, months);
            };
            if (p.worst == Judgment::Bad)
                rule("不良", ps.badFactor);
            else if (p.worst == Judgment::Caution)
                rule("注意", ps.cautionFactor);
            if (f.growth && *f.growth > ps.growthLimitPercent)
                rule("最終値の増加 年 " + fmt("%.0f", *f.growth) + " %", ps.growthFactor);
            if (f.unbalance)
                rule("不平衡率 " + fmt("%.0f", *f.unbalance) + " %", ps.unbalanceFactor);
            if (f.kicks > 0 || f.rise)
                rule(f.kicks > 0 && f.rise ? "キック・漸増傾向"
                     : f.kicks > 0         ? "キック"
                                           : "漸増傾向",
                     ps.signFactor);

            if (f.growth) {
                p.growthPercent = *f.growth;
                p.trend = *f.growth > ps.growthLimitPercent    ? Trend::Worse
                          : *f.growth < -ps.growthLimitPercent ? Trend::Better
                                                               : Trend::Steady;
            }
            p.nextDue = AddMonths(*p.lastTest, p.interval);
            p.daysLeft = static_cast<int>((*p.nextDue - asOf).count());
            p.status = p.daysLeft < 0                 ? DueStatus::Overdue
                       : p.daysLeft <= ps.warningDays ? DueStatus::DueSoon
                                                      : DueStatus::Planned;

            // The score: 100 less the points of each finding.
            auto take = [&](const char* key, const std::string& text, double points) {
                if (points > 0)
                    p.contributions.push_back({key, text, -points});
            };
            if (p.worst == Judgment::Bad)
                take("judgment", "判定 不良", w.bad);
            else if (p.worst == Judgment::Caution)
                take("judgment", "判定 注意", w.caution);
            if (f.unbalance)
                take("unbalance", "不平衡率 " + fmt("%.0f", *f.unbalance) + " %", w.unbalance);
            if (f.lowPolarization)
                take("combined", "最終値注意かつ成極比低下", w.combined);
            if (f.kicks > 0)
                take("kick", "キック " + std::to_string(f.kicks) + " 回", w.kick);
            if (f.rise)
                take("rise", "漸増傾向", w.rise);
            if (f.knee)
                take("knee",
                     "屈曲点 " + fmt("%.2f", f.knee->first) + " kV (" +
                         fmt("%.1f", f.knee->second) + " 倍)",
                     w.knee);
            if (f.growth && *f.growth > ps.growthLimitPercent)
                take("growth",
                     "最終値の増加 年 " + fmt("%.0f", *f.growth) + " % (" + f.growthDetail + ")",
                     w.growth);
            double score = 100;
            for (const Contribution& c2 : p.contributions)
                score += c2.points;
            p.score = std::clamp(score, 0.0, 100.0);
            plans.push_back(std::move(p));
        }
    }
    std::stable_sort(plans.begin(), plans.end(), [](const CablePlan& a, const CablePlan& b) {
        if (a.score.has_value() != b.score.has_value())
            return a.score.has_value();
        if (a.score && *a.score != *b.score)
            return *a.score < *b.score;
        if (a.nextDue != b.nextDue)
            return a.nextDue < b.nextDue;
        return false; // the tree's order: customers and cables by name
    });
    for (std::size_t i = 0; i < plans.size(); ++i)
        plans[i].rank = static_cast<int>(i + 1);
    return plans;
}

std::vector<MonthDue> DueByMonth(const std::vector<CablePlan>& plans, Day asOf, int months)
{
    std::vector<MonthDue> out;
    const year_month first = year_month_day{asOf}.year() / year_month_day{asOf}.month();
    for (int m = 0; m < months; ++m) {
        const year_month ym = first + std::chrono::months{m};
        out.push_back({static_cast<int>(ym.year()), static_cast<int>(unsigned(ym.month()))});
    }
    for (const CablePlan& p : plans) {
        if (!p.nextDue)
            continue;
        const year_month_day d{*p.nextDue};
        int index = (static_cast<int>(d.year()) - static_cast<int>(first.year())) * 12 +
                    static_cast<int>(unsigned(d.month())) -
                    static_cast<int>(unsigned(first.month()));
        if (p.status == DueStatus::Overdue)
            index = 0;
        if (index < 0 || index >= months)
            continue;
        MonthDue& md = out[static_cast<std::size_t>(index)];
        (p.status == DueStatus::Overdue   ? md.overdue
         : p.status == DueStatus::DueSoon ? md.dueSoon
                                          : md.planned)++;
    }
    return out;
}

} // namespace fleet
