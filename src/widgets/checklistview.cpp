// CheckListView: the column layout parser and the check-box rows.
#include "widgets/checklistview.h"

#include <QHeaderView>

#include <algorithm>

std::vector<ListColumn> ParseColumnLayout(const QString& layout)
{
    std::vector<ListColumn> columns;
    for (const QString& entry : layout.split(QLatin1Char(';'))) {
        if (entry.trimmed().isEmpty())
            continue;
        const QStringList fields = entry.split(QLatin1Char(','));
        ListColumn c;
        c.title = fields.value(0).trimmed();
        c.checkColumn = c.title == QLatin1String("x");
        bool ok = false;
        const int width = fields.value(1).trimmed().toInt(&ok);
        if (ok && width >= 0)
            c.width = width;
        switch (fields.value(2).trimmed().toInt()) {
        case 1: c.alignment = Qt::AlignRight; break;
        case 2: c.alignment = Qt::AlignHCenter; break;
        default: c.alignment = Qt::AlignLeft; break;
        }
        columns.push_back(c);
    }
    return columns;
}

CheckListView::CheckListView(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true); // full-row selection
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setColumnCount(0);
}

void CheckListView::SetColumnLayout(const QString& layout)
{
    clear();
    m_columns = ParseColumnLayout(layout);
    setColumnCount(static_cast<int>(m_columns.size()));
    QStringList titles;
    for (const ListColumn& c : m_columns)
        titles << (c.checkColumn ? QString() : c.title);
    setHeaderLabels(titles);
    for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
        const ListColumn& c = m_columns[static_cast<std::size_t>(i)];
        setColumnWidth(i, c.width);
        headerItem()->setTextAlignment(i, c.alignment | Qt::AlignVCenter);
    }
}

int CheckListView::checkColumn() const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].checkColumn)
            return static_cast<int>(i);
    return 0;
}

int CheckListView::AddRow(const QStringList& texts)
{
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    const int box = checkColumn();
    item->setCheckState(box, Qt::Unchecked);
    int next = 0;
    for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
        if (m_columns[static_cast<std::size_t>(i)].checkColumn)
            continue;
        item->setText(i, texts.value(next++));
        item->setTextAlignment(i,
                               m_columns[static_cast<std::size_t>(i)].alignment | Qt::AlignVCenter);
    }
    addTopLevelItem(item);
    return topLevelItemCount() - 1;
}

void CheckListView::FitColumnsToContents()
{
    for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
        const ListColumn& c = m_columns[static_cast<std::size_t>(i)];
        if (c.checkColumn)
            continue;
        const int needed = std::max(sizeHintForColumn(i), header()->sectionSizeHint(i));
        if (needed > columnWidth(i))
            setColumnWidth(i, needed);
    }
}

bool CheckListView::IsRowChecked(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->checkState(checkColumn()) == Qt::Checked;
}

void CheckListView::SetRowChecked(int row, bool checked)
{
    if (QTreeWidgetItem* item = topLevelItem(row))
        item->setCheckState(checkColumn(), checked ? Qt::Checked : Qt::Unchecked);
}

std::vector<int> CheckListView::CheckedRows() const
{
    std::vector<int> rows;
    for (int r = 0; r < topLevelItemCount(); ++r)
        if (IsRowChecked(r))
            rows.push_back(r);
    return rows;
}
