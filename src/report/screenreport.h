// ScreenReport: the report the main window shows: header, result tables, the scrolling
// measurement and trigger lists and the graph, built once and refilled on every refresh.
#pragma once

#include <memory>

#include "report/graphblock.h"
#include "report/reportblocks.h"
#include "report/sheetblock.h"

class ScreenReport {
public:
    static constexpr int kMeasRows = 60;     // measurement list rows, header included
    static constexpr int kTriggColumns = 50; // trigger list columns, labels included

    explicit ScreenReport(const ReportSettings& settings);

    // Texts, lists and the graph for [start, start + width] minutes and full scale axis µA.
    void fill(const ReportContent& content, double start, double width, double axis);
    void layout(const LRect& rect, const LayoutContext& ctx);
    void draw(QPainter& p, const LayoutContext& ctx) const;

    LayoutGrid& grid() { return m_grid; }
    SheetBlock& measSheet() { return *m_meas; }
    SheetBlock& triggSheet() { return *m_trigg; }
    GraphBlock& graph() { return *m_graph; }

private:
    LayoutGrid m_grid{1, 5};
    SheetBlock* m_meas = nullptr;
    SheetBlock* m_trigg = nullptr;
    GraphBlock* m_graph = nullptr;
};
