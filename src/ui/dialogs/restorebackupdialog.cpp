#include "ui/dialogs/restorebackupdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <iterator>

#include "model/cp932text.h"
#include "ui/common/messages.h"
#include "ui/document/measurementdocument.h"

namespace {

QString stampText(const std::tm& t)
{
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(t.tm_year + 1900)
        .arg(t.tm_mon + 1, 2, 10, QLatin1Char('0'))
        .arg(t.tm_mday, 2, 10, QLatin1Char('0'))
        .arg(t.tm_hour, 2, 10, QLatin1Char('0'))
        .arg(t.tm_min, 2, 10, QLatin1Char('0'))
        .arg(t.tm_sec, 2, 10, QLatin1Char('0'));
}

} // namespace

QString BackupSizeText(uint64_t bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    const char* units[] = {"KB", "MB", "GB"};
    double v = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (v >= 1024.0 && unit + 1 < std::size(units)) {
        v /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2")
        .arg(v, 0, 'f', v < 100.0 ? 1 : 0)
        .arg(QLatin1StringView(units[unit]));
}

RestoreBackupDialog::RestoreBackupDialog(MeasurementDocument& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc)
{
    setWindowTitle(QStringLiteral("バックアップから復元"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("復元するバックアップを選んでください。\n"
                                  "現在のデータファイルは復元の前にバックアップされます。"),
                   this));
    m_table = new QTableWidget(0, 4, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("日時"), QStringLiteral("サイズ"),
                                        QStringLiteral("需要家数"), QStringLiteral("計測数")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("復元"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(m_restore, &QPushButton::clicked, this, &RestoreBackupDialog::OnRestore);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &RestoreBackupDialog::UpdateButton);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &RestoreBackupDialog::OnRestore);
    Fill();
    resize(560, 360);
}

void RestoreBackupDialog::Fill()
{
    m_backups = storebackup::ListBackups(NativeStorePath(m_doc.DataFilePath()));
    m_table->setRowCount(static_cast<int>(m_backups.size()));
    for (int row = 0; row < static_cast<int>(m_backups.size()); ++row) {
        const storebackup::BackupInfo& b = m_backups[static_cast<std::size_t>(row)];
        auto cell = [&](int column, const QString& text, Qt::Alignment align) {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(align | Qt::AlignVCenter);
            if (!b.readable)
                item->setToolTip(QString::fromStdString(cp932::toUtf8(b.problem)));
            m_table->setItem(row, column, item);
        };
        cell(0, stampText(b.stamp), Qt::AlignLeft);
        cell(1, BackupSizeText(b.size), Qt::AlignRight);
        if (b.readable) {
            cell(2, QString::number(b.customers), Qt::AlignRight);
            cell(3, QString::number(b.measurements), Qt::AlignRight);
        } else {
            cell(2, QStringLiteral("読めません"), Qt::AlignLeft);
            cell(3, QString(), Qt::AlignLeft);
        }
    }
    m_table->resizeColumnsToContents();
    if (!m_backups.empty())
        m_table->selectRow(0);
    UpdateButton();
}

void RestoreBackupDialog::UpdateButton()
{
    const int row = m_table->currentRow();
    m_restore->setEnabled(row >= 0 && row < static_cast<int>(m_backups.size()) &&
                          m_backups[static_cast<std::size_t>(row)].readable);
}

void RestoreBackupDialog::OnRestore()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= static_cast<int>(m_backups.size()) ||
        !m_backups[static_cast<std::size_t>(row)].readable)
        return;
    const storebackup::BackupInfo& b = m_backups[static_cast<std::size_t>(row)];
    if (ui::messages().questionYesNo(
            this,
            QStringLiteral("%1 のバックアップでデータファイルを置き換えます。\n"
                           "現在のデータファイルはバックアップとして残ります。\n"
                           "よろしいですか？")
                .arg(stampText(b.stamp)),
            MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
        return;
    const storebackup::BackupInfo restored = b;
    if (!m_doc.RestoreFromBackup(b.path)) {
        Fill();
        return;
    }
    ui::messages().notice(this, QStringLiteral("%1 のバックアップから復元しました（需要家 %2 件、"
                                               "計測 %3 件）。")
                                    .arg(stampText(restored.stamp))
                                    .arg(restored.customers)
                                    .arg(restored.measurements));
    accept();
}

void RunRestoreBackup(QWidget* parent, MeasurementDocument& doc)
{
    RestoreBackupDialog dialog(doc, parent);
    dialog.exec();
}
