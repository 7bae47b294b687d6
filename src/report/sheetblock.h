// SheetBlock: a table that holds more data than its visible grid and scrolls over it, with
// its first row or first column held in place (the screen's measurement and trigger lists).
#pragma once

#include <functional>
#include <vector>

#include "report/layoutgrid.h"

class SheetBlock : public TableBlock {
public:
    enum class Fixed { FirstRow, FirstColumn };
    SheetBlock(std::string name, int columns, int rows, Fixed fixed);

    Fixed fixed() const { return m_fixed; }
    // Gives the text of a data cell that setData() did not set; called only for the cells
    // shown, so a long list formats the few rows on screen, not all of them.
    using Source = std::function<QString(int row, int column)>;

    // The data, by data row and data column; row 0 / column 0 is the fixed header.
    void setDataSize(int rows, int columns, Source source = {});
    // Stores a text; the visible cells follow at the next sync() or layout.
    void setData(int row, int column, const QString& text);
    // Copies the data under the scroll position into the visible cells.
    void sync();
    QString data(int row, int column) const;
    int dataRows() const { return m_dataRows; }
    int dataColumns() const { return m_dataCols; }

    // Scrolling along the sheet's direction (rows for a fixed first row, columns otherwise).
    int scrollPos() const { return m_scroll; }
    int maxScroll() const;
    // Sets the position, clamped to 0 … maxScroll(); true when it changed.
    bool setScrollPos(int pos);
    // Data cells wholly inside the block at the last layout (the fixed line not counted).
    int visibleCount() const { return m_visible; }

    // Room kept free at the right and bottom for the view's scroll bars, in 0.1 mm.
    void setReserve(int right, int bottom);

    void layout(const LRect& rect, const LayoutContext& ctx) override;

private:
    Fixed m_fixed;
    int m_dataRows = 0;
    int m_dataCols = 0;
    std::vector<QString> m_data; // row-major; a null text is taken from m_source
    Source m_source;
    int m_scroll = 0;
    int m_visible = 0;
    int m_reserveRight = 0;
    int m_reserveBottom = 0;
};
