// SheetBlock: data storage, scroll position and the visible window over the data.
#include "report/sheetblock.h"

#include <algorithm>

SheetBlock::SheetBlock(std::string name, int columns, int rows, Fixed fixed)
    : TableBlock(std::move(name), columns, rows), m_fixed(fixed)
{
}

void SheetBlock::setDataSize(int rows, int columns, Source source)
{
    m_source = std::move(source);
    m_dataRows = std::max(rows, 0);
    m_dataCols = std::max(columns, 0);
    m_data.assign(static_cast<std::size_t>(m_dataRows) * m_dataCols, QString());
    m_scroll = std::clamp(m_scroll, 0, maxScroll());
    sync();
}

void SheetBlock::setData(int row, int column, const QString& text)
{
    if (row < 0 || column < 0 || row >= m_dataRows || column >= m_dataCols)
        return;
    m_data[static_cast<std::size_t>(row) * m_dataCols + column] = text;
}

QString SheetBlock::data(int row, int column) const
{
    if (row < 0 || column < 0 || row >= m_dataRows || column >= m_dataCols)
        return {};
    const QString& stored = m_data[static_cast<std::size_t>(row) * m_dataCols + column];
    if (stored.isNull() && m_source)
        return m_source(row, column);
    return stored;
}

int SheetBlock::maxScroll() const
{
    const int dataLines = (m_fixed == Fixed::FirstRow ? m_dataRows : m_dataCols) - 1;
    return std::max(0, dataLines - m_visible);
}

bool SheetBlock::setScrollPos(int pos)
{
    pos = std::clamp(pos, 0, maxScroll());
    if (pos == m_scroll)
        return false;
    m_scroll = pos;
    sync();
    return true;
}

void SheetBlock::setReserve(int right, int bottom)
{
    m_reserveRight = std::max(right, 0);
    m_reserveBottom = std::max(bottom, 0);
}

void SheetBlock::layout(const LRect& rect, const LayoutContext& ctx)
{
    Block::layout(rect, ctx);
    LRect inner = rect;
    inner.right -= std::min(m_reserveRight, rect.width());
    inner.bottom += std::min(m_reserveBottom, rect.height());
    m_grid.layout(inner, ctx);
    // Lines after the fixed one that end inside the block count as visible.
    const bool byRow = m_fixed == Fixed::FirstRow;
    const auto& tracks = byRow ? m_grid.rows() : m_grid.columns();
    const int extent = byRow ? inner.height() : inner.width();
    m_visible = 0;
    for (std::size_t i = 1; i < tracks.size(); ++i) {
        const int start = tracks[i - 1].end;
        if (tracks[i].end <= extent && tracks[i].end > start)
            ++m_visible;
        else
            break;
    }
    m_scroll = std::clamp(m_scroll, 0, maxScroll());
    sync();
}

void SheetBlock::sync()
{
    const bool byRow = m_fixed == Fixed::FirstRow;
    for (int r = 0; r < m_grid.rowCount(); ++r) {
        for (int c = 0; c < m_grid.columnCount(); ++c) {
            int dr = r, dc = c;
            if (byRow && r > 0)
                dr += m_scroll;
            if (!byRow && c > 0)
                dc += m_scroll;
            m_grid.setText(c, r, data(dr, dc));
        }
    }
}
