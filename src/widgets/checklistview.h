// CheckListView: a report list whose columns come from a column layout text, with a
// check box at the start of every row.
// CheckListView was CCheckListView in the Windows program's sources.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include <vector>

// One entry of a column layout text: "title, width, alignment;" (alignment 0 left, 1 right,
// 2 centre; width in pixels). The title "x" marks the check-box column.
struct ListColumn {
    QString title;
    int width = 100;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool checkColumn = false;

    bool operator==(const ListColumn&) const = default;
};

// Parses "x, 25;名称, 500, 0;": entries end with ';' (the last one may omit it), fields are
// separated by ',' and trimmed. A missing or unreadable width is 100, a missing or unknown
// alignment is left; empty entries are skipped.
std::vector<ListColumn> ParseColumnLayout(const QString& layout);

class CheckListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CheckListView(QWidget* parent = nullptr);

    // Empties the list and sets its columns from a layout text (an empty text leaves
    // no columns). The check-box column holds only the check box.
    void SetColumnLayout(const QString& layout);
    const std::vector<ListColumn>& Columns() const { return m_columns; }

    // Appends an unchecked row: the texts fill the columns after the check-box column in
    // order; missing texts stay empty. Returns the row number.
    int AddRow(const QStringList& texts);
    void RemoveAllRows() { clear(); }
    int RowCount() const { return topLevelItemCount(); }

    // Widens every text column whose given width cuts its header or cells (the widths
    // were chosen for another font); never narrows one. Call after filling.
    void FitColumnsToContents();

    bool IsRowChecked(int row) const;
    void SetRowChecked(int row, bool checked);
    // The checked rows in list order.
    std::vector<int> CheckedRows() const;

private:
    int checkColumn() const;

    std::vector<ListColumn> m_columns;
};
