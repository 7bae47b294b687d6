// The web viewer's pages (server-rendered HTML, UTF-8) and its JSON API.
#pragma once

#include <string>

#include "analysis/thresholds.h"
#include "datasource.h"
#include "reportrender.h"
#include "webfleet.h"
#include "webtree.h"

namespace web {

struct PageOut {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string fileName; // for a download (Content-Disposition: attachment)
};

struct PageContext {
    const Snapshot& snapshot;
    const Viewer& viewer;
    ReportRenderer& renderer;
    const AnalysisThresholds& thresholds;
    // The retest plan of every cable, where the page shows it (a customer's cables).
    const FleetIndex* fleet = nullptr;
};

// Text with &, <, >, " and ' escaped for HTML.
std::string Escape(std::string_view utf8);

// The login form; next is where a success goes (already checked to be a local path), message
// an error line or empty.
std::string LoginPage(const std::string& next, const std::string& message);
PageOut NotFoundPage();
const std::string& StyleSheet();

// The page of a resolved path below the site root (Resolve of the path without the leading
// '/'); 404 for a leaf the level does not have.
PageOut RenderPage(const PageContext& ctx, const Resolved& at);
// The JSON of a resolved path below /api/.
PageOut RenderApi(const PageContext& ctx, const Resolved& at);

} // namespace web
