// The fleet table of the 設備一覧・試験計画 window: one row per cable, the columns of
// fleet::Column, a status shown with an icon, a word and a colour, and a filter by text,
// customer and status that sorts on each column's own order (numbers, dates, status).
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <optional>
#include <vector>

#include "fleet/fleetplan.h"

class FleetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The value a column sorts by.
    static constexpr int SortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void SetPlans(std::vector<fleet::CablePlan> plans);
    const std::vector<fleet::CablePlan>& Plans() const { return m_plans; }
    const fleet::CablePlan& PlanAt(int row) const { return m_plans[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<fleet::CablePlan> m_plans;
    std::vector<std::vector<QString>> m_texts; // per row, per column
};

class FleetFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // Text: contained in any cell (case folded); customer: the CP932 name (empty: all);
    // status: one status or all.
    void SetFilter(const QString& text, const std::string& customer,
                   std::optional<fleet::DueStatus> status);
    // The model's row of a shown row.
    int SourceRow(int row) const;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    QString m_text;
    std::string m_customer;
    std::optional<fleet::DueStatus> m_status;
};

// The colour and the standard icon a status is shown with.
QColor StatusColour(fleet::DueStatus s);
QIcon StatusIcon(fleet::DueStatus s);
