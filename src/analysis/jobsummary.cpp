// The job report's record selection, summary rows, cable verdicts, totals and CSV.
#include "analysis/jobsummary.h"

#include <algorithm>
#include <map>

#include "model/csvfield.h"
#include "analysis/explain.h"
#include "model/cp932text.h"
#include "model/format.h"

namespace analysis {

namespace {

// A calendar date as one comparable number (20260319).
int dayKey(const CalendarTime& c)
{
    return c.year * 10000 + c.month * 100 + c.day;
}

std::optional<int> recordDay(const CMeasRecord& r)
{
    if (r.StartTime.status != OleDateTime::Valid)
        return std::nullopt;
    const auto c = r.StartTime.toCalendar();
    if (!c)
        return std::nullopt;
    return dayKey(*c);
}

bool withinDays(const CMeasRecord& r, const std::optional<CalendarTime>& from,
                const std::optional<CalendarTime>& to)
{
    if (!from && !to)
        return true;
    const auto day = recordDay(r);
    if (!day)
        return false;
    return (!from || *day >= dayKey(*from)) && (!to || *day <= dayKey(*to));
}

bool setChosen(const std::vector<JobSetRef>& sets, const CCable& cable, const CMeasData& set)
{
    if (sets.empty())
        return true;
    return std::any_of(sets.begin(), sets.end(), [&](const JobSetRef& s) {
        return (s.cable.empty() || CompareNames(s.cable, cable.name) == 0) &&
               CompareNames(s.set, set.name) == 0;
    });
}

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The value part of "1.3 (良)": everything before the judgment's bracket.
std::string valueOf(const std::string& judgedText)
{
    const auto bracket = judgedText.find(" (");
    return trimmed(bracket == std::string::npos ? judgedText : judgedText.substr(0, bracket));
}

// "キック×2 漸増傾向": the signs of a record by kind.
std::string signSummary(const CurveSigns& s)
{
    std::map<SignKind, int> counts;
    for (const CurveSign& sign : s.signs)
        ++counts[sign.kind];
    std::string out;
    for (const auto& [kind, n] : counts) {
        if (!out.empty())
            out += ' ';
        out += SignKindText(kind);
        if (n > 1)
            out += cp932::lit("×") + std::to_string(n);
    }
    return out;
}

void addCsvField(std::string& line, const std::string& field)
{
    if (!line.empty())
        line += ',';
    csvfield::Append(line, field);
}

std::string word(const std::optional<Judgment>& j)
{
    return j ? JudgmentWord(*j) : std::string();
}

} // namespace

std::optional<Judgment> WorseJudgment(std::optional<Judgment> a, std::optional<Judgment> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return static_cast<int>(*a) >= static_cast<int>(*b) ? a : b;
}

std::vector<JobRecord> SelectJobRecords(const CCustomer& customer, const JobSelection& selection)
{
    std::vector<JobRecord> out;
    for (int c = 0; c < customer.cables.Count(); ++c) {
        const CCable& cable = customer.cables.At(c);
        for (int s = 0; s < cable.sets.Count(); ++s) {
            const CMeasData& set = cable.sets.At(s);
            if (!setChosen(selection.sets, cable, set))
                continue;
            for (std::size_t i = 0; i < set.RecordCount(); ++i) {
                const CMeasRecord& r = set.RecordAt(i);
                if (withinDays(r, selection.from, selection.to))
                    out.push_back({&cable, &set, i, &r});
            }
        }
    }
    return out;
}

std::vector<JobSetRef> SetsMeasuredBetween(const CCustomer& customer,
                                           const std::optional<CalendarTime>& from,
                                           const std::optional<CalendarTime>& to)
{
    std::vector<JobSetRef> out;
    for (const JobRecord& r : SelectJobRecords(customer, JobSelection{from, to, {}})) {
        JobSetRef ref{r.cable->name, r.set->name};
        if (out.empty() || !(out.back() == ref))
            out.push_back(std::move(ref));
    }
    return out;
}

JobSummary SummarizeJob(const std::vector<JobRecord>& records, const AnalysisThresholds& t)
{
    JobSummary s;
    std::optional<int> firstDay, lastDay;
    for (const JobRecord& jr : records) {
        const CMeasRecord& r = *jr.record;
        if (s.cables.empty() || s.cables.back().cable != jr.cable->name) {
            s.cables.push_back({jr.cable->name, std::nullopt, s.rows.size(), 0});
        }
        JobCableVerdict& cable = s.cables.back();

        JobSummaryRow row;
        row.cable = jr.cable->name;
        row.set = jr.set->name;
        if (const auto day = recordDay(r)) {
            row.date = mxrfmt::StartDateText(r);
            if (!firstDay || *day < *firstDay) {
                firstDay = day;
                s.firstDate = row.date;
            }
            if (!lastDay || *day > *lastDay) {
                lastDay = day;
                s.lastDate = row.date;
            }
        }
        const Phase phase = RecordPhase(r);
        if (phase != Phase::None)
            row.phase = PhaseText(phase);
        row.voltage = mxrfmt::TestVoltageText(r);
        row.finalValue = valueOf(mxrfmt::LastCurrentJudgedText(r));
        row.seikyoku = valueOf(mxrfmt::SeikyokuJudgedText(r));
        row.jyakuten = valueOf(mxrfmt::JyakutenJudgedText(r));
        const auto explained = ExplainJudgments(r);
        for (std::size_t k = 0; k < std::min<std::size_t>(3, explained.size()); ++k) {
            row.judgments[k] = explained[k].judgment;
            row.overall = WorseJudgment(row.overall, explained[k].judgment);
        }
        row.signs = signSummary(FindCurveSigns(r, t));
        row.cableIndex = s.cables.size() - 1;

        if (row.overall)
            ++s.recordTotals[static_cast<std::size_t>(*row.overall)];
        else
            ++s.unjudged;
        cable.overall = WorseJudgment(cable.overall, row.overall);
        ++cable.rowCount;
        s.rows.push_back(std::move(row));
    }
    for (const JobCableVerdict& c : s.cables)
        if (c.overall)
            ++s.cableTotals[static_cast<std::size_t>(*c.overall)];
    return s;
}

std::string JobSummaryCsv(const JobSummary& summary)
{
    using cp932::lit;
    std::string out;
    auto line = [&](const std::vector<std::string>& fields) {
        std::string l;
        for (const std::string& f : fields)
            addCsvField(l, f);
        out += l;
        out += "\r\n";
    };
    line({"No.", lit("ケーブル"), lit("測定データ"), lit("試験日"), lit("相"), lit("試験電圧(kV)"),
          lit("最終値(μA)"), lit("判定"), lit("成極比"), lit("判定"), lit("弱点比"), lit("判定"),
          lit("兆候"), lit("総合判定")});
    for (std::size_t i = 0; i < summary.rows.size(); ++i) {
        const JobSummaryRow& r = summary.rows[i];
        line({std::to_string(i + 1), r.cable, r.set, r.date, r.phase, r.voltage, r.finalValue,
              word(r.judgments[0]), r.seikyoku, word(r.judgments[1]), r.jyakuten,
              word(r.judgments[2]), r.signs, word(summary.cables.at(r.cableIndex).overall)});
    }
    const Judgment kinds[] = {Judgment::Good, Judgment::Caution, Judgment::Bad};
    std::vector<std::string> records{lit("測定数")}, cables{lit("ケーブル数")};
    for (Judgment j : kinds) {
        records.push_back(JudgmentWord(j));
        records.push_back(std::to_string(summary.recordTotals[static_cast<std::size_t>(j)]));
        cables.push_back(JudgmentWord(j));
        cables.push_back(std::to_string(summary.cableTotals[static_cast<std::size_t>(j)]));
    }
    line(records);
    line(cables);
    return out;
}

std::string JobDateRangeText(const JobSummary& summary)
{
    if (summary.firstDate.empty())
        return {};
    if (summary.firstDate == summary.lastDate)
        return summary.firstDate;
    return summary.firstDate + cp932::lit("～") + summary.lastDate;
}

} // namespace analysis
