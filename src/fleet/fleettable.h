// The fleet as a table of texts: the columns the fleet window shows and the CSV file it and
// mxrtool write, so that both read alike.
#pragma once

#include <string>
#include <vector>

#include "fleet/fleetplan.h"

namespace fleet {

enum class Column {
    // The plan first, so that a narrow window shows it; the register's fields after it.
    Rank,
    Customer,
    Cable,
    Importance,
    Status,
    NextDue,
    Score,
    Trend,
    PhaseJudgment,
    LastTest,
    Interval,
    Reason,
    Location,
    VoltageClass,
    CableType,
    CrossSection,
    Length,
    InstallYear,
    Person,
    Contributions,
    Count
};

// Header of a column (UTF-8): "順位", "需要家", ...
const char* ColumnTitle(Column c);
// The text of a cell (UTF-8); dates as "2024/05/12", an empty text where nothing is known.
std::string CellText(const CablePlan& p, Column c);
// The score's contributions, one line each ("不平衡率 214 % … −30"), "" when none.
std::string ContributionText(const CablePlan& p, const char* separator = "\n");

// The table as CSV: UTF-8 after a byte-order mark, CR LF line ends, fields quoted where they
// hold a comma, quote or line break; the contributions joined by " / ".
std::string FleetCsv(const std::vector<CablePlan>& plans);

} // namespace fleet
