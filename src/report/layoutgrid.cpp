// LayoutGrid: track sizing into a rectangle, font fitting, and drawing of cells and blocks.
#include "report/layoutgrid.h"

#include "report/celltext.h"
#include "report/textshaper.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <cmath>

namespace report {

QString gothicFace()
{
    return QStringLiteral("ＭＳ ゴシック");
}

QString pGothicFace()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

QFont cellFont(const QString& face, int weight, int pixelSize)
{
    QFont f;
    const QString fallback =
        face == pGothicFace() ? QStringLiteral("IPAPGothic") : QStringLiteral("IPAGothic");
    f.setFamilies({face, fallback});
    f.setPixelSize(pixelSize);
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

} // namespace report

LayoutGrid::LayoutGrid(int columns, int rows)
    : m_cols(report::makeTracks(columns)), m_rows(report::makeTracks(rows)),
      m_cells(static_cast<std::size_t>(std::max(columns, 0)) * std::max(rows, 0))
{
}

int LayoutGrid::index(int col, int row) const
{
    return row * columnCount() + col;
}

CellRange LayoutGrid::resolve(CellRange r) const
{
    if (r.lastCol < 0 || r.lastCol >= columnCount())
        r.lastCol = columnCount() - 1;
    if (r.lastRow < 0 || r.lastRow >= rowCount())
        r.lastRow = rowCount() - 1;
    r.firstCol = std::clamp(r.firstCol, 0, std::max(0, columnCount() - 1));
    r.firstRow = std::clamp(r.firstRow, 0, std::max(0, rowCount() - 1));
    return r;
}

template <class F> void LayoutGrid::forRange(CellRange r, F f)
{
    r = resolve(r);
    for (int row = r.firstRow; row <= r.lastRow; ++row)
        for (int col = r.firstCol; col <= r.lastCol; ++col)
            f(cell(col, row), col, row, r);
}

Block* LayoutGrid::findBlock(const std::string& name)
{
    for (Cell& c : m_cells) {
        if (!c.block)
            continue;
        if (c.block->name() == name)
            return c.block.get();
        if (LayoutGrid* inner = c.block->grid())
            if (Block* found = inner->findBlock(name))
                return found;
    }
    return nullptr;
}

void LayoutGrid::applyFont(const QString& face, int weight)
{
    for (Cell& c : m_cells) {
        c.style.face = face;
        c.style.weight = weight;
        c.fittedHeight = 0;
    }
}

void LayoutGrid::setText(int col, int row, const QString& text)
{
    Cell& c = cell(col, row);
    if (c.text != text) {
        c.text = text;
        if (c.groupFont < 0)
            c.fittedHeight = 0;
    }
}

void LayoutGrid::addFitGroup(int anchorCol, int anchorRow, CellRange range, const QString& templ)
{
    const int g = static_cast<int>(m_groups.size());
    m_groups.push_back({anchorCol, anchorRow, resolve(range), templ});
    cell(anchorCol, anchorRow).templ = templ;
    forRange(range, [g](Cell& c, int, int, const CellRange&) { c.groupFont = g; });
}

void LayoutGrid::setBackground(CellRange range, const QColor& colour)
{
    forRange(range, [&](Cell& c, int, int, const CellRange&) {
        c.style.background = colour;
        c.style.hasBackground = true;
    });
}

void LayoutGrid::setBorders(CellRange range, const QColor& colour, int sides, bool outlineOnly)
{
    forRange(range, [&](Cell& c, int col, int row, const CellRange& r) {
        int mask = sides;
        if (outlineOnly) {
            mask &= (col == r.firstCol ? SideLeft : 0) | (col == r.lastCol ? SideRight : 0) |
                    (row == r.firstRow ? SideTop : 0) | (row == r.lastRow ? SideBottom : 0);
        }
        const int bits[4] = {SideLeft, SideTop, SideRight, SideBottom};
        for (int i = 0; i < 4; ++i)
            if (mask & bits[i]) {
                c.style.border[i] = colour;
                c.style.sides |= bits[i];
            }
    });
}

void LayoutGrid::setAlignment(CellRange range, CellAlign align)
{
    forRange(range, [&](Cell& c, int, int, const CellRange&) { c.style.align = align; });
}

void LayoutGrid::setMargins(CellRange range, int left, int top, int right, int bottom)
{
    forRange(range, [&](Cell& c, int, int, const CellRange&) {
        c.style.marginLeft = left;
        c.style.marginTop = top;
        c.style.marginRight = right;
        c.style.marginBottom = bottom;
    });
}

void LayoutGrid::merge(CellRange range)
{
    const CellRange r = resolve(range);
    forRange(r, [&](Cell& c, int col, int row, const CellRange&) {
        c.mergedAway = !(col == r.firstCol && row == r.firstRow);
    });
    Cell& first = cell(r.firstCol, r.firstRow);
    first.spanCols = r.lastCol - r.firstCol + 1;
    first.spanRows = r.lastRow - r.firstRow + 1;
}

QFont LayoutGrid::deviceFont(const CellStyle& s, int height, const LayoutContext& ctx)
{
    const QString face = s.face.isEmpty() ? report::gothicFace() : s.face;
    const int px = ctx.mapping.pixelSizeFor(height);
    return ctx.shaper ? ctx.shaper->font(face, s.weight, px) : report::cellFont(face, s.weight, px);
}

static QRectF textRect(const Cell& c, const LayoutContext& ctx)
{
    const LRect r{c.rect.left + c.style.marginLeft, c.rect.top - c.style.marginTop,
                  c.rect.right - c.style.marginRight, c.rect.bottom + c.style.marginBottom};
    QRectF d = ctx.mapping.toDevice(r).normalized();
    d.setLeft(d.left() + 1);
    d.setTop(d.top() + 1);
    return d;
}

static bool fits(const QFont& font, const Cell& c, const QString& text, const LayoutContext& ctx)
{
    const QRectF room = textRect(c, ctx);
    const int flags = c.style.align == CellAlign::CenterMultiLine ? 0 : Qt::TextSingleLine;
    const QSizeF size = ctx.shaper ? ctx.shaper->size(font, flags, text)
                                   : QFontMetricsF(font, ctx.device).size(flags, text);
    return size.width() <= room.width() && size.height() <= room.height();
}

report::TextFit LayoutGrid::legibleFit(const Cell& c, const LayoutContext& ctx)
{
    const int preferred = c.fittedHeight > 0 ? c.fittedHeight : fitText(c, c.text, ctx);
    const int minimum =
        c.style.minimumHeight > 0
            ? report::legibleMinimumHeight(ctx.mapping, c.style.minimumHeight)
            : report::legibleMinimumHeight(ctx.mapping);
    if (c.style.align == CellAlign::CenterMultiLine) {
        // Texts with their own line breaks are headers sized by their templates: shrunk to
        // the minimum at most, never wrapped again.
        if (preferred >= minimum && fits(deviceFont(c.style, preferred, ctx), c, c.text, ctx))
            return {preferred, 1, false};
        const int h = std::max(std::min(preferred, fitText(c, c.text, ctx)), minimum);
        return {h, 1, false, !fits(deviceFont(c.style, h, ctx), c, c.text, ctx)};
    }
    const QRectF room = textRect(c, ctx);
    auto fitsAt = [&](int h, int lines) {
        const QFont font = deviceFont(c.style, h, ctx);
        if (lines <= 1)
            return fits(font, c, c.text, ctx);
        bool complete = false;
        const QStringList wrapped =
            report::wrapLines(c.text, font, ctx.device, room.width(), lines, &complete);
        return complete &&
               QFontMetricsF(font, ctx.device).height() * wrapped.size() <= room.height();
    };
    auto roomFor = [&](int h, int lines) {
        return QFontMetricsF(deviceFont(c.style, h, ctx), ctx.device).height() * lines <=
               room.height();
    };
    return report::fitLegible(preferred, minimum, fitsAt, roomFor);
}

void LayoutGrid::drawText(QPainter& p, const Cell& c, const QRectF& cellRect,
                          const LayoutContext& ctx)
{
    const CellStyle& s = c.style;
    const QRectF room = textRect(c, ctx);
    // A group's font suits its expected texts; a longer actual text (a long remark, large
    // currents) is made smaller, but not below the legible minimum: past that it wraps to a
    // second line, and what even that cannot hold is elided.
    const report::TextFit fit = legibleFit(c, ctx);
    const QFont font = deviceFont(s, fit.height, ctx);
    // A text that fits its room stays inside the cell by the margins, so it needs no clip;
    // clipping every cell would make each one a graphics-state change of its own (in a PDF a
    // restated clip path per cell).
    const bool clipped = fit.overflows || fit.lines != 1 || fit.elided;
    if (clipped) {
        p.save();
        p.setClipRect(cellRect, Qt::IntersectClip);
    }
    p.setPen(s.textColor);
    p.setFont(font);
    const int hAlign = s.align == CellAlign::Right  ? Qt::AlignRight
                       : s.align == CellAlign::Left ? Qt::AlignLeft
                                                    : Qt::AlignHCenter;
    if (s.align == CellAlign::CenterMultiLine)
        p.drawText(room, Qt::AlignVCenter | Qt::AlignHCenter, c.text);
    else if (fit.lines == 1 && !fit.elided && ctx.shaper)
        ctx.shaper->drawLine(p, room, Qt::AlignVCenter | hAlign, c.text);
    else if (fit.lines == 1 && !fit.elided)
        p.drawText(room, Qt::AlignVCenter | hAlign | Qt::TextSingleLine, c.text);
    else
        report::drawLines(
            p, room, report::wrapLines(c.text, font, ctx.device, room.width(), fit.lines), hAlign);
    if (clipped)
        p.restore();
}

int LayoutGrid::fitText(const Cell& c, const QString& text, const LayoutContext& ctx)
{
    const QRectF room = textRect(c, ctx);
    if (text.isEmpty() || room.width() <= 0 || room.height() <= 0)
        return 1;
    auto search = [&] {
        return report::fitHeight(
            [&](int h) { return fits(deviceFont(c.style, h, ctx), c, text, ctx); });
    };
    if (!ctx.shaper)
        return search();
    // The same text, style and room fit the same on every page: searched once per job.
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|")
                            .arg(c.style.face)
                            .arg(c.style.weight)
                            .arg(static_cast<int>(c.style.align))
                            .arg(room.width(), 0, 'g', 12)
                            .arg(room.height(), 0, 'g', 12) +
                        text;
    if (const int known = ctx.shaper->rememberedFit(key))
        return known;
    const int h = search();
    ctx.shaper->rememberFit(key, h);
    return h;
}

void LayoutGrid::layout(const LRect& rect, const LayoutContext& ctx)
{
    m_rect = rect;
    report::sizeTracks(m_cols, rect.width());
    report::sizeTracks(m_rows, rect.height());
    auto colStart = [&](int i) { return rect.left + (i == 0 ? 0 : m_cols[i - 1].end); };
    auto rowStart = [&](int i) { return rect.top - (i == 0 ? 0 : m_rows[i - 1].end); };
    for (int row = 0; row < rowCount(); ++row) {
        for (int col = 0; col < columnCount(); ++col) {
            Cell& c = cell(col, row);
            const int lastCol = std::min(col + c.spanCols, columnCount()) - 1;
            const int lastRow = std::min(row + c.spanRows, rowCount()) - 1;
            const LRect r{colStart(col), rowStart(row), rect.left + m_cols[lastCol].end,
                          rect.top - m_rows[lastRow].end};
            if (!(r == c.rect))
                c.fittedHeight = 0;
            c.rect = r;
            if (c.block)
                c.block->layout(r, ctx);
        }
    }
    for (const FitGroup& g : m_groups) {
        const Cell& anchor = cell(g.anchorCol, g.anchorRow);
        const int h = fitText(anchor, g.templ, ctx);
        forRange(g.range, [h](Cell& c, int, int, const CellRange&) { c.fittedHeight = h; });
    }
    for (Cell& c : m_cells) {
        if (c.groupFont < 0 && !c.mergedAway && c.fittedHeight == 0)
            c.fittedHeight = fitText(c, c.text, ctx);
    }
}

namespace {

struct Side {
    QLineF line;
    QRgb colour;
};

// Joins the axis-parallel lines of one colour that lie on one line and touch or overlap into
// one line each. Within one colour the order of drawing does not matter, and square caps make
// the joined line cover exactly what its pieces covered.
std::vector<QLineF> joinCollinear(std::vector<QLineF> lines)
{
    std::vector<QLineF> out;
    std::vector<std::array<double, 3>> horizontal, vertical; // fixed coordinate, from, to
    for (const QLineF& l : lines) {
        if (l.y1() == l.y2())
            horizontal.push_back({l.y1(), std::min(l.x1(), l.x2()), std::max(l.x1(), l.x2())});
        else if (l.x1() == l.x2())
            vertical.push_back({l.x1(), std::min(l.y1(), l.y2()), std::max(l.y1(), l.y2())});
        else
            out.push_back(l);
    }
    auto join = [&](std::vector<std::array<double, 3>>& v, bool isHorizontal) {
        std::sort(v.begin(), v.end());
        for (std::size_t i = 0; i < v.size();) {
            std::array<double, 3> cur = v[i++];
            while (i < v.size() && v[i][0] == cur[0] && v[i][1] <= cur[2])
                cur[2] = std::max(cur[2], v[i++][2]);
            out.push_back(isHorizontal ? QLineF(cur[1], cur[0], cur[2], cur[0])
                                       : QLineF(cur[0], cur[1], cur[0], cur[2]));
        }
    };
    join(horizontal, true);
    join(vertical, false);
    return out;
}

// Draws the cells' sides in the order the cells gave them. Two neighbours give their common
// edge twice; only the later one shows (same place, same width), so the earlier is dropped.
// Each run of one colour then goes out with one pen, its touching pieces joined.
void drawSides(QPainter& p, std::vector<Side>& sides, double width)
{
    // Sides lie on whole device units, so a line is known by its four coordinates.
    struct Key {
        std::array<qint64, 2> v;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const
        {
            return std::hash<qint64>()(k.v[0] * 1000003 ^ k.v[1]);
        }
    };
    auto key = [](const QLineF& l) {
        auto pack = [](double a, double b) {
            return (static_cast<qint64>(a) << 32) ^ static_cast<quint32>(static_cast<qint32>(b));
        };
        return Key{{pack(l.x1(), l.y1()), pack(l.x2(), l.y2())}};
    };
    std::unordered_map<Key, std::size_t, KeyHash> last;
    last.reserve(sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i)
        last[key(sides[i].line)] = i;
    std::vector<QLineF> run;
    QRgb runColour = 0;
    auto flush = [&] {
        if (run.empty())
            return;
        QPen pen(QColor::fromRgba(runColour), width);
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        const std::vector<QLineF> joined = joinCollinear(std::move(run));
        p.drawLines(joined.data(), static_cast<int>(joined.size()));
        run.clear();
    };
    for (std::size_t i = 0; i < sides.size(); ++i) {
        if (last[key(sides[i].line)] != i)
            continue;
        if (!run.empty() && sides[i].colour != runColour)
            flush();
        runColour = sides[i].colour;
        run.push_back(sides[i].line);
    }
    flush();
}

} // namespace

void LayoutGrid::draw(QPainter& p, const LayoutContext& ctx) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipRect(ctx.mapping.toDevice(m_rect).normalized().adjusted(0, 0, 1, 1),
                  Qt::IntersectClip);
    const double lineWidth = std::max(1.0, std::floor(ctx.mapping.scaleX()));
    // Backgrounds and texts first, then the sides over them: a text never reaches the sides
    // (it keeps inside the cell's margins) and a background is always drawn over by the
    // sides of its own cell, so this is the look of drawing cell by cell.
    std::vector<Side> sides;
    sides.reserve(m_cells.size() * 4);
    if (ctx.shaper)
        ctx.shaper->beginBatch();
    for (const Cell& c : m_cells) {
        if (c.mergedAway)
            continue;
        const QRectF d = ctx.mapping.toDevice(c.rect).normalized();
        const QRectF snapped(QPointF(std::floor(d.left()), std::floor(d.top())),
                             QPointF(std::floor(d.right()), std::floor(d.bottom())));
        if (snapped.width() <= 0 || snapped.height() <= 0)
            continue;
        if (c.style.hasBackground)
            p.fillRect(snapped, c.style.background);
        const CellStyle& s = c.style;
        if (s.sides & SideLeft)
            sides.push_back({{snapped.topLeft(), snapped.bottomLeft()}, s.border[0].rgba()});
        if (s.sides & SideTop)
            sides.push_back({{snapped.topLeft(), snapped.topRight()}, s.border[1].rgba()});
        if (s.sides & SideRight)
            sides.push_back({{snapped.topRight(), snapped.bottomRight()}, s.border[2].rgba()});
        if (s.sides & SideBottom)
            sides.push_back({{snapped.bottomLeft(), snapped.bottomRight()}, s.border[3].rgba()});
        if (!c.text.isEmpty())
            drawText(p, c, snapped, ctx);
    }
    if (ctx.shaper)
        ctx.shaper->flush(p);
    drawSides(p, sides, lineWidth);
    for (const Cell& c : m_cells)
        if (c.block && !c.mergedAway)
            c.block->draw(p, ctx);
    p.restore();
}

void TableBlock::layout(const LRect& rect, const LayoutContext& ctx)
{
    Block::layout(rect, ctx);
    m_grid.layout(rect, ctx);
}

void TableBlock::draw(QPainter& p, const LayoutContext& ctx) const
{
    m_grid.draw(p, ctx);
}
