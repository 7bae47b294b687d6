// The CSV file of an analysis window: the title, the names, the judgment lines and the table,
// CP932 with CR LF line ends like the measurement CSV.
#pragma once

#include <string>

#include "ui/analysis/analysispages.h"

namespace analysisui {

// The file's bytes. Fields are joined by ", " as in the measurement CSV; a field holding a
// comma, a double quote or a line break is quoted (quotes doubled), so a table cell never
// spills into the next column. Characters without a CP932 form become '?'.
std::string AnalysisCsv(const AnalysisDocument& doc, const std::string& customerLabel,
                        const std::string& cableLabel, const std::string& measLabel);

} // namespace analysisui
