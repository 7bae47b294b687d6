// The measurement record: header values, sampled points, trigger events, derived values,
// and the condition block with the judgment criteria.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/datavalue.h"
#include "model/number.h"
#include "model/oledate.h"

// Phase condition codes of CTestCondition::CabKind.
enum CabKindCode : int32_t {
    CabKindNone = 0,
    CabKindThreePhase = 1, // "３相一括"
    CabKindR = 2,          // "Ｒ相"
    CabKindS = 3,          // "Ｓ相"
    CabKindT = 4,          // "Ｔ相"
};

// The code of a condition text (CP932 bytes), by exact comparison; any other text gives 0.
int32_t CabKindFromText(const std::string& cp932Text);
// The CP932 text of a code; any code other than 1-4 gives "None".
const std::string& CabKindText(int32_t code);

struct CTestCondition {
    int32_t CabKind = CabKindThreePhase;
    double CurrentR = 0.0;         // mA
    double CurrentS = 0.0;         // mA
    double CurrentT = 0.0;         // mA
    double ShisuZetuen = 0.0;      // MΩ, may be UNSET_VALUE
    double CabSectionalArea = 0.0; // mm²
    double CabLength = 0.0;        // m
    std::string Weather;           // CP932
    double Temperature = 0.0;      // ℃
    double Humidity = 0.0;         // %
    double SeikyokuMin = 0.5;
    double SeikyokuMax = 1.0;
    double JyakutenMin = 1.0;
    double JyakutenMax = 5.0;
    double LastCurrentMin = 1.0; // μA
    double LastCurrentMax = 10.0;
    std::string Remarks; // CP932
    std::string Shindan; // CP932

    bool operator==(const CTestCondition&) const = default;
};

// The "DefCnd" settings as the texts they are kept in; turned into the condition block of
// newly registered records by ConditionFromDefaults.
struct DefaultConditionTexts {
    std::string CabKind; // CP932 condition text
    std::string Shindan;
    std::string CurrentR, CurrentS, CurrentT;
    std::string ShisuZetuen;
    std::string CabSectionalArea, CabLength;
    std::string SeikyokuMin, SeikyokuMax, JyakutenMin, JyakutenMax, LastCurrentMin, LastCurrentMax;
};

// Conditions of a newly registered record: CabKind by text, Shindan as text, the numbers by
// atof, ShisuZetuen as an optional number; Weather, Temperature, Humidity and Remarks keep
// their initial values.
CTestCondition ConditionFromDefaults(const DefaultConditionTexts& texts);

struct CMeasPoint {
    CDataValue value;     // μA
    double elapsed = 0.0; // seconds since the start of the measurement

    bool operator==(const CMeasPoint&) const = default;
};

// The longest elapsed time a point can carry: the largest time the final value selection lets a
// user enter. A time beyond it in either direction, or one that is not finite, only comes from a
// damaged or crafted file.
inline constexpr double kMaxElapsedSeconds = 99999.9;

// A time a point may carry: finite and within kMaxElapsedSeconds of the start.
bool IsValidElapsed(double seconds);
// A point that takes part in computations and drawings: a valid time and a finite value.
// Invalid points stay in the record as read (so a store is written back unchanged) but are
// passed over by the final value, trigger events, ratios, peak values, graphs and page counts.
bool IsValidPoint(const CMeasPoint& p);

struct CTriggerEvent {
    CDataValue maximum; // μA
    double start = 0.0; // elapsed seconds of the first point of the event
    double stop = 0.0;  // elapsed seconds of the last point at or above the trigger setting

    bool operator==(const CTriggerEvent&) const = default;
};

enum class Judgment { Good, Caution, Bad };

class CMeasRecord {
public:
    int32_t DataNo = -1;
    int32_t StatusFlag = 0;
    int32_t RangeFlag = 0;     // 1: currents shown with one decimal, 0: with three
    double TestVoltage = 0.0;  // kV
    double LastCurrent = 0.0;  // μA
    double TriggerLevel = 0.0; // μA
    double SeikyokuRatio = UNSET_VALUE;
    double JyakutenRatio = UNSET_VALUE;
    double Reserved = 0.0;
    CTestCondition Condition;
    int32_t UsedPoints = 0;
    int32_t ShowSeikyoku = 1;
    int32_t ShowJyakuten = 1;
    std::vector<CMeasPoint> Points;
    OleDateTime StartTime; // status invalid until received
    std::vector<CTriggerEvent> Triggers;

    // Back to the initial values of a new record.
    void Reset() { *this = CMeasRecord(); }

    // A record counts as complete when its start time is valid and it has used points.
    bool IsComplete() const { return StartTime.status == OleDateTime::Valid && UsedPoints > 0; }

    // Sets UsedPoints to n (-1: all points), recomputes Triggers and LastCurrent.
    // Points at or before triggValidSec seconds never start, end or extend an event, nor do
    // invalid points. An invalid last used point leaves LastCurrent UNSET_VALUE.
    void RecalcFinalAndTriggers(int n, int triggValidSec);

    // The value at elapsed time t, searched over all valid points (not only the used ones):
    // true with the first point at or after t; false when no point reaches t (out then
    // holds the last valid point's value, or is untouched when there is none).
    bool ValueAtTime(double t, double& out) const;

    // Over the valid used points, raises maxValue to the highest value and maxTime to the
    // highest elapsed time; with fromFirst both are first set from the first of them.
    void PeakValues(bool fromFirst, double& maxValue, double& maxTime) const;

    // The current of the last used point, 0.0 without used points, nothing when that point is
    // invalid.
    std::optional<double> FinalPointValue() const;

    // Judgments against the record's own criteria (the minimum side is tested first).
    Judgment JudgeSeikyoku() const;
    Judgment JudgeJyakuten() const;
    Judgment JudgeLastCurrent() const;

    bool operator==(const CMeasRecord&) const = default;
};

// The CP932 judgment word: "良", "注意" or "不良".
const std::string& JudgmentWord(Judgment j);

// Judgment rules, on plain numbers so that editors can preview them.
Judgment JudgeHighIsGood(double v, double min, double max); // polarization ratio
Judgment JudgeLowIsGood(double v, double min, double max);  // weak-point ratio, final value
