// The job report of a customer's visit put together from the tree: the selected records'
// summary, each record's printed pages at the scale the main window would choose for it, and,
// where asked, each cable's 経年変化 pages and 相間比較 table after the cable's records. The
// program's dialog and mxrtool build the same document through this.
#pragma once

#include <QString>

#include <memory>
#include <string>

#include "analysis/jobsummary.h"
#include "analysis/thresholds.h"
#include "report/jobreport.h"

namespace jobdoc {

struct JobRequest {
    analysis::JobSelection selection;
    JobReportInfo info; // info.customer empty: the customer's name
    bool history = false; // each cable's 経年変化
    bool phase = false;   // each cable's 相間比較 (only where the cable has R, S or T records)
    bool judgments = true;
    PrintOptions options;
    ReportSettings settings;
    AnalysisThresholds thresholds;
};

struct JobBuild {
    std::vector<analysis::JobRecord> records;
    analysis::JobSummary summary;
    std::unique_ptr<JobReport> report;
};

// The document for the records the request selects (report is built even for none: the cover
// and an empty summary). The customer's tree must outlive the result unchanged.
JobBuild BuildJob(const CCustomer& customer, const JobRequest& request);

// The width (minutes) and axis (μA) the main window's auto-scaling picks for a record.
void AutoScale(const CMeasRecord& record, double& width, double& axis);

// "<customer>_<date>_試験成績書.pdf" with the characters a file name cannot hold replaced.
QString JobPdfProposal(const QString& customer, const QString& date);

} // namespace jobdoc
