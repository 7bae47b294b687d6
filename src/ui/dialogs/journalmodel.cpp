// JournalModel: the journal table's rows and texts for the view.
#include "ui/dialogs/journalmodel.h"

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

void JournalModel::SetEntries(std::vector<ws::JournalEntry> entries)
{
    beginResetModel();
    m_table.SetEntries(std::move(entries));
    endResetModel();
}

void JournalModel::SetFilter(const ws::JournalRowFilter& filter)
{
    beginResetModel();
    m_table.SetFilter(filter);
    endResetModel();
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_table.RowCount());
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(ws::JournalColumn::Count);
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<ws::JournalColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(m_table.Text(row, column));
    case Qt::ToolTipRole: {
        // The whole text of a cell too narrow for it; the values of a change one per line.
        const ws::JournalItem* item = m_table.ItemAt(row);
        if (column == ws::JournalColumn::Content)
            return item ? QString::fromStdString(ws::JournalContentText(*item, true)) : QVariant();
        return QString::fromStdString(m_table.Text(row, column));
    }
    default: return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    return QString::fromUtf8(ws::JournalColumnTitle(static_cast<ws::JournalColumn>(section)));
}
