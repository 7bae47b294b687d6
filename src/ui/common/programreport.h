// The report settings and print options of the running program: titles, width rates, margins
// and page numbers as the settings hold them. The screen report, the printed report and the
// analysis pages all take them from here.
#pragma once

#include "report/pagereport.h"
#include "report/reportblocks.h"

namespace ui {

ReportSettings ProgramReportSettings();
PrintOptions ProgramPrintOptions();

} // namespace ui
