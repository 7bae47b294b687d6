// ShownReport: what the output commands (printing, PDF, text output) need from the report on
// screen: its names, its records and its pages. The report view implements it, so the dialogs
// below it in the build order need not know the view.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/measrecord.h"

class QPagedPaintDevice;

class ShownReport {
public:
    // The customer, cable and data set the report shows.
    struct Names {
        std::string customer;
        std::string cable;
        std::string measData;
    };

    // True when a real record is shown (not the empty report of a missing selection).
    virtual bool HasRecord() const = 0;
    // The record the report shows, or nullptr.
    virtual const CMeasRecord* DisplayedRecord() const = 0;
    virtual Names ShownNames() const = 0;
    // Every record the report holds, the shown one first.
    virtual const std::vector<CMeasRecord>& Records() const = 0;
    // The number of printed pages (0 without a record), and printing pages from … to (1-based,
    // inclusive) on a paged device; progress gets the pages done and the pages to print after
    // each page and stops printing by returning false.
    virtual int PrintPageCount() const = 0;
    virtual bool PrintReport(QPagedPaintDevice& device, int fromPage, int toPage,
                             const std::function<bool(int, int)>& progress) const = 0;

protected:
    ShownReport() = default;
    ShownReport(const ShownReport&) = default;
    ShownReport& operator=(const ShownReport&) = default;
    ~ShownReport() = default;
};
