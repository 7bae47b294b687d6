// The fleet: every cable of the store with its register entry, its latest test, its retest
// plan (interval, shortened when the cable's own results worsen, next due date and status) and
// its health score, each figure explained in words.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "fleet/plansettings.h"
#include "fleet/recordsummary.h"
#include "model/customerdb.h"
#include "workspace/cableregister.h"

namespace fleet {

using Day = std::chrono::sys_days;

// The calendar day of an OLE date (its time of day dropped).
Day DayOfOle(double oleDate);
// The date months later; a day the target month lacks becomes its last day (31 Jan + 1 month
// = 28 or 29 Feb).
Day AddMonths(Day d, int months);
// "2024-05-12" / "2024/05/12".
std::string IsoText(Day d);
std::string SlashText(Day d);
// "YYYY-MM-DD" (also with '/'), a real calendar date; nothing otherwise.
std::optional<Day> ParseDay(std::string_view text);
// Today in local time.
Day Today();

enum class DueStatus { Overdue, DueSoon, Planned, Untested };
// "期限切れ", "期限間近", "予定", "未試験" (UTF-8).
const char* StatusWord(DueStatus s);
// "overdue", "due-soon", "planned", "untested".
const char* StatusKey(DueStatus s);

enum class IntervalSource { Register, Customer, Default };
// "台帳", "需要家", "既定" (UTF-8).
const char* SourceWord(IntervalSource s);

enum class Trend { None, Better, Steady, Worse };
// "", "↓", "→", "↑" (UTF-8).
const char* TrendArrow(Trend t);

// One finding of the latest test or the trend and the points it takes off the score.
struct Contribution {
    std::string key;   // "judgment", "unbalance", "combined", "kick", "rise", "knee", "growth"
    std::string text;  // "不平衡率 214 %" (UTF-8)
    double points = 0; // taken off (negative)
    // "不平衡率 214 % … −30"
    std::string Line() const;
};

struct CablePlan {
    std::string customer, cable; // CP932, as the tree spells them
    std::optional<ws::CableRegisterEntry> entry;
    // The latest test: the day of the cable's latest dated record and the records of that day.
    std::optional<Day> lastTest;
    std::string latestSet; // CP932 name of the set holding the latest record
    // Worst judgment of the latest test per phase R, S, T and ３相一括 (or no phase).
    std::array<std::optional<Judgment>, 4> phaseJudgment;
    std::optional<Judgment> worst;
    Trend trend = Trend::None;
    double growthPercent = 0; // per year, the largest of the cable (when trend is not None)
    int baseInterval = 12;    // months, before shortening
    IntervalSource source = IntervalSource::Default;
    int interval = 12;                // months, after shortening
    std::vector<std::string> reasons; // "注意のため周期 12 → 6 か月" (UTF-8)
    std::optional<Day> nextDue;
    int daysLeft = 0; // next due − as-of, negative when overdue
    DueStatus status = DueStatus::Untested;
    std::optional<double> score; // 0…100, nothing for an untested cable
    std::vector<Contribution> contributions;
    int rank = 0; // 1 = most at risk

    // The reasons in one line ("試験記録なし" for an untested cable).
    std::string ReasonText() const;
    // "Ｒ:良 Ｓ:注意 Ｔ:良" (UTF-8), phases without a result left out.
    std::string PhaseJudgmentText() const;
};

struct FleetInputs {
    const CCustomerDB* tree = nullptr;
    // Every record of the tree in tree order (KeyTree) and its summary, parallel.
    const std::vector<RecordSlot>* recordSlots = nullptr;
    const std::vector<RecordSummary>* summaries = nullptr;
    std::vector<ws::CableRegisterEntry> registerEntries;
    // A customer's default interval (CP932 name); may be empty.
    std::function<std::optional<int>(const std::string&)> customerInterval;
};

// Every cable of the tree, ranked: lowest score first, untested cables last, then by next due
// date and names.
std::vector<CablePlan> BuildFleet(const FleetInputs& in, const FleetSettings& settings,
                                  const AnalysisThresholds& t, Day asOf);

// The cables due in each of the months from asOf's month on, counted by status; cables already
// overdue count in the first month.
struct MonthDue {
    int year = 0, month = 0;
    int overdue = 0, dueSoon = 0, planned = 0;
};
std::vector<MonthDue> DueByMonth(const std::vector<CablePlan>& plans, Day asOf, int months = 12);

// The summaries of every record of the tree as far as the cache holds them: recordSlots and
// summaries parallel, missing the positions the cache lacked (their summaries default).
struct SummaryLookup {
    std::vector<RecordSlot> recordSlots;
    std::vector<RecordSummary> summaries;
    std::vector<std::size_t> missing;
};
SummaryLookup LookUpSummaries(const CCustomerDB& tree, const AnalysisThresholds& t,
                              const SummaryCache& cache);

// The record at a slot.
const CMeasRecord& RecordAt(const CCustomerDB& tree, const RecordSlot& slot);

// LookUpSummaries, then the missing ones computed (progress may stop the work by returning
// false: the outcome is then incomplete and false is returned). The computed rows are written
// to the cache's table when db is given, and the rows of records no longer in the tree pruned.
bool CollectSummaries(
    const CCustomerDB& tree, const AnalysisThresholds& t, SummaryCache& cache, sqlite::Db* db,
    SummaryLookup& out,
    const std::function<bool(std::size_t done, std::size_t total)>& progress = {});

} // namespace fleet
