// JournalModel: the change journal as a table model for the 変更履歴 window. The rows, their
// texts and the filter are ws::JournalTable's; a cell's text is made when the view asks for it,
// so a journal of any length opens at the cost of its row index.
#pragma once

#include <QAbstractTableModel>

#include <vector>

#include "workspace/journaltable.h"

class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit JournalModel(QObject* parent = nullptr);

    // The entries oldest first, as the workspace's query returns them.
    void SetEntries(std::vector<ws::JournalEntry> entries);
    void SetFilter(const ws::JournalRowFilter& filter);
    const ws::JournalTable& Table() const { return m_table; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    ws::JournalTable m_table;
};
