// Cell texts and the CSV of the fleet.
#include "fleet/fleettable.h"

#include <cstdio>

#include "model/csvfield.h"
#include "model/cp932text.h"

namespace fleet {
namespace {

std::string number(const std::optional<double>& v)
{
    if (!v)
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", *v);
    return buf;
}

} // namespace

const char* ColumnTitle(Column c)
{
    switch (c) {
    case Column::Rank: return "順位";
    case Column::Customer: return "需要家";
    case Column::Cable: return "ケーブル";
    case Column::Location: return "設置場所/系統";
    case Column::VoltageClass: return "電圧階級(kV)";
    case Column::CableType: return "ケーブル種類";
    case Column::CrossSection: return "導体断面(sq)";
    case Column::Length: return "亘長(m)";
    case Column::InstallYear: return "布設年";
    case Column::Importance: return "重要度";
    case Column::Person: return "担当";
    case Column::LastTest: return "最終試験日";
    case Column::PhaseJudgment: return "最新判定(相別)";
    case Column::Trend: return "傾向";
    case Column::Score: return "健全度";
    case Column::Interval: return "周期(か月)";
    case Column::NextDue: return "次回期限";
    case Column::Status: return "状態";
    case Column::Reason: return "理由";
    case Column::Contributions: return "健全度の内訳";
    case Column::Count: break;
    }
    return "";
}

std::string ContributionText(const CablePlan& p, const char* separator)
{
    std::string out;
    for (const Contribution& c : p.contributions)
        out += (out.empty() ? "" : separator) + c.Line();
    return out;
}

std::string CellText(const CablePlan& p, Column c)
{
    const ws::CableRegisterEntry* e = p.entry ? &*p.entry : nullptr;
    switch (c) {
    case Column::Rank: return std::to_string(p.rank);
    case Column::Customer: return cp932::toUtf8(p.customer);
    case Column::Cable: return cp932::toUtf8(p.cable);
    case Column::Location: return e ? e->location : "";
    case Column::VoltageClass: return e ? number(e->voltageKv) : "";
    case Column::CableType: return e ? e->cableType : "";
    case Column::CrossSection: return e ? number(e->crossSection) : "";
    case Column::Length: return e ? number(e->lengthM) : "";
    case Column::InstallYear: return e && e->installYear ? std::to_string(*e->installYear) : "";
    case Column::Importance: return e ? e->importance : "";
    case Column::Person: return e ? e->person : "";
    case Column::LastTest: return p.lastTest ? SlashText(*p.lastTest) : "";
    case Column::PhaseJudgment: return p.PhaseJudgmentText();
    case Column::Trend: return TrendArrow(p.trend);
    case Column::Score: return p.score ? number(p.score) : "";
    case Column::Interval:
        return std::to_string(p.interval) + (p.interval != p.baseInterval
                                                 ? " (" + std::to_string(p.baseInterval) + ")"
                                                 : std::string());
    case Column::NextDue: return p.nextDue ? SlashText(*p.nextDue) : "";
    case Column::Status: return StatusWord(p.status);
    case Column::Reason: return p.ReasonText();
    case Column::Contributions: return ContributionText(p, " / ");
    case Column::Count: break;
    }
    return {};
}

std::string FleetCsv(const std::vector<CablePlan>& plans)
{
    std::string out = "\xEF\xBB\xBF";
    const int n = static_cast<int>(Column::Count);
    for (int c = 0; c < n; ++c) {
        if (c)
            out += ',';
        csvfield::Append(out, ColumnTitle(static_cast<Column>(c)));
    }
    out += "\r\n";
    for (const CablePlan& p : plans) {
        for (int c = 0; c < n; ++c) {
            if (c)
                out += ',';
            csvfield::Append(out, CellText(p, static_cast<Column>(c)));
        }
        out += "\r\n";
    }
    return out;
}

} // namespace fleet
