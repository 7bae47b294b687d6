// ReportList: a virtual report list (the owner supplies each cell's text) with single row
// selection, optional check boxes, and in-place text, date and time editors per column.
// A click on a cell of the already selected row (or F2) asks the owner whether the cell may be
// edited; the edited text goes back to the owner with its row and column. Delete on a row asks
// the owner to delete it.
// ReportList was CReportList in the Windows program's sources.
#pragma once

#include <QTableView>

#include <functional>
#include <optional>
#include <vector>

class ReportListModel;

class ReportList : public QTableView {
    Q_OBJECT
public:
    enum class CellKind { Text, Date, Time };
    struct Column {
        QString header; // may hold "\n" for a two-line title
        int width = 80;
    };

    explicit ReportList(QWidget* parent = nullptr);
    ~ReportList() override;

    void SetColumns(const std::vector<Column>& columns);
    int ColumnCount() const;
    QString HeaderText(int column) const;
    void SetColumnKind(int column, CellKind kind);
    CellKind ColumnKind(int column) const;
    void SetColumnReadOnly(int column, bool readOnly);
    void SetAllReadOnly();
    bool ColumnReadOnly(int column) const;
    // Rows with a check box in column 0 (cleared for new rows).
    void SetCheckable(bool on);

    // The owner's cell texts.
    void SetCellText(std::function<QString(int row, int column)> fn);
    // The owner's tool tips, icons and colours of a cell (Qt::ToolTipRole, DecorationRole,
    // BackgroundRole, ForegroundRole); an empty QVariant keeps the default.
    void SetCellExtra(std::function<QVariant(int row, int column, int role)> fn);
    // Sets the row count (check boxes cleared), repaints and selects `select` (row 0 when it
    // is outside the list, nothing when the list is empty).
    void Refill(int rows, int select = 0);
    // Repaints every cell without changing the rows.
    void Repaint();
    int RowCount() const;
    int SelectedRow() const;
    // Selects a row without telling the owner.
    void SelectRow(int row);
    bool IsChecked(int row) const;
    void SetChecked(int row, bool on);

    // The owner's hooks: the row the user selected, the edit query, the end of an edit.
    void SetSelectionCallback(std::function<void(int row)> fn) { m_selected = std::move(fn); }
    void SetEditQuery(std::function<bool(int row, int column)> fn) { m_query = std::move(fn); }
    void SetEditEnded(std::function<void(int row, int column, const QString& text)> fn)
    {
        m_ended = std::move(fn);
    }

    // Asks the owner about the cell and opens its in-place editor when allowed. Returns
    // whether an editor opened.
    bool RequestEdit(int row, int column);
    // The end of an in-place edit: hands the text to the owner.
    void EndEdit(int row, int column, const QString& text);
    // The editor's text, handed to the owner on the next turn of the event loop (or by
    // CommitOpenEdit, whichever comes first).
    void QueueEdit(int row, int column, const QString& text);
    // Commits an open in-place editor and hands every edit not yet delivered to the owner
    // now, so that a dialog's OK never reads the data before the user's last edit. Returns
    // whether an edit was handed over.
    bool CommitOpenEdit();
    // True while an edit the editor committed has not reached the owner yet and differs from
    // the cell's text.
    bool HasUndeliveredEdit() const;

signals:
    void rowDoubleClicked(int row);
    // The Delete key on a selected row.
    void deleteRequested(int row);

protected:
    // F2 opens the in-place editor of the selected row's current cell (as a click on it does).
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Tab in an in-place editor ends the edit and moves on to the next control, as Tab
    // outside it does; it never opens the editor of the next row.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    struct PendingEdit {
        int row;
        int column;
        QString text;
    };
    void DeliverEdit();

    ReportListModel* m_model;
    std::vector<CellKind> m_kinds;
    std::vector<bool> m_readOnly;
    std::function<void(int)> m_selected;
    std::function<bool(int, int)> m_query;
    std::function<void(int, int, const QString&)> m_ended;
    bool m_silent = false;
    bool m_pressOnSelected = false;
    QModelIndex m_pressIndex;
    bool m_allowEdit = false;             // set while RequestEdit opens an editor
    std::optional<PendingEdit> m_pending; // committed by the editor, not yet handed over
};
