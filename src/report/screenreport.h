// ScreenReport: the report the main window shows: header, result tables, the scrolling
// measurement and trigger lists and the graph, built once and refilled on every refresh.
#pragma once

#include <QImage>
#include <QSize>

#include <memory>

#include "report/graphblock.h"
#include "report/reportblocks.h"
#include "report/sheetblock.h"
#include "report/textshaper.h"

class ScreenReport {
public:
    static constexpr int kMeasRows = 60;     // measurement list rows, header included
    static constexpr int kTriggColumns = 50; // trigger list columns, labels included

    explicit ScreenReport(const ReportSettings& settings);

    // Texts, lists and the graph for [start, start + width] minutes and full scale axis µA.
    void fill(const ReportContent& content, double start, double width, double axis);
    void layout(const LRect& rect, const LayoutContext& ctx);
    // Draws the whole report (every block, every line and text) with the painter.
    void draw(QPainter& p, const LayoutContext& ctx);

    // Paints the part `exposed` of a device of `size` (device-independent pixels at ratio
    // dpr) from a picture of the report, drawn again only when the contents (fill), the layout
    // (layout, which a resize and a refresh run), a list's scroll position, the size, the
    // ratio or the mapping changed since it was drawn, or after invalidate().
    void paint(QPainter& p, const LayoutContext& ctx, QSize size, qreal dpr, const QRect& exposed);
    void invalidate() { ++m_version; }
    // How often paint() had to draw the picture (tests).
    int pictureDraws() const { return m_pictureDraws; }

    LayoutGrid& grid() { return m_grid; }
    SheetBlock& measSheet() { return *m_meas; }
    SheetBlock& triggSheet() { return *m_trigg; }
    GraphBlock& graph() { return *m_graph; }

private:
    // The context with this report's text shaper for the context's device.
    LayoutContext shaped(const LayoutContext& ctx);

    // What the picture was drawn for; any difference draws it again.
    struct PictureKey {
        quint64 version = 0;
        int measScroll = 0;
        int triggScroll = 0;
        QSize size;
        qreal dpr = 0;
        double scaleX = 0, scaleY = 0;
        bool operator==(const PictureKey&) const = default;
    };

    LayoutGrid m_grid{1, 5};
    std::unique_ptr<report::TextShaper> m_shaper;
    quint64 m_version = 1; // bumped by every fill, layout and invalidate
    QImage m_picture;
    PictureKey m_pictureKey;
    int m_pictureDraws = 0;
    SheetBlock* m_meas = nullptr;
    SheetBlock* m_trigg = nullptr;
    GraphBlock* m_graph = nullptr;
};
