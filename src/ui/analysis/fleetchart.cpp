// FleetDueChart: stacked bars per month.
#include "ui/analysis/fleetchart.h"

#include <QPainter>

#include <algorithm>

#include "ui/analysis/fleetmodel.h"

FleetDueChart::FleetDueChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fleetChart"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void FleetDueChart::SetMonths(std::vector<fleet::MonthDue> months)
{
    m_months = std::move(months);
    QStringList lines;
    for (const fleet::MonthDue& m : m_months)
        lines << QStringLiteral("%1/%2: 期限切れ %3、期限間近 %4、予定 %5")
                     .arg(m.year)
                     .arg(m.month, 2, 10, QLatin1Char('0'))
                     .arg(m.overdue)
                     .arg(m.dueSoon)
                     .arg(m.planned);
    setToolTip(lines.join(QLatin1Char('\n')));
    setAccessibleDescription(toolTip());
    update();
}

void FleetDueChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    const QRect all = rect().adjusted(8, 4, -8, -4);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(all.left(), all.top() + fm.ascent(), QStringLiteral("今後12か月の期限 (件)"));

    // The legend at the top right: a swatch and the word of each status.
    const struct {
        fleet::DueStatus status;
        const char* word;
    } legend[] = {{fleet::DueStatus::Overdue, "期限切れ"},
                  {fleet::DueStatus::DueSoon, "期限間近"},
                  {fleet::DueStatus::Planned, "予定"}};
    int x = all.right();
    for (int i = 2; i >= 0; --i) {
        const QString word = QString::fromUtf8(legend[i].word);
        x -= fm.horizontalAdvance(word);
        p.drawText(x, all.top() + fm.ascent(), word);
        x -= line + 4;
        p.fillRect(QRect(x, all.top() + 2, line - 4, line - 4), StatusColour(legend[i].status));
        p.drawRect(QRect(x, all.top() + 2, line - 4, line - 4));
        x -= 12;
    }

    const QRect plot =
        all.adjusted(fm.horizontalAdvance(QStringLiteral("000")) + 6, line + 6, 0, -line - 4);
    if (m_months.empty() || plot.width() < 20 || plot.height() < 20)
        return;
    int top = 1;
    for (const fleet::MonthDue& m : m_months)
        top = std::max(top, m.overdue + m.dueSoon + m.planned);
    // A round top for the scale: 1, 2, 5, 10, 20, 50 ...
    int scale = 1;
    for (int step = 1, decade = 1; scale < top; ++step) {
        static constexpr int kMantissa[] = {1, 2, 5};
        if (step % 3 == 0)
            decade *= 10;
        scale = kMantissa[step % 3] * decade;
    }
    const double perCable = plot.height() / static_cast<double>(scale);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(all.left(), plot.top() - line / 2, plot.left() - all.left() - 4, line),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(scale));
    p.drawText(QRect(all.left(), plot.bottom() - line / 2, plot.left() - all.left() - 4, line),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));

    const int n = static_cast<int>(m_months.size());
    const double slot = plot.width() / static_cast<double>(n);
    const int barWidth = std::max(4, static_cast<int>(slot * 0.6));
    for (int i = 0; i < n; ++i) {
        const fleet::MonthDue& m = m_months[static_cast<std::size_t>(i)];
        const int left = plot.left() + static_cast<int>(slot * i + (slot - barWidth) / 2);
        double y = plot.bottom();
        const std::pair<int, fleet::DueStatus> parts[] = {{m.overdue, fleet::DueStatus::Overdue},
                                                          {m.dueSoon, fleet::DueStatus::DueSoon},
                                                          {m.planned, fleet::DueStatus::Planned}};
        for (const auto& [count, status] : parts) {
            if (count == 0)
                continue;
            const double h = count * perCable;
            const QRect bar(left, static_cast<int>(y - h), barWidth,
                            std::max(1, static_cast<int>(h)));
            p.fillRect(bar, StatusColour(status));
            p.setPen(palette().color(QPalette::Dark));
            p.drawRect(bar);
            y -= h;
        }
        const int total = m.overdue + m.dueSoon + m.planned;
        p.setPen(palette().color(QPalette::Text));
        if (total > 0)
            p.drawText(QRect(left - 10, static_cast<int>(y) - line, barWidth + 20, line),
                       Qt::AlignHCenter | Qt::AlignBottom, QString::number(total));
        const QString label =
            i == 0 || m.month == 1
                ? QStringLiteral("%1/%2").arg(m.year % 100, 2, 10, QLatin1Char('0')).arg(m.month)
                : QStringLiteral("%1月").arg(m.month);
        p.drawText(QRect(plot.left() + static_cast<int>(slot * i), plot.bottom() + 2,
                         static_cast<int>(slot), line),
                   Qt::AlignHCenter | Qt::AlignTop, label);
    }
}
