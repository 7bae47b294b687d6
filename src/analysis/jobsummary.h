// The job report's selection and summary: the records of one customer's test visit (a date
// range and/or chosen sets), one summary row per record with its values, judgments and curve
// signs, the overall judgment of each cable and the totals of 良/注意/不良.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/curvesigns.h"
#include "analysis/phasebalance.h"
#include "analysis/thresholds.h"
#include "model/customerdb.h"

namespace analysis {

// A set of the customer by its names (CP932); an empty cable name: the set of that name in
// every cable.
struct JobSetRef {
    std::string cable;
    std::string set;
    bool operator==(const JobSetRef&) const = default;
};

// What the job covers. A record is taken when its set is among `sets` (every set of the
// customer when empty) and its start date lies within from … to (days, both inclusive; an
// unset bound is open). Records without a valid start time are taken only when neither bound
// is set.
struct JobSelection {
    std::optional<CalendarTime> from; // only the date fields count
    std::optional<CalendarTime> to;
    std::vector<JobSetRef> sets;
};

// One selected record, in the tree's order (cable, set, record index).
struct JobRecord {
    const CCable* cable = nullptr;
    const CMeasData* set = nullptr;
    std::size_t index = 0;
    const CMeasRecord* record = nullptr;
};

// The records of the customer the selection takes. The tree is only read; the pointers live
// as long as it is not changed.
std::vector<JobRecord> SelectJobRecords(const CCustomer& customer, const JobSelection& selection);

// The sets that hold at least one record within from … to: what a visit on those days tested.
std::vector<JobSetRef> SetsMeasuredBetween(const CCustomer& customer,
                                           const std::optional<CalendarTime>& from,
                                           const std::optional<CalendarTime>& to);

// One row of the summary table. Texts are CP932, as the single report writes them.
struct JobSummaryRow {
    std::string cable;
    std::string set;
    std::string date;        // "2026/03/19", "" without a valid start time
    std::string phase;       // "Ｒ相", "３相一括", ... ("" for a record without phase)
    std::string voltage;     // "6.60"
    std::string finalValue;  // "0.123", "---"
    std::string seikyoku;    // "1.3", "---", "" when the record hides it
    std::string jyakuten;    // as above
    // Final value, 成極比, 弱点比: the record's own judgments; nothing where the value is
    // unset or hidden.
    std::array<std::optional<Judgment>, 3> judgments;
    std::string signs;                // "キック×2 漸増傾向", "" without signs
    std::optional<Judgment> overall;  // the worst of the three judgments
    std::size_t cableIndex = 0;       // index into JobSummary::cables
};

struct JobCableVerdict {
    std::string cable;               // CP932
    std::optional<Judgment> overall; // 総合判定: the worst judgment of the cable's records
    std::size_t firstRow = 0, rowCount = 0;
};

struct JobSummary {
    std::vector<JobSummaryRow> rows;
    std::vector<JobCableVerdict> cables; // in the rows' order
    // Records by their overall judgment 良, 注意, 不良, and the records without any judgment.
    std::array<int, 3> recordTotals{};
    int unjudged = 0;
    // Cables by their 総合判定 良, 注意, 不良.
    std::array<int, 3> cableTotals{};
    std::string firstDate, lastDate; // "2026/03/19" of the earliest and latest record, or ""
};

JobSummary SummarizeJob(const std::vector<JobRecord>& records, const AnalysisThresholds& t);

// The worse of two judgments (不良 over 注意 over 良); an absent one gives way to the other.
std::optional<Judgment> WorseJudgment(std::optional<Judgment> a, std::optional<Judgment> b);

// The summary table as CSV (CP932, CR LF after every line): a header line, one line per
// record with each judgment in a column of its own and the cable's 総合判定 on every line of
// the cable, then the totals. Fields holding a comma, a quote or a line break are quoted.
std::string JobSummaryCsv(const JobSummary& summary);

// "2026/03/19" or "2026/03/19～2026/03/20" from the summary's dates; "" without any.
std::string JobDateRangeText(const JobSummary& summary);

} // namespace analysis
