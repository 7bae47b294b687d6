// PageReport: the printed report: graph pages (three time strips each, the trigger table on
// page 1) followed by measurement table pages of 552 points, every page with the title, the
// header row and the result tables. Each page builds its own grid.
#pragma once

#include <QSize>

#include <functional>
#include <memory>

#include "report/reportblocks.h"
#include "report/textshaper.h"

class QPagedPaintDevice;
class QPaintDevice;

// Print settings: margins in whole millimetres inside the printable area.
struct PrintOptions {
    bool pageNumbers = true;
    int marginTop = 5, marginLeft = 5, marginBottom = 5, marginRight = 5;
};

// The pieces every printed page shares, also with the analysis pages.
// The page title row at the top of g: no lines, the title in the middle, the page number at
// the right when the options ask for it, and a note (the approval) at the left when given.
void PlacePageTitle(LayoutGrid& g, const QString& title, int page, int total,
                    const PrintOptions& options, const QString& note = {});
// The frame of a listing page (the change journal, the fleet): the title row with the page
// number, a line naming what is listed (scope), a gap, then a row of tableLength for the table
// (placed by the caller at column 0, row 3) and the rest of the page.
std::unique_ptr<LayoutGrid> MakeListingPage(const QString& title, const QString& scope, int page,
                                            int total, const PrintOptions& options,
                                            int tableLength);
// A printable area (device rectangle) less the margins, in report units.
LRect MarginRect(const ReportMapping& mapping, const QRectF& area, const PrintOptions& options);
// Prints pages from … to (kept inside 1 … total) on a paged device, one device page each,
// drawing each with drawPage into the device's printable area; progress as PageReport's.
// False when nothing could be printed or progress stopped it.
bool PrintPages(QPagedPaintDevice& device, int fromPage, int toPage, int total,
                const std::function<void(QPainter&, const QRectF& area, int page)>& drawPage,
                const std::function<bool(int done, int count)>& progress);
// PrintPages for pages that are one layout grid each (the analysis and history printouts):
// buildPage(page) gives the page's grid, laid out in the area less the margins and drawn.
bool PrintGridPages(QPagedPaintDevice& device, int fromPage, int toPage, int total,
                    const PrintOptions& options, const std::function<LayoutGrid*(int page)>& buildPage,
                    const std::function<bool(int done, int count)>& progress);

class PageReport {
public:
    // content.judgments decides the judgment words; w = strip width (minutes), axis in µA.
    PageReport(const ReportSettings& settings, const ReportContent& content, double w, double axis,
               const PrintOptions& options);

    int graphPages() const { return m_counts.graphPages; }
    int totalPages() const { return m_counts.total; }

    // Builds and fills the grid of page p (1-based); nothing for a page out of range.
    LayoutGrid* buildPage(int p);
    // Draws page p into the device's printable area (device rectangle `area`) less the margins.
    void drawPage(QPainter& painter, const QPaintDevice& device, const QRectF& area, int p);
    // Prints pages from … to (1-based, inclusive, kept inside the report) on a paged device
    // (a printer, a PDF writer) at the device's own resolution, one device page each, every
    // page into the device's printable area. False when nothing could be printed.
    bool print(QPagedPaintDevice& device, int fromPage, int toPage);
    // Called after each printed page with the pages done and the pages to print; returning
    // false stops printing (print then returns false and leaves the painter ended).
    using PageProgress = std::function<bool(int done, int count)>;
    bool print(QPagedPaintDevice& device, int fromPage, int toPage, const PageProgress& progress);
    // The page's drawing rectangle in report units for a printable area.
    LRect pageRect(const ReportMapping& mapping, const QRectF& area) const;
    // Draws with a shaper owned by the caller (for the device it was made for) instead of one
    // of its own, so that a document of many reports measures its fonts and texts once;
    // nullptr: its own again.
    void shareShaper(report::TextShaper* shaper) { m_sharedShaper = shaper; }

private:
    void fillGraphPage(LayoutGrid& g, int p);
    void fillTablePage(LayoutGrid& g, int p);

    ReportSettings m_settings;
    ReportContent m_content;
    double m_width;
    double m_axis;
    PrintOptions m_options;
    report::PageCounts m_counts;
    std::unique_ptr<LayoutGrid> m_page;
    // Fonts, plain texts' glyphs and fitted heights, kept for every page of the device.
    std::unique_ptr<report::TextShaper> m_shaper;
    report::TextShaper* m_sharedShaper = nullptr;
};
