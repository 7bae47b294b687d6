// What mxrtool and the web viewer share to write a measurement's report and CSV: the
// application folder's settings (read without writing anything back), the graph scale the
// main window would choose, and the printed report as a PDF.
#pragma once

#include <QPdfWriter>

#include <string>

#include "exchange/csvwriter.h"
#include "model/measrecord.h"
#include "report/pagereport.h"

// The report's level titles and width rates of system.ini in the application folder that
// homeOption (the --home option, may be empty) resolves to; defaults without one.
ReportSettings ReadReportSettings(const std::string& homeOption);

// The print settings of MXRView.INI (judgments, page numbers, margins); left as they are
// without an application folder.
void ReadPrintSettings(const std::string& homeOption, bool& judgments, PrintOptions& options);

// The level labels of the CSV from system.ini's titles.
CsvLabels ReadCsvLabels(const std::string& homeOption);

// Graph width (minutes) and full scale of the current axis (µA) as the main window's
// auto-scaling chooses them for the record.
struct ReportScale {
    double widthMin = 0;
    double axis = 0;
};
ReportScale AutoReportScale(const CMeasRecord& record);

// Every printed page of the report into pdf: A4 without device margins, 600 dpi, titled
// 成績表. False when the writer failed.
bool PrintReportPdf(QPdfWriter& pdf, PageReport& pages);
