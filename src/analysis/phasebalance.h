// Phase balance: the final values of the R, S and T phases at one test voltage on one day,
// their unbalance ratio, and the unbalance of the shield currents of the condition block.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "model/customerdb.h"

namespace analysis {

enum class Phase { R = 0, S = 1, T = 2, ThreePhase, None };

// The phase a record was measured on: the phase code of its condition block, which the
// reception sets from bits 5-4 of the tester's status byte (StatusFlag keeps bit 6 only).
Phase RecordPhase(const CMeasRecord& r);
// "Ｒ相", "Ｓ相", "Ｔ相", "３相一括" or "None" (CP932).
const std::string& PhaseText(Phase p);

// Where a record is kept: the set's name and its index in the set.
struct RecordRef {
    std::string setName; // CP932
    std::size_t index = 0;
    bool operator==(const RecordRef&) const = default;
};

// Why an unbalance ratio has no number.
enum class UnbalanceStatus {
    Ok,           // percent holds the ratio
    MissingPhase, // fewer than all three phases have a value
    ZeroMean,     // the mean of the three values is zero: "---"
};

struct Unbalance {
    UnbalanceStatus status = UnbalanceStatus::MissingPhase;
    double percent = UNSET_VALUE; // (max - min) / mean × 100, UNSET_VALUE unless Ok
    bool exceeds = false;         // percent ≧ the unbalance limit
    std::string text;             // "245.0 %" or "---" (CP932)
    bool operator==(const Unbalance&) const = default;
};

// The unbalance ratio of three values (μA or mA alike), judged against limitPercent.
// Non-finite values count as missing.
Unbalance UnbalanceOf(const std::array<std::optional<double>, 3>& values, double limitPercent);

// One row of the phase table: the records of one day at one test voltage.
struct PhaseGroup {
    OleDateTime day;        // midnight of the day (status invalid: records without a date)
    std::string dayText;    // "2024/05/12", or "" without a date (CP932)
    double testVoltage = 0; // kV
    // Per phase R, S, T: the final value (μA) and the record it comes from. When a phase was
    // measured more than once that day at that voltage, the latest record counts.
    std::array<std::optional<double>, 3> finalValue;
    std::array<std::optional<RecordRef>, 3> record;
    Unbalance leakage; // of the three final values
    // Shield currents CurrentR/S/T (mA) of the condition block: given only where all three
    // are present (non-zero and set) in a record of the group.
    std::array<std::optional<double>, 3> shieldCurrent;
    Unbalance shield;
    std::string note; // what is missing, e.g. "Ｔ相の測定なし" (CP932); empty when complete
};

// The records of one set grouped by test voltage (and by day, when the set spans days).
// Records whose phase is ３相一括 or none take no part. An empty result when the set has no
// R, S or T record.
std::vector<PhaseGroup> PhaseBalanceOfSet(const CMeasData& set, const AnalysisThresholds& t);

// The records of all sets of one cable grouped by day and test voltage; records without a
// valid start time are grouped only with records of their own set. Sorted by day, then voltage.
std::vector<PhaseGroup> PhaseBalanceOfCable(const CCable& cable, const AnalysisThresholds& t);

// The phase table shown for one selected set: the groups of the cable (as above) on the days
// the set was measured, so that sets that each hold one phase are compared with their sibling
// sets of the same day. Unknown set: empty.
std::vector<PhaseGroup> PhaseBalanceAroundSet(const CCable& cable, const std::string& setName,
                                              const AnalysisThresholds& t);

} // namespace analysis
