// JobReport: the report of one test visit as one document: a cover page, the summary pages
// (one row per measurement, the cables' overall judgments, the totals and the remarks), then
// parts of pages drawn by their own painters (each measurement's printed report, a cable's
// history or phase table), every page with a footer that carries the report number, the
// customer and the page number across the whole document.
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "analysis/jobsummary.h"
#include "report/pagereport.h"
#include "report/reportblocks.h"
#include "report/textshaper.h"

class QPagedPaintDevice;
class QPaintDevice;

// What the cover and the footers show, as the user typed it.
struct JobReportInfo {
    QString customer;
    QString reportNumber; // "2026-031"
    QString reportDate;   // "2026/03/20"
    QString tester;       // 試験者
    QString witness;      // 立会者
    QString remarks;      // 所見: lines separated by '\n'
    QString companyName, companyAddress, companyPhone;
    QString logoPath; // an image file; none drawn when it cannot be read
};

// Pages of the document drawn by another painter. draw(painter, device, area, page) draws page
// 1 … pages into the device rectangle `area`; the painter must be built with the job's
// PartOptions(), so that it leaves the footer's room free and prints no page number of its own.
struct JobPart {
    int pages = 0;
    std::function<void(QPainter&, const QPaintDevice&, const QRectF&, int)> draw;
};

// A block that draws an image scaled into its cell, keeping its proportions, centred.
class ImageBlock : public Block {
public:
    ImageBlock(std::string name, QImage image) : Block(std::move(name)), m_image(std::move(image)) {}
    void draw(QPainter& p, const LayoutContext& ctx) const override;

private:
    QImage m_image;
};

class JobReport {
public:
    static constexpr int kFooterLength = 50; // 0.1 mm
    static constexpr int kFooterGapMm = 2;   // between a page's content and its footer
    static constexpr int kSummaryRowsPerPage = 48;
    // The last summary page also holds the totals and the remarks.
    static constexpr int kSummaryRowsLastPage = 36;
    static constexpr int kRemarkLines = 8;

    // judgments: the judgment-output setting; without it the summary shows the values alone.
    JobReport(const ReportSettings& settings, JobReportInfo info, analysis::JobSummary summary,
              bool judgments, const PrintOptions& options);
    ~JobReport();

    // The print options for the painters of the parts: the job's margins with the footer's room
    // added at the bottom, and no page number of their own.
    PrintOptions PartOptions() const;
    // One measurement's printed pages (the single report's painter).
    void AddRecord(const ReportContent& content, double width, double axis);
    void AddPart(JobPart part);

    static int SummaryPageCount(std::size_t rows);
    int summaryPages() const { return SummaryPageCount(m_summary.rows.size()); }
    int partPages() const { return m_partPages; }
    int totalPages() const { return 1 + summaryPages() + m_partPages; }

    // The cover (page 1) and summary page i (1-based) as grids, laid out by the caller.
    LayoutGrid* buildCover();
    LayoutGrid* buildSummaryPage(int i);
    // Draws page p (1-based) of the whole document into the device rectangle `area`.
    void drawPage(QPainter& painter, const QPaintDevice& device, const QRectF& area, int p);
    // As PageReport::print, over the whole document.
    bool print(QPagedPaintDevice& device, int fromPage, int toPage,
               const std::function<bool(int, int)>& progress = {});

private:
    void drawGrid(QPainter& painter, const QPaintDevice& device, const QRectF& area, LayoutGrid& g);
    void drawFooter(QPainter& painter, const QPaintDevice& device, const QRectF& area, int p);
    void placeSummaryTable(LayoutGrid& g, int row, int first, int count);
    void placeTotals(LayoutGrid& g, int row);
    void placeRemarks(LayoutGrid& g, int row);
    report::TextShaper& shaperFor(const QPaintDevice& device);

    ReportSettings m_settings;
    JobReportInfo m_info;
    analysis::JobSummary m_summary;
    bool m_judgments;
    PrintOptions m_options;
    QImage m_logo;
    std::vector<std::unique_ptr<PageReport>> m_reports;
    std::vector<JobPart> m_parts;
    int m_partPages = 0;
    std::unique_ptr<LayoutGrid> m_page;
    std::unique_ptr<LayoutGrid> m_footer;
    std::unique_ptr<report::TextShaper> m_shaper;
};
