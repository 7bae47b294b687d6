// Display texts of values, judgments, criteria and dates: every screen, the report, the CSV
// output and mxrtool take their texts from here, so one value reads the same everywhere.
// All results are CP932 byte strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/fixedtext.h"
#include "model/measrecord.h"

namespace mxrfmt {

// "mm:ss.t": minutes with at least two digits, seconds, tenths (75.34 -> "01:15.3").
std::string ElapsedText(double seconds);

// The same text written into a buffer of kMaxElapsedChars bytes; returns its end. Used where
// many texts are joined (the CSV point list), so no string is made per value.
inline constexpr std::size_t kMaxElapsedChars = 16;
char* WriteElapsed(char* out, double seconds);

// Record header values.
std::string TestVoltageText(const CMeasRecord& r);       // "%.2lf"
std::string TriggerLevelText(const CMeasRecord& r);      // "%.1lf"
std::string LastCurrentText(const CMeasRecord& r);       // "%6.1lf" (RangeFlag 1) / "%6.3lf"
std::string LastCurrentJudgedText(const CMeasRecord& r); // "  12.3 (不良)", "---"
std::string SeikyokuJudgedText(const CMeasRecord& r);    // "1.3 (良)", "---", "" when hidden
std::string JyakutenJudgedText(const CMeasRecord& r);    // as above for the weak-point ratio
std::string MeasuringTimeText(const CMeasRecord& r);     // ElapsedText of the last used point
std::string StartDateTimeText(const CMeasRecord& r);     // "%Y/%m/%d %H:%M:%S"
std::string StartDateText(const CMeasRecord& r);         // "%Y/%m/%d"
std::string StartClockText(const CMeasRecord& r);        // "%H:%M:%S"

// A current in μA as points, trigger maxima and final values show it.
std::string CurrentText(double microAmps, int rangeFlag); // "%6.1lf" / "%6.3lf"
// The same text written into a buffer of kMaxCurrentChars bytes; returns its end.
inline constexpr std::size_t kMaxCurrentChars = fixedtext::kMaxChars;
char* WriteCurrent(char* out, double microAmps, int rangeFlag);
std::string PointValueText(const CMeasPoint& p, int rangeFlag);
std::string PointTimeText(const CMeasPoint& p);
std::string TriggerStartText(const CTriggerEvent& e);
std::string TriggerStopText(const CTriggerEvent& e);
std::string TriggerMaxText(const CTriggerEvent& e, int rangeFlag);

// Condition block.
std::string ConditionText(const CTestCondition& c);         // CabKind: "３相一括" .. "None"
std::string NumberText(double v);                           // "%.1lf"
std::string InsulationText(double shisuZetuen);             // "" for UNSET_VALUE, "0", "12.3", ...
std::string SeikyokuCriterionText(const CTestCondition& c); // "不良← 0.5～1.0 →良"
std::string JyakutenCriterionText(const CTestCondition& c); // "　良← 1.0～5.0 →不良"
std::string LastCurrentCriterionText(const CTestCondition& c); // "　良← 1.000～10.000 →不良"

// Fixed template texts the report layout measures its time and value cells with.
inline constexpr std::string_view kTemplateLongTime = "XX99:99.9";
inline constexpr std::string_view kTemplateTime = "99:99.9";
inline constexpr std::string_view kTemplateValue = "999999";

// Inverse operations used by the editors. The date text is joined with the record's current
// time text (date first) and parsed; the time text likewise with the current date text.
// On success StartTime becomes valid; a text that is not a date makes it invalid with value 0.
void SetStartDateFromText(CMeasRecord& r, std::string_view dateText);
void SetStartClockFromText(CMeasRecord& r, std::string_view clockText);

} // namespace mxrfmt
