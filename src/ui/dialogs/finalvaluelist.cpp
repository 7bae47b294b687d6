// FinalValueList: the point model, the line painter and the multi-column list view.
#include "ui/dialogs/finalvaluelist.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QStyle>

#include "ui/dialogs/finalvaluepoints.h"
#include "ui/common/uitext.h"

void FinalValueListModel::SetData(int rangeFlag, int markedIndex, const std::vector<CMeasPoint>* points)
{
    beginResetModel();
    m_rangeFlag = rangeFlag;
    m_markedIndex = markedIndex;
    m_points = points;
    endResetModel();
}

void FinalValueListModel::SetMarkedIndex(int index)
{
    const int old = m_markedIndex;
    m_markedIndex = index;
    const int rows = rowCount();
    for (int row : {old, index})
        if (row >= 0 && row < rows)
            emit dataChanged(this->index(row, 0), this->index(row, 0), {Qt::DisplayRole});
}

void FinalValueListModel::PointsChanged(int first, int last)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    if (last < 0 || last >= rows)
        last = rows - 1;
    if (first < 0)
        first = 0;
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, 0), {Qt::DisplayRole});
}

int FinalValueListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_points)
        return 0;
    return static_cast<int>(m_points->size());
}

int FinalValueListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant FinalValueListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_points)
        return {};
    // Lines are made when painted: only the visible ones ever exist as text.
    return ui::toQ(finalvalue::PointLineText(*m_points, index.row(), m_markedIndex, m_rangeFlag));
}

void FinalValueListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    const QColor back = selected ? pal.color(QPalette::Active, QPalette::Highlight)
                                 : pal.color(QPalette::Active, QPalette::Base);
    const QColor fore = selected ? pal.color(QPalette::Active, QPalette::HighlightedText)
                                 : pal.color(QPalette::Active, QPalette::Text);
    const QRect r = option.rect;

    painter->save();
    painter->fillRect(r, back);
    painter->setFont(option.font);
    painter->setPen(fore);
    const QFontMetrics fm(option.font);
    const int top = r.top() + (r.height() - fm.height() + 1) / 2;
    const QRect textRect(r.left() + 3, top, r.width() - 3, fm.height());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = back;
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, w);
    }
}

QSize FinalValueListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {kColumnWidth, QFontMetrics(option.font).height() + 2};
}

FinalValueList::FinalValueList(QWidget* parent) : QListView(parent), m_model(new FinalValueListModel(this))
{
    // A fixed-pitch gothic face, so the mark and the two spaces take the same width and the
    // times and values line up from line to line.
    QFont f(ui::gothicFace());
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(QApplication::font().pointSizeF());
    setFont(f);

    // Lines flow down a column and on into the next; the list scrolls sideways.
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSpacing(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new FinalValueListDelegate(this));
    setModel(m_model);
}

void FinalValueList::SetData(int rangeFlag, int markedIndex, const std::vector<CMeasPoint>* points)
{
    m_model->SetData(rangeFlag, markedIndex, points);
}

int FinalValueList::SelectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void FinalValueList::SelectIndex(int i)
{
    if (i < 0 || i >= m_model->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(i, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}
