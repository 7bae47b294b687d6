// The virtual report list with in-place text, date and time editors.
#include "widgets/reportlist.h"

#include <QAbstractTableModel>
#include <QBoxLayout>
#include <QDateEdit>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTimeEdit>
#include <QToolButton>

#include <algorithm>

// Rows are only a count; every text comes from the owner when a cell is painted.
class ReportListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_text ? m_text(index.row(), index.column()) : QString();
        if (role == Qt::CheckStateRole && m_checkable && index.column() == 0)
            return m_checked[static_cast<std::size_t>(index.row())] ? Qt::Checked : Qt::Unchecked;
        if (m_extra && (role == Qt::ToolTipRole || role == Qt::DecorationRole ||
                        role == Qt::BackgroundRole || role == Qt::ForegroundRole))
            return m_extra(index.row(), index.column(), role);
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || !m_checkable || index.column() != 0)
            return false;
        m_checked[static_cast<std::size_t>(index.row())] =
            value.toInt() == static_cast<int>(Qt::Checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
        if (m_checkable && index.column() == 0)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < static_cast<int>(m_columns.size()))
            return m_columns[static_cast<std::size_t>(section)].header;
        return {};
    }
    void refill(int rows)
    {
        beginResetModel();
        m_rows = rows < 0 ? 0 : rows;
        m_checked.assign(static_cast<std::size_t>(m_rows), false);
        endResetModel();
    }
    void setColumns(const std::vector<ReportList::Column>& c)
    {
        beginResetModel();
        m_columns = c;
        endResetModel();
    }

    std::vector<ReportList::Column> m_columns;
    std::function<QString(int, int)> m_text;
    std::function<QVariant(int, int, int)> m_extra;
    std::vector<bool> m_checked;
    bool m_checkable = false;
    int m_rows = 0;
};

namespace {

QLocale japaneseLocale()
{
    QLocale ja(QLocale::Japanese, QLocale::Japan);
    ja.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return ja;
}

// The calendar's heading in the Japanese order, "2024年 5月", where Qt puts the month first and
// writes the year as a bare number. Qt's heading has no interface for this: its parts are found
// by their object names and left alone when a Qt version names them otherwise.
void putYearFirst(QCalendarWidget* calendar)
{
    auto* month = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    auto* year = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
    auto* yearEdit = calendar->findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit"));
    auto* layout = month && month->parentWidget()
                       ? qobject_cast<QBoxLayout*>(month->parentWidget()->layout())
                       : nullptr;
    if (!year || !yearEdit || !layout || layout->indexOf(year) < 0)
        return;
    // The year's spin box lies over its button while the year is typed; the button shows the
    // spin box's text.
    yearEdit->setSuffix(QStringLiteral("年"));
    year->setText(yearEdit->text());
    layout->removeWidget(year);
    layout->insertWidget(layout->indexOf(month), year);
}

// Opens the editor of the column's kind; the text goes to the list, which hands it to the
// owner once the view has closed the editor, since the owner may refill the list in answer.
class ReportListDelegate : public QStyledItemDelegate {
public:
    explicit ReportListDelegate(ReportList* list) : QStyledItemDelegate(list), m_list(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        switch (m_list->ColumnKind(index.column())) {
        case ReportList::CellKind::Date: {
            auto* e = new QDateEdit(parent);
            // The calendar names months and weekdays in Japanese (年/月, 日〜土) whatever the
            // user's locale; the date itself keeps the stored numeric form.
            const QLocale ja = japaneseLocale();
            e->setLocale(ja);
            e->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
            e->setCalendarPopup(true);
            e->calendarWidget()->setLocale(ja);
            putYearFirst(e->calendarWidget());
            return e;
        }
        case ReportList::CellKind::Time: {
            auto* e = new QTimeEdit(parent);
            e->setDisplayFormat(QStringLiteral("HH:mm:ss"));
            return e;
        }
        default: return QStyledItemDelegate::createEditor(parent, option, index);
        }
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data().toString();
        if (auto* d = qobject_cast<QDateEdit*>(editor)) {
            const QDate date = QDate::fromString(text, QStringLiteral("yyyy/MM/dd"));
            d->setDate(date.isValid() ? date : QDate::currentDate());
        } else if (auto* t = qobject_cast<QTimeEdit*>(editor)) {
            const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
            t->setTime(time.isValid() ? time : QTime(0, 0));
        } else {
            QStyledItemDelegate::setEditorData(editor, index);
        }
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        QString text;
        if (auto* d = qobject_cast<QDateEdit*>(editor))
            text = d->date().toString(QStringLiteral("yyyy/MM/dd"));
        else if (auto* t = qobject_cast<QTimeEdit*>(editor))
            text = t->time().toString(QStringLiteral("HH:mm:ss"));
        else if (auto* l = qobject_cast<QLineEdit*>(editor))
            text = l->text();
        m_list->QueueEdit(index.row(), index.column(), text);
    }

private:
    ReportList* m_list;
};

} // namespace

ReportList::ReportList(QWidget* parent) : QTableView(parent), m_model(new ReportListModel(this))
{
    setModel(m_model);
    setItemDelegate(new ReportListDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab moves between the controls of the window; the arrow keys move between rows.
    setTabKeyNavigation(false);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_silent && m_selected)
                    m_selected(current.isValid() ? current.row() : -1);
            });
    // A click beside the rows must not leave the list without a selection while its owner
    // still works on the current row.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_silent && selectionModel()->selectedRows().isEmpty() && currentIndex().isValid())
            SelectRow(currentIndex().row());
    });
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowDoubleClicked(index.row()); });
}

ReportList::~ReportList() = default;

void ReportList::SetColumns(const std::vector<Column>& columns)
{
    m_model->setColumns(columns);
    m_kinds.assign(columns.size(), CellKind::Text);
    m_readOnly.assign(columns.size(), false);
    for (std::size_t i = 0; i < columns.size(); ++i)
        setColumnWidth(static_cast<int>(i), columns[i].width);
}

int ReportList::ColumnCount() const
{
    return m_model->columnCount();
}

QString ReportList::HeaderText(int column) const
{
    return m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

void ReportList::SetColumnKind(int column, CellKind kind)
{
    if (column >= 0 && column < static_cast<int>(m_kinds.size()))
        m_kinds[static_cast<std::size_t>(column)] = kind;
}

ReportList::CellKind ReportList::ColumnKind(int column) const
{
    return column >= 0 && column < static_cast<int>(m_kinds.size())
               ? m_kinds[static_cast<std::size_t>(column)]
               : CellKind::Text;
}

void ReportList::SetColumnReadOnly(int column, bool readOnly)
{
    if (column >= 0 && column < static_cast<int>(m_readOnly.size()))
        m_readOnly[static_cast<std::size_t>(column)] = readOnly;
}

void ReportList::SetAllReadOnly()
{
    m_readOnly.assign(m_readOnly.size(), true);
}

bool ReportList::ColumnReadOnly(int column) const
{
    return column < 0 || column >= static_cast<int>(m_readOnly.size()) ||
           m_readOnly[static_cast<std::size_t>(column)];
}

void ReportList::SetCheckable(bool on)
{
    m_model->m_checkable = on;
}

void ReportList::SetCellText(std::function<QString(int, int)> fn)
{
    m_model->m_text = std::move(fn);
}

void ReportList::SetCellExtra(std::function<QVariant(int, int, int)> fn)
{
    m_model->m_extra = std::move(fn);
}

void ReportList::Refill(int rows, int select)
{
    m_silent = true;
    m_model->refill(rows);
    m_silent = false;
    // The given widths are the least; a column widens when its texts need more room.
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int wanted =
            std::max(m_model->m_columns[static_cast<std::size_t>(c)].width, sizeHintForColumn(c));
        if (columnWidth(c) < wanted)
            setColumnWidth(c, wanted);
    }
    SelectRow(select >= 0 && select < rows ? select : 0);
}

void ReportList::Repaint()
{
    if (m_model->rowCount() > 0)
        emit m_model->dataChanged(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1,
                                                                       m_model->columnCount() - 1));
    viewport()->update();
}

int ReportList::RowCount() const
{
    return m_model->rowCount();
}

int ReportList::SelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ReportList::SelectRow(int row)
{
    m_silent = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(row, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_silent = false;
}

bool ReportList::IsChecked(int row) const
{
    return row >= 0 && row < m_model->rowCount() &&
           m_model->m_checked[static_cast<std::size_t>(row)];
}

void ReportList::SetChecked(int row, bool on)
{
    if (row >= 0 && row < m_model->rowCount())
        m_model->setData(m_model->index(row, 0), on ? Qt::Checked : Qt::Unchecked,
                         Qt::CheckStateRole);
}

bool ReportList::RequestEdit(int row, int column)
{
    if (row < 0 || row >= m_model->rowCount() || ColumnReadOnly(column))
        return false;
    if (!m_query || !m_query(row, column))
        return false;
    const QModelIndex index = m_model->index(row, column);
    setCurrentIndex(index);
    return QTableView::edit(index, QAbstractItemView::AllEditTriggers, nullptr);
}

void ReportList::EndEdit(int row, int column, const QString& text)
{
    if (m_ended)
        m_ended(row, column, text);
}

void ReportList::QueueEdit(int row, int column, const QString& text)
{
    m_pending = PendingEdit{row, column, text};
    QMetaObject::invokeMethod(this, &ReportList::DeliverEdit, Qt::QueuedConnection);
}

void ReportList::DeliverEdit()
{
    if (!m_pending)
        return;
    const PendingEdit edit = *m_pending;
    m_pending.reset();
    EndEdit(edit.row, edit.column, edit.text);
}

bool ReportList::CommitOpenEdit()
{
    // Editors open on the current row (RequestEdit makes the cell current first).
    if (state() == QAbstractItemView::EditingState && currentIndex().isValid()) {
        for (int c = 0; c < m_model->columnCount(); ++c) {
            if (QWidget* editor = indexWidget(m_model->index(currentIndex().row(), c))) {
                commitData(editor);
                closeEditor(editor, QAbstractItemDelegate::NoHint);
                break;
            }
        }
    }
    const bool had = m_pending.has_value();
    DeliverEdit();
    return had;
}

bool ReportList::HasUndeliveredEdit() const
{
    return m_pending && m_pending->row < m_model->rowCount() &&
           m_pending->text != m_model->index(m_pending->row, m_pending->column).data().toString();
}

void ReportList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool previous = hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, next || previous ? QAbstractItemDelegate::NoHint : hint);
    if (next || previous)
        focusNextPrevChild(next);
}

void ReportList::keyPressEvent(QKeyEvent* event)
{
    if (state() != QAbstractItemView::EditingState) {
        const int row = SelectedRow();
        if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier && row >= 0) {
            const int column = currentIndex().isValid() ? currentIndex().column() : 0;
            if (!(m_model->m_checkable && column == 0))
                RequestEdit(row, column);
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && row >= 0) {
            emit deleteRequested(row);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void ReportList::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressIndex = index;
    m_pressOnSelected =
        index.isValid() && event->button() == Qt::LeftButton && index.row() == SelectedRow();
    QTableView::mousePressEvent(event);
}

void ReportList::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (m_pressOnSelected && index.isValid() && index == m_pressIndex &&
        !(m_model->m_checkable && index.column() == 0))
        RequestEdit(index.row(), index.column());
    m_pressOnSelected = false;
}
