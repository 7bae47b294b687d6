// ReceptionListModel: the lines of the reception dialog's list, capped at a fixed count with
// the oldest dropped; warnings and errors are coloured. Appending and dropping cost the same
// at 30000 lines as at 10.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <deque>
#include <utility>

class ReceptionListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ReceptionListModel(int maxLines, QObject* parent = nullptr)
        : QAbstractListModel(parent), m_maxLines(maxLines)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Plain progress texts, warnings and errors; the last two stand out in colour.
    enum class Kind { Text, Warning, Error };

    // Adds a line at the end; when the list already holds maxLines lines the first goes.
    void append(const QString& line, Kind kind = Kind::Text);
    void clear();
    QStringList lines() const;
    Kind kindAt(int row) const;
    int maxLines() const { return m_maxLines; }

private:
    int m_maxLines;
    std::deque<std::pair<QString, Kind>> m_lines;
};
