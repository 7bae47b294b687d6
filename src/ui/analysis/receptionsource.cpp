// The 受信元 text of the judgment-basis panel and the verification window of a set.
#include "ui/analysis/receptionsource.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/windowfit.h"

namespace receptionui {

namespace {

QString u(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

QString FieldsText(const std::vector<ws::FieldChange>& fields)
{
    QStringList parts;
    for (const ws::FieldChange& f : fields)
        parts << (f.before == f.after // a count of differences ("3 点が異なる") says it all
                      ? QStringLiteral("%1: %2").arg(u(f.field), u(f.before))
                      : QStringLiteral("%1: %2 → %3").arg(u(f.field), u(f.before), u(f.after)));
    return parts.join(QStringLiteral("; "));
}

QString StateLine(const ws::RecordVerdict& v)
{
    QString line = u(ws::StateText(v.state));
    if (v.state == ws::VerifyState::NoReception) {
        line += QStringLiteral(" (%1)").arg(u(ws::ReasonText(v.reason)));
        if (!v.detail.empty())
            line += QStringLiteral(": ") + u(v.detail);
    } else if (v.state == ws::VerifyState::Changed) {
        line += QStringLiteral(" (") + FieldsText(v.changed) + QLatin1Char(')');
    }
    return line;
}

QString SourceText(const ws::RecordVerdict& v)
{
    QStringList lines;
    lines << QStringLiteral("【受信元】");
    if (v.source) {
        const ws::Provenance& p = *v.source;
        lines << QStringLiteral("受信データ: %1").arg(u(p.archive));
        lines << QStringLiteral("行: %1～%2 (%3 行)")
                     .arg(p.firstLine)
                     .arg(p.firstLine + p.lineCount - 1)
                     .arg(p.lineCount);
        lines << QStringLiteral("受信日時: %1")
                     .arg(QDateTime::fromSecsSinceEpoch(p.receivedAt)
                              .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    }
    lines << QStringLiteral("検証: ") + StateLine(v);
    if (!v.explained.empty())
        lines << QStringLiteral("記録された変更: ") + FieldsText(v.explained);
    return lines.join(QLatin1Char('\n'));
}

} // namespace receptionui

VerificationDialog::VerificationDialog(const QString& setTitle,
                                       std::vector<ws::RecordVerdict> verdicts, QWidget* parent)
    : QDialog(parent), m_verdicts(std::move(verdicts))
{
    setWindowTitle(QStringLiteral("検証 - %1").arg(setTitle));
    setObjectName(QStringLiteral("verificationDialog"));
    auto* layout = new QVBoxLayout(this);
    const ws::VerifyCounts n = ws::CountVerdicts(m_verdicts);
    m_summary = new QLabel(QStringLiteral("一致 %1 件, 変更あり %2 件, 受信記録なし %3 件")
                               .arg(n.match)
                               .arg(n.changed)
                               .arg(n.noReception),
                           this);
    layout->addWidget(m_summary);
    m_table = new QTableWidget(static_cast<int>(m_verdicts.size()), 4, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("検証結果"),
                                        QStringLiteral("受信データ"), QStringLiteral("内容")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    for (int row = 0; row < static_cast<int>(m_verdicts.size()); ++row) {
        const ws::RecordVerdict& v = m_verdicts[static_cast<std::size_t>(row)];
        QString detail;
        if (v.state == ws::VerifyState::NoReception) {
            detail = QString::fromStdString(ws::ReasonText(v.reason));
            if (!v.detail.empty())
                detail += QStringLiteral(": ") + QString::fromStdString(v.detail);
        } else {
            detail = receptionui::FieldsText(v.changed);
            if (!v.explained.empty()) {
                QStringList parts;
                for (const ws::FieldChange& f : v.explained)
                    parts << QString::fromStdString(f.field);
                detail += (detail.isEmpty() ? QString() : QStringLiteral(" / ")) +
                          QStringLiteral("記録された変更: ") + parts.join(QStringLiteral(", "));
            }
        }
        const QString source = v.source ? QStringLiteral("%1 (%2 行目～)")
                                              .arg(QString::fromStdString(v.source->archive))
                                              .arg(v.source->firstLine)
                                        : QString();
        const QStringList cells = {QString::number(v.index + 1),
                                   QString::fromUtf8(ws::StateText(v.state)), source, detail};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            if (c == 1 && v.state == ws::VerifyState::Changed)
                item->setForeground(Qt::red);
            m_table->setItem(row, c, item);
        }
    }
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents();
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    windowfit::FitToScreen(*this, QSize(760, 360), QSize(480, 240));
}
