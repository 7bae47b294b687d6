// The pages: customers, cables with their latest judgments, a cable's sets and measurements, a
// measurement's report, a cable's history and phase comparison.
#include "webpages.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "analysis/explain.h"
#include "analysis/history.h"
#include "analysis/phasebalance.h"
#include "exchange/csvwriter.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "webids.h"

namespace web {

namespace {

std::string u8(const std::string& cp932)
{
    return cp932::toUtf8(cp932);
}

// A display text of the record formatters, UTF-8 and without the padding of fixed columns.
std::string shown(const std::string& cp932)
{
    std::string s = u8(cp932);
    const auto a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string h(const std::string& cp932)
{
    return Escape(u8(cp932));
}

std::string number(double v, int decimals)
{
    if (!std::isfinite(v) || v == UNSET_VALUE)
        return "---";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

const char* judgmentClass(Judgment j)
{
    switch (j) {
    case Judgment::Good: return "good";
    case Judgment::Caution: return "caution";
    default: return "bad";
    }
}

// The worst of a record's judgments that are shown (final value, and the ratios the set shows).
std::optional<Judgment> overallJudgment(const CMeasRecord& r)
{
    std::optional<Judgment> worst;
    for (const analysis::JudgmentExplanation& e : analysis::ExplainJudgments(r))
        if (e.judgment && (!worst || *e.judgment > *worst))
            worst = e.judgment;
    return worst;
}

std::string judgmentCell(const std::optional<Judgment>& j)
{
    if (!j)
        return "<td>---</td>";
    return std::string("<td class=\"j ") + judgmentClass(*j) + "\">" + u8(JudgmentWord(*j)) +
           "</td>";
}

// The page around a body: title, breadcrumbs, the user and the logout button.
std::string frame(const Viewer& v, const std::string& title, const std::string& crumbs,
                  const std::string& body)
{
    std::string out = "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                      "<title>" +
                      Escape(title) +
                      " - MXRView</title>"
                      "<link rel=\"stylesheet\" href=\"/style.css\"></head><body>\n"
                      "<header><nav class=\"crumbs\"><a href=\"/\">需要家一覧</a>" +
                      crumbs +
                      "</nav>"
                      "<form class=\"user\" method=\"post\" action=\"/logout\"><span>" +
                      Escape(v.name) + "（" + RoleWord(v.role) +
                      "）</span><button type=\"submit\">ログアウト</button></form>"
                      "</header>\n<main>\n<h1>" +
                      Escape(title) + "</h1>\n";
    out += body;
    out += "</main></body></html>\n";
    return out;
}

std::string crumbsTo(const Resolved& at, bool lastIsLink = true)
{
    std::string out;
    if (at.customer)
        out += " › <a href=\"" + CustomerUrl(*at.customer) + "\">" + h(at.customer->name) + "</a>";
    if (at.cable && (lastIsLink || at.set))
        out += " › <a href=\"" + CableUrl(*at.customer, *at.cable) + "\">" + h(at.cable->name) +
               "</a>";
    return out;
}

// ---- customers, cables, sets -----------------------------------------------------------------

PageOut customersPage(const PageContext& ctx)
{
    std::string body = "<table class=\"list\"><thead><tr><th>需要家</th><th>ケーブル数</th>"
                       "</tr></thead><tbody>\n";
    const auto customers = VisibleCustomers(ctx.snapshot.tree, ctx.viewer);
    for (const CCustomer* c : customers)
        body += "<tr><td><a href=\"" + CustomerUrl(*c) + "\">" + h(c->name) + "</a></td><td>" +
                std::to_string(c->cables.Count()) + "</td></tr>\n";
    body += "</tbody></table>\n";
    if (customers.empty())
        body += "<p class=\"note\">表示できる需要家はありません。</p>\n";
    return {200, "text/html; charset=utf-8", frame(ctx.viewer, "需要家一覧", "", body), {}};
}

// The next due date and the status of the cable's retest plan: the status as a word with a
// mark, so it reads without its colour too.
std::string planCells(const FleetIndex* plans, const CCustomer& c, const CCable& cable)
{
    const auto it = plans ? plans->find({c.name, cable.name}) : FleetIndex::const_iterator{};
    if (!plans || it == plans->end())
        return "<td>---</td><td>---</td>";
    const fleet::CablePlan& p = it->second;
    static const char* const kMarks[] = {"✖ ", "▲ ", "○ ", "－ "};
    const auto status = static_cast<std::size_t>(p.status);
    return "<td>" + (p.nextDue ? Escape(fleet::SlashText(*p.nextDue)) : std::string("---")) +
           "</td><td class=\"due " + fleet::StatusKey(p.status) + "\">" + kMarks[status] +
           fleet::StatusWord(p.status) + "</td>";
}

PageOut customerPage(const PageContext& ctx, const Resolved& at)
{
    const CCustomer& c = *at.customer;
    std::string body =
        "<table class=\"list\"><thead><tr><th>ケーブル</th><th>最新の測定</th><th>Ｒ相</th>"
        "<th>Ｓ相</th><th>Ｔ相</th><th>３相一括</th><th>次回期限</th><th>状態</th><th>分析</th></tr>"
        "</thead><tbody>\n";
    for (int k = 0; k < c.cables.Count(); ++k) {
        const CCable& cable = c.cables.At(k);
        const auto latest = LatestPerPhase(cable);
        std::string newest;
        for (const LatestRecord& l : latest)
            if (l.record && l.record->StartTime.status == OleDateTime::Valid) {
                const std::string day = shown(mxrfmt::StartDateText(*l.record));
                newest = std::max(newest, day);
            }
        const std::string url = CableUrl(c, cable);
        body += "<tr><td><a href=\"" + url + "\">" + h(cable.name) + "</a></td><td>" +
                (newest.empty() ? "---" : Escape(newest)) + "</td>";
        for (const LatestRecord& l : latest)
            body += l.record ? judgmentCell(overallJudgment(*l.record)) : "<td>---</td>";
        body += planCells(ctx.fleet, c, cable);
        body += "<td><a href=\"" + url + "history\">経年変化</a> <a href=\"" + url +
                "phases\">相間比較</a></td></tr>\n";
    }
    body += "</tbody></table>\n";
    return {200,
            "text/html; charset=utf-8",
            frame(ctx.viewer, u8(c.name), crumbsTo(at, false), body),
            {}};
}

PageOut cablePage(const PageContext& ctx, const Resolved& at)
{
    const std::string url = CableUrl(*at.customer, *at.cable);
    std::string body = "<p class=\"links\"><a href=\"" + url + "history\">経年変化</a> <a href=\"" +
                       url + "phases\">相間比較</a></p>\n";
    for (int s = 0; s < at.cable->sets.Count(); ++s) {
        const CMeasData& set = at.cable->sets.At(s);
        body += "<h2>" + h(set.name) +
                "</h2>\n<table class=\"list\"><thead><tr><th>No.</th>"
                "<th>相</th><th>測定開始</th><th>試験電圧 (kV)</th><th>最終値 (μA)</th>"
                "<th>成極比</th><th>弱点比</th><th>判定</th></tr></thead><tbody>\n";
        for (std::size_t i = 0; i < set.RecordCount(); ++i) {
            const CMeasRecord& r = set.RecordAt(i);
            body += "<tr><td><a href=\"" + RecordUrl(*at.customer, *at.cable, set, i) + "\">" +
                    std::to_string(r.DataNo) + "</a></td><td>" +
                    h(mxrfmt::ConditionText(r.Condition)) + "</td><td>" +
                    Escape(shown(mxrfmt::StartDateTimeText(r))) + "</td><td>" +
                    Escape(shown(mxrfmt::TestVoltageText(r))) + "</td><td>" +
                    Escape(shown(mxrfmt::LastCurrentJudgedText(r))) + "</td><td>" +
                    Escape(shown(mxrfmt::SeikyokuJudgedText(r))) + "</td><td>" +
                    Escape(shown(mxrfmt::JyakutenJudgedText(r))) + "</td>" +
                    judgmentCell(overallJudgment(r)) + "</tr>\n";
        }
        body += "</tbody></table>\n";
    }
    if (at.cable->sets.Count() == 0)
        body += "<p class=\"note\">測定データはありません。</p>\n";
    return {200,
            "text/html; charset=utf-8",
            frame(ctx.viewer, u8(at.cable->name), crumbsTo(at, false), body),
            {}};
}

// ---- a measurement ---------------------------------------------------------------------------

PageOut recordPage(const PageContext& ctx, const Resolved& at)
{
    const CMeasRecord& r = *at.record;
    const std::pair<const char*, std::string> heading[] = {
        {"需要家", u8(at.customer->name)},
        {"ケーブル", u8(at.cable->name)},
        {"測定データ", u8(at.set->name)},
        {"データNo.", std::to_string(r.DataNo)},
        {"測定開始", shown(mxrfmt::StartDateTimeText(r))},
        {"相", shown(mxrfmt::ConditionText(r.Condition))},
        {"試験電圧 (kV)", shown(mxrfmt::TestVoltageText(r))},
        {"最終値 (μA)", shown(mxrfmt::LastCurrentJudgedText(r))},
        {"成極比", shown(mxrfmt::SeikyokuJudgedText(r))},
        {"弱点比", shown(mxrfmt::JyakutenJudgedText(r))},
        {"測定時間", shown(mxrfmt::MeasuringTimeText(r))},
        {"トリガ (μA)", shown(mxrfmt::TriggerLevelText(r))},
        {"シース絶縁抵抗 (MΩ)", shown(mxrfmt::InsulationText(r.Condition.ShisuZetuen))},
    };
    std::string body = "<dl class=\"heading\">\n";
    for (const auto& [label, value] : heading)
        body += std::string("<div><dt>") + label + "</dt><dd>" +
                (value.empty() ? std::string("---") : Escape(value)) + "</dd></div>\n";
    body += "</dl>\n<p class=\"links\"><a href=\"report.pdf\">成績表 (PDF)</a> "
            "<a href=\"data.csv\">CSV</a> <a href=\"report.svg\">図 (SVG)</a></p>\n";
    // The drawing comes as a file of its own: the page stays small, and the browser keeps the
    // drawing until the data changes (its ETag is the tree's generation).
    body +=
        "<div class=\"report\"><img src=\"report.svg?g=" + std::to_string(ctx.snapshot.generation) +
        "\" alt=\"成績表\" width=\"1280\" "
        "height=\"960\"></div>\n";
    const std::string title = u8(at.set->name) + " No." + std::to_string(r.DataNo);
    return {200, "text/html; charset=utf-8", frame(ctx.viewer, title, crumbsTo(at), body), {}};
}

PageOut recordFile(const PageContext& ctx, const Resolved& at)
{
    const std::string base = "DAT_" + std::to_string(at.record->DataNo);
    if (at.leaf == "report.svg")
        return {200, "image/svg+xml", ctx.renderer.Svg(at.Place(), ctx.snapshot.generation), {}};
    if (at.leaf == "report.pdf") {
        std::string pdf = ctx.renderer.Pdf(at.Place(), ctx.snapshot.generation);
        if (pdf.empty())
            return {500, "text/plain; charset=utf-8", "PDF を作成できません\n", {}};
        return {200, "application/pdf", std::move(pdf), base + ".pdf"};
    }
    return {200, "text/csv; charset=Shift_JIS", ctx.renderer.Csv(at.Place()),
            CsvDefaultFileName(*at.record)};
}

// ---- analysis --------------------------------------------------------------------------------

PageOut historyPage(const PageContext& ctx, const Resolved& at)
{
    const analysis::CableHistory history =
        analysis::BuildCableHistory(at.customer->name, *at.cable, ctx.thresholds);
    std::string body = "<table class=\"list\"><thead><tr><th>測定データ</th><th>日付</th>"
                       "<th>相</th><th>試験電圧 (kV)</th><th>最終値 (μA)</th><th>成極比</th>"
                       "<th>弱点比</th><th>判定</th><th>兆候</th></tr></thead><tbody>\n";
    for (const analysis::SetSummary& s : history.sets) {
        const CMeasData* set = nullptr;
        for (int i = 0; i < at.cable->sets.Count(); ++i)
            if (at.cable->sets.At(i).name == s.name)
                set = &at.cable->sets.At(i);
        body += "<tr class=\"group\"><th colspan=\"9\">" + h(s.name) + " " + h(s.dateText) +
                "　シース絶縁抵抗 " + number(s.insulation, 1) + " MΩ　不良 " +
                std::to_string(s.badCount) + "　注意 " + std::to_string(s.cautionCount) +
                "　兆候 " + std::to_string(s.signCount) + "</th></tr>\n";
        for (const analysis::StepSummary& step : s.steps) {
            std::optional<Judgment> worst;
            for (const analysis::JudgmentExplanation& e : step.judgments)
                if (e.judgment && (!worst || *e.judgment > *worst))
                    worst = e.judgment;
            std::string signs;
            for (const analysis::CurveSign& c : step.signs.signs)
                signs += (signs.empty() ? "" : "<br>") + h(c.text);
            const std::string link =
                set ? RecordUrl(*at.customer, *at.cable, *set, step.index) : std::string();
            body +=
                "<tr><td>" +
                (link.empty() ? std::string()
                              : "<a href=\"" + link + "\">No." +
                                    std::to_string(set->RecordAt(step.index).DataNo) + "</a>") +
                "</td><td>" +
                Escape(step.start.status == OleDateTime::Valid ? u8(step.start.format("%Y/%m/%d"))
                                                               : std::string("---")) +
                "</td><td>" + h(analysis::PhaseText(step.phase)) + "</td><td>" +
                number(step.testVoltage, 2) + "</td><td>" + number(step.finalValue, 3) +
                "</td><td>" + number(step.seikyokuRatio, 2) + "</td><td>" +
                number(step.jyakutenRatio, 2) + "</td>" + judgmentCell(worst) +
                "<td class=\"wrap\">" + (signs.empty() ? "" : signs) + "</td></tr>\n";
        }
    }
    body += "</tbody></table>\n";
    return {200,
            "text/html; charset=utf-8",
            frame(ctx.viewer, u8(at.cable->name) + " 経年変化", crumbsTo(at), body),
            {}};
}

PageOut phasesPage(const PageContext& ctx, const Resolved& at)
{
    const auto groups = analysis::PhaseBalanceOfCable(*at.cable, ctx.thresholds);
    std::string body =
        "<table class=\"list\"><thead><tr><th>日付</th><th>試験電圧 (kV)</th><th>Ｒ相 (μA)</th>"
        "<th>Ｓ相 (μA)</th><th>Ｔ相 (μA)</th><th>不平衡率</th><th>シールド電流 R/S/T (mA)</th>"
        "<th>不平衡率</th><th>備考</th></tr></thead><tbody>\n";
    auto value = [](const std::optional<double>& v) { return v ? number(*v, 3) : "---"; };
    for (const analysis::PhaseGroup& g : groups) {
        body += "<tr><td>" + (g.dayText.empty() ? std::string("---") : h(g.dayText)) + "</td><td>" +
                number(g.testVoltage, 2) + "</td>";
        for (const auto& v : g.finalValue)
            body += "<td>" + value(v) + "</td>";
        body += std::string("<td") + (g.leakage.exceeds ? " class=\"j bad\"" : "") + ">" +
                h(g.leakage.text) + "</td><td>" + value(g.shieldCurrent[0]) + " / " +
                value(g.shieldCurrent[1]) + " / " + value(g.shieldCurrent[2]) + "</td><td" +
                (g.shield.exceeds ? " class=\"j bad\"" : "") + ">" + h(g.shield.text) +
                "</td><td class=\"wrap\">" + h(g.note) + "</td></tr>\n";
    }
    body += "</tbody></table>\n";
    if (groups.empty())
        body += "<p class=\"note\">Ｒ相・Ｓ相・Ｔ相の測定はありません。</p>\n";
    return {200,
            "text/html; charset=utf-8",
            frame(ctx.viewer, u8(at.cable->name) + " 相間比較", crumbsTo(at), body),
            {}};
}

} // namespace

std::string Escape(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string LoginPage(const std::string& next, const std::string& message)
{
    return "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>ログイン - MXRView</title><link rel=\"stylesheet\" href=\"/style.css\">"
           "</head><body class=\"login\"><main><h1>ログイン</h1>\n" +
           (message.empty() ? std::string() : "<p class=\"error\">" + Escape(message) + "</p>\n") +
           "<form method=\"post\" action=\"/login\">"
           "<input type=\"hidden\" name=\"next\" value=\"" +
           Escape(next) +
           "\">"
           "<label>ユーザー名<input name=\"user\" autocomplete=\"username\" required autofocus>"
           "</label><label>パスワード<input name=\"password\" type=\"password\" "
           "autocomplete=\"current-password\" required></label>"
           "<button type=\"submit\">ログイン</button></form></main></body></html>\n";
}

PageOut NotFoundPage()
{
    return {404,
            "text/html; charset=utf-8",
            "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"><title>見つかりません"
            "</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body><main><h1>"
            "見つかりません</h1><p><a href=\"/\">需要家一覧へ</a></p></main></body></html>\n",
            {}};
}

const std::string& StyleSheet()
{
    static const std::string css = R"css(
:root { --line: #c8ccd2; --head: #eef1f5; --good: #1d6b2f; --caution: #8a5a00; --bad: #b00020; }
* { box-sizing: border-box; }
body { margin: 0; font-family: "IPAGothic", "IPAexGothic", "Noto Sans CJK JP", sans-serif;
       font-size: 15px; color: #1a1a1a; background: #fff; }
header { display: flex; flex-wrap: wrap; justify-content: space-between; align-items: center;
         gap: 8px; padding: 8px 16px; background: #24405f; color: #fff; }
header a { color: #fff; }
header form { margin: 0; display: flex; gap: 8px; align-items: center; }
main { padding: 12px 16px; max-width: 1280px; margin: 0 auto; }
h1 { font-size: 1.4em; margin: 8px 0 12px; }
h2 { font-size: 1.15em; margin: 20px 0 8px; }
table.list { border-collapse: collapse; width: 100%; margin-bottom: 12px; }
table.list th, table.list td { border: 1px solid var(--line); padding: 6px 8px; text-align: left;
                               vertical-align: top; }
table.list thead th, table.list tr.group th { background: var(--head); }
table.list td { white-space: nowrap; }
table.list td.wrap { white-space: normal; }
td.j { font-weight: bold; }
td.good { color: var(--good); } td.caution { color: var(--caution); } td.bad { color: var(--bad); }
td.due.overdue { color: var(--bad); font-weight: bold; } td.due.due-soon { color: var(--caution); }
dl.heading { display: grid; grid-template-columns: repeat(auto-fill, minmax(220px, 1fr));
             gap: 4px 16px; margin: 0 0 12px; }
dl.heading div { display: flex; gap: 8px; border-bottom: 1px solid var(--line); padding: 4px 0; }
dl.heading dt { color: #555; min-width: 8em; } dl.heading dd { margin: 0; font-weight: bold; }
.links a { margin-right: 16px; }
.report { border: 1px solid var(--line); overflow: auto; }
.report img { display: block; width: 100%; height: auto; }
.note { color: #555; } .error { color: var(--bad); font-weight: bold; }
body.login main { max-width: 360px; margin-top: 10vh; }
body.login label { display: block; margin: 12px 0; }
body.login input { display: block; width: 100%; padding: 8px; font-size: 1em; margin-top: 4px; }
button { padding: 6px 14px; font-size: 1em; }
@media (max-width: 900px) {
  table.list { font-size: 14px; }
  table.list th, table.list td { padding: 4px 5px; }
  main { padding: 8px; }
}
)css";
    return css;
}

PageOut RenderPage(const PageContext& ctx, const Resolved& at)
{
    if (at.record) {
        if (at.leaf.empty())
            return recordPage(ctx, at);
        if (at.leaf == "report.svg" || at.leaf == "report.pdf" || at.leaf == "data.csv")
            return recordFile(ctx, at);
        return NotFoundPage();
    }
    if (at.set)
        return NotFoundPage();
    if (at.cable) {
        if (at.leaf.empty())
            return cablePage(ctx, at);
        if (at.leaf == "history")
            return historyPage(ctx, at);
        if (at.leaf == "phases")
            return phasesPage(ctx, at);
        return NotFoundPage();
    }
    if (!at.leaf.empty())
        return NotFoundPage();
    return at.customer ? customerPage(ctx, at) : customersPage(ctx);
}

} // namespace web
