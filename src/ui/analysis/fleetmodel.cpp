// FleetModel and FleetFilter.
#include "ui/analysis/fleetmodel.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QStyle>

#include "fleet/fleettable.h"
#include "workspace/cableregister.h"

using fleet::Column;

namespace {

constexpr int kColumns = static_cast<int>(Column::Count);

QVariant sortValue(const fleet::CablePlan& p, Column c, const QString& text)
{
    const auto days = [](const std::optional<fleet::Day>& d) {
        return d ? QVariant(static_cast<qlonglong>(d->time_since_epoch().count()))
                 : QVariant(std::numeric_limits<qlonglong>::max());
    };
    switch (c) {
    case Column::Rank: return p.rank;
    case Column::Score: return p.score ? *p.score : 1000.0; // untested last
    case Column::LastTest: return days(p.lastTest);
    case Column::NextDue: return days(p.nextDue);
    case Column::Status: return static_cast<int>(p.status);
    case Column::Interval: return p.interval;
    case Column::Trend: return static_cast<int>(p.trend);
    case Column::VoltageClass: return p.entry && p.entry->voltageKv ? *p.entry->voltageKv : -1.0;
    case Column::CrossSection:
        return p.entry && p.entry->crossSection ? *p.entry->crossSection : -1.0;
    case Column::Length: return p.entry && p.entry->lengthM ? *p.entry->lengthM : -1.0;
    case Column::InstallYear: return p.entry && p.entry->installYear ? *p.entry->installYear : 0;
    default: return text;
    }
}

} // namespace

QColor StatusColour(fleet::DueStatus s)
{
    switch (s) {
    case fleet::DueStatus::Overdue: return QColor(0xF4, 0xB6, 0xB6);
    case fleet::DueStatus::DueSoon: return QColor(0xFA, 0xDE, 0x9C);
    case fleet::DueStatus::Planned: return QColor(0xC8, 0xE6, 0xC9);
    case fleet::DueStatus::Untested: return QColor(0xDD, 0xDD, 0xDD);
    }
    return {};
}

QIcon StatusIcon(fleet::DueStatus s)
{
    QStyle* style = QApplication::style();
    switch (s) {
    case fleet::DueStatus::Overdue: return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case fleet::DueStatus::DueSoon: return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case fleet::DueStatus::Planned: return style->standardIcon(QStyle::SP_DialogApplyButton);
    case fleet::DueStatus::Untested: return style->standardIcon(QStyle::SP_MessageBoxQuestion);
    }
    return {};
}

void FleetModel::SetPlans(std::vector<fleet::CablePlan> plans)
{
    beginResetModel();
    m_plans = std::move(plans);
    m_texts.clear();
    m_texts.reserve(m_plans.size());
    for (const fleet::CablePlan& p : m_plans) {
        std::vector<QString> row;
        row.reserve(kColumns);
        for (int c = 0; c < kColumns; ++c)
            row.push_back(QString::fromStdString(fleet::CellText(p, static_cast<Column>(c))));
        m_texts.push_back(std::move(row));
    }
    endResetModel();
}

int FleetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_plans.size());
}

int FleetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant FleetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const fleet::CablePlan& p = PlanAt(index.row());
    const Column c = static_cast<Column>(index.column());
    const QString& text =
        m_texts[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        // The contributions column shows them on one line; the pane below shows them whole.
        return text;
    case SortRole: return sortValue(p, c, text);
    case Qt::DecorationRole:
        return c == Column::Status ? QVariant(StatusIcon(p.status)) : QVariant();
    case Qt::BackgroundRole:
        return c == Column::Status || c == Column::NextDue ? QVariant(StatusColour(p.status))
                                                           : QVariant();
    case Qt::ForegroundRole:
        return c == Column::Status || c == Column::NextDue ? QVariant(QColor(Qt::black))
                                                           : QVariant();
    case Qt::TextAlignmentRole:
        switch (c) {
        case Column::Rank:
        case Column::Score:
        case Column::Interval:
        case Column::VoltageClass:
        case Column::CrossSection:
        case Column::Length:
        case Column::InstallYear: return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case Column::Trend:
        case Column::Importance: return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignVCenter);
        default: return {};
        }
    case Qt::ToolTipRole:
        if (c == Column::Score || c == Column::Contributions)
            return QString::fromStdString(fleet::ContributionText(p));
        if (c == Column::Reason || c == Column::Interval)
            return QString::fromStdString(p.ReasonText());
        return {};
    default: return {};
    }
}

QVariant FleetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromUtf8(fleet::ColumnTitle(static_cast<Column>(section)));
}

void FleetFilter::SetFilter(const QString& text, const std::string& customer,
                            std::optional<fleet::DueStatus> status)
{
    m_text = text.trimmed();
    m_customer = customer;
    m_status = status;
    invalidateFilter();
}

int FleetFilter::SourceRow(int row) const
{
    return mapToSource(index(row, 0)).row();
}

bool FleetFilter::filterAcceptsRow(int row, const QModelIndex& parent) const
{
    const auto* model = static_cast<const FleetModel*>(sourceModel());
    const fleet::CablePlan& p = model->PlanAt(row);
    if (m_status && p.status != *m_status)
        return false;
    if (!m_customer.empty() && ws::RegisterNameKey(m_customer) != ws::RegisterNameKey(p.customer))
        return false;
    if (m_text.isEmpty())
        return true;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->index(row, c, parent).data().toString().contains(m_text, Qt::CaseInsensitive))
            return true;
    return false;
}
