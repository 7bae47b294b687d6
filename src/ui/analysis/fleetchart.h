// FleetDueChart: the cables due in each of the next twelve months, as bars stacked by status
// (期限切れ, 期限間近, 予定) with a legend; cables already overdue stand in the first month.
#pragma once

#include <QWidget>

#include <vector>

#include "fleet/fleetplan.h"

class FleetDueChart : public QWidget {
    Q_OBJECT
public:
    explicit FleetDueChart(QWidget* parent = nullptr);
    void SetMonths(std::vector<fleet::MonthDue> months);
    const std::vector<fleet::MonthDue>& Months() const { return m_months; }
    QSize sizeHint() const override { return {520, 200}; }
    QSize minimumSizeHint() const override { return {320, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<fleet::MonthDue> m_months;
};
