// ReceptionListModel: a capped list of text lines for a view.
#include "ui/dialogs/receptionlist.h"

#include <QBrush>
#include <QColor>

int ReceptionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant ReceptionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_lines.size()))
        return {};
    const auto& [text, kind] = m_lines[static_cast<std::size_t>(index.row())];
    // Long lines (a damaged stream can carry thousands of bytes) are cut in the column; the
    // tool tip shows them whole.
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && text.size() > 60))
        return text;
    if (role == Qt::ForegroundRole && kind != Kind::Text)
        return QBrush(kind == Kind::Error ? QColor(190, 0, 0) : QColor(150, 85, 0));
    return {};
}

void ReceptionListModel::append(const QString& line, Kind kind)
{
    if (m_maxLines > 0 && static_cast<int>(m_lines.size()) >= m_maxLines) {
        beginRemoveRows({}, 0, 0);
        m_lines.pop_front();
        endRemoveRows();
    }
    const int row = static_cast<int>(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.emplace_back(line, kind);
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
    for (const auto& line : m_lines)
        all << line.first;
    return all;
}

ReceptionListModel::Kind ReceptionListModel::kindAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_lines.size()))
        return Kind::Text;
    return m_lines[static_cast<std::size_t>(row)].second;
}
