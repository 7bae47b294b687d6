// ReceptionListModel: a capped list of text lines for a view.
#include "ui/receptionlist.h"

int ReceptionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant ReceptionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_lines.size()))
        return {};
    // Long lines (a damaged stream can carry thousands of bytes) are cut in the column; the
    // tool tip shows them whole.
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && m_lines[index.row()].size() > 60))
        return m_lines[static_cast<std::size_t>(index.row())];
    return {};
}

void ReceptionListModel::append(const QString& line)
{
    if (m_maxLines > 0 && static_cast<int>(m_lines.size()) >= m_maxLines) {
        beginRemoveRows({}, 0, 0);
        m_lines.pop_front();
        endRemoveRows();
    }
    const int row = static_cast<int>(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.push_back(line);
    endInsertRows();
}

void ReceptionListModel::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QStringList ReceptionListModel::lines() const
{
    QStringList all;
    all.reserve(static_cast<qsizetype>(m_lines.size()));
    for (const QString& line : m_lines)
        all << line;
    return all;
}
