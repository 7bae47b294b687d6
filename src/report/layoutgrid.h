// The report's layout grid: rows and columns sized in 0.1 mm or percent, cells with a style and
// a text, fit groups that share one fitted font, and named blocks (tables, scrolling sheets,
// graphs) nested in cells. Lays out into a logical rectangle and draws on any QPaintDevice.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "report/reportmapping.h"
#include "report/reportmath.h"
#include "report/textfit.h"

class QPainter;
class QPaintDevice;
class LayoutGrid;
namespace report {
class TextShaper;
}

// What layout and drawing need of the target: the mapping, the device fonts measure on and,
// optionally, the shaper that keeps fonts and plain texts' glyphs across cells and pages.
struct LayoutContext {
    ReportMapping mapping;
    const QPaintDevice* device = nullptr; // font metrics; nullptr: the screen's defaults
    report::TextShaper* shaper = nullptr; // made for `device`; nullptr: Qt's layout per text
};

// Left: free text such as remarks, read from the start of the line.
enum class CellAlign { Center, Right, CenterMultiLine, Left };
enum CellSide { SideLeft = 1, SideTop = 2, SideRight = 4, SideBottom = 8, AllSides = 15 };

// A range of cells; -1 as a last index means the grid's last column or row.
struct CellRange {
    int firstCol = 0;
    int firstRow = 0;
    int lastCol = -1;
    int lastRow = -1;
};

inline const QColor kDefaultBorder{192, 192, 192};
inline const QColor kLabelBackground{247, 247, 247};

struct CellStyle {
    CellAlign align = CellAlign::Center;
    QColor textColor = Qt::black;
    QColor background = Qt::white;
    bool hasBackground = false;
    QColor border[4] = {kDefaultBorder, kDefaultBorder, kDefaultBorder, kDefaultBorder};
    int sides = AllSides;
    int marginLeft = 7, marginTop = 2, marginRight = 7, marginBottom = 2;
    QString face;
    int weight = QFont::Normal;
    int minimumHeight = 0; // 0.1 mm: the smallest a text is shrunk to; 0: about 6 pt
};

// A named thing in a cell: a table, a sheet or a graph.
class Block {
public:
    explicit Block(std::string name) : m_name(std::move(name)) {}
    virtual ~Block() = default;
    const std::string& name() const { return m_name; }
    const LRect& rect() const { return m_rect; }
    virtual void layout(const LRect& rect, const LayoutContext& /*ctx*/) { m_rect = rect; }
    virtual void draw(QPainter& p, const LayoutContext& ctx) const = 0;
    virtual LayoutGrid* grid() { return nullptr; }

protected:
    LRect m_rect;

private:
    std::string m_name;
};

struct Cell {
    CellStyle style;
    QString text;
    QString templ;        // the fit group's template, on its anchor
    int fittedHeight = 0; // 0.1 mm; 0 = not fitted yet
    int groupFont = -1;   // index of the fit group whose font this cell takes
    int spanCols = 1;     // merged extent, on the merge's first cell
    int spanRows = 1;
    bool mergedAway = false; // covered by another cell's merge
    LRect rect;
    std::unique_ptr<Block> block;
};

struct FitGroup {
    int anchorCol = 0;
    int anchorRow = 0;
    CellRange range;
    QString templ;
};

class LayoutGrid {
public:
    LayoutGrid(int columns, int rows);

    int columnCount() const { return static_cast<int>(m_cols.size()); }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    void setColumnLength(int i, int length) { report::setTrackLength(m_cols.at(i), length); }
    void setRowLength(int i, int length) { report::setTrackLength(m_rows.at(i), length); }
    void setColumnPercent(int i, double percent) { report::setTrackPercent(m_cols.at(i), percent); }
    void setRowPercent(int i, double percent) { report::setTrackPercent(m_rows.at(i), percent); }
    const std::vector<report::Track>& columns() const { return m_cols; }
    const std::vector<report::Track>& rows() const { return m_rows; }

    Cell& cell(int col, int row) { return m_cells.at(index(col, row)); }
    const Cell& cell(int col, int row) const { return m_cells.at(index(col, row)); }
    // Places a block in a cell (the cell owns it) and returns it.
    template <class B> B* place(int col, int row, std::unique_ptr<B> block)
    {
        B* raw = block.get();
        cell(col, row).block = std::move(block);
        return raw;
    }
    // The block of that name here or in any nested grid.
    Block* findBlock(const std::string& name);

    void applyFont(const QString& face, int weight = QFont::Normal);
    void setText(int col, int row, const QString& text);
    void addFitGroup(int anchorCol, int anchorRow, CellRange range, const QString& templ);
    void setBackground(CellRange range, const QColor& colour);
    // Borders: on every cell of the range, or only on the range's outer edges.
    void setBorders(CellRange range, const QColor& colour, int sides, bool outlineOnly = false);
    void setAlignment(CellRange range, CellAlign align);
    void setMargins(CellRange range, int left, int top, int right, int bottom);
    void merge(CellRange range);

    // Sizes the tracks into the rectangle, lays nested blocks out and fits the fonts.
    void layout(const LRect& rect, const LayoutContext& ctx);
    void draw(QPainter& p, const LayoutContext& ctx) const;
    const LRect& rect() const { return m_rect; }

    // Fits one text into a cell's text rectangle (the font height in 0.1 mm).
    static int fitText(const Cell& c, const QString& text, const LayoutContext& ctx);
    // How a cell's text is drawn: its fitted (or own) height, made smaller for a text that
    // does not fit but not below the legible minimum, then wrapped or elided.
    static report::TextFit legibleFit(const Cell& c, const LayoutContext& ctx);
    // The device font of a cell at a height in 0.1 mm.
    static QFont deviceFont(const CellStyle& s, int height, const LayoutContext& ctx);

private:
    int index(int col, int row) const;
    CellRange resolve(CellRange r) const;
    template <class F> void forRange(CellRange r, F f);
    static void drawText(QPainter& p, const Cell& c, const QRectF& cellRect,
                         const LayoutContext& ctx);

    std::vector<report::Track> m_cols;
    std::vector<report::Track> m_rows;
    std::vector<Cell> m_cells;
    std::vector<FitGroup> m_groups;
    LRect m_rect;
};

// A block whose content is a table of text cells.
class TableBlock : public Block {
public:
    TableBlock(std::string name, int columns, int rows)
        : Block(std::move(name)), m_grid(columns, rows)
    {
    }
    LayoutGrid* grid() override { return &m_grid; }
    LayoutGrid& table() { return m_grid; }
    const LayoutGrid& table() const { return m_grid; }
    void layout(const LRect& rect, const LayoutContext& ctx) override;
    void draw(QPainter& p, const LayoutContext& ctx) const override;

protected:
    LayoutGrid m_grid;
};

namespace report {
// The two faces of the report. QFont falls back to the IPA fonts of the same metrics when the
// faces themselves are not installed.
QString gothicFace();  // "ＭＳ ゴシック"
QString pGothicFace(); // "ＭＳ Ｐゴシック"
// A cell's font: the face with its IPA fallback, the weight and the pixel size.
QFont cellFont(const QString& face, int weight, int pixelSize);
} // namespace report
