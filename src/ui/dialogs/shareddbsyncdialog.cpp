// The shared database's sync dialog and menu command.
#include "ui/dialogs/shareddbsyncdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

#include "settings/backupsettings.h"
#include "store/store.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "ui/document/measurementdocument.h"
#include "workspace/workspacebackup.h"

SharedDbSyncDialog::SharedDbSyncDialog(shareddb::SyncTarget target, QWidget* parent)
    : QDialog(parent), m_target(std::move(target))
{
    setWindowTitle(QStringLiteral("共有データベースと同期"));
    m_status = new QLabel(QStringLiteral("共有データベースに接続しています..."), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0); // busy until the number of sets is known
    m_progress->setFormat(QStringLiteral("%v / %m 測定データ"));
    m_progress->setMinimumWidth(360);
    m_cancelButton = new QPushButton(QStringLiteral("中止"), this);
    connect(m_cancelButton, &QPushButton::clicked, this, &SharedDbSyncDialog::OnCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    // Closing it while the worker runs cancels the sync, and the window ends by itself within
    // the time-out: a program that ends waits for it rather than saving beside it.
    setProperty("mxrEndsByItself", true);
}

SharedDbSyncDialog::~SharedDbSyncDialog()
{
    if (m_worker.joinable()) {
        std::thread([cancel = m_cancel] { cancel->request(); }).detach();
        m_worker.join();
    }
}

void SharedDbSyncDialog::Start()
{
    if (m_running.exchange(true))
        return;
    shareddb::SyncHooks hooks;
    hooks.cancel = m_cancel.get();
    hooks.cancelled = [cancel = m_cancel.get()] { return cancel->requested(); };
    // Only plain values cross to the UI thread, by queued invocation.
    hooks.progress = [this](int done, int total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { OnProgress(done, total); }, Qt::QueuedConnection);
    };
    m_worker = std::thread([this, hooks] {
        shareddb::SyncSummary summary =
            shareddb::RunSync(m_target, shareddb::SyncMode::Sync, hooks);
        QMetaObject::invokeMethod(
            this, [this, summary] { OnFinished(summary); }, Qt::QueuedConnection);
    });
}

void SharedDbSyncDialog::OnCancel()
{
    if (!m_running || m_cancel->requested())
        return;
    std::thread([cancel = m_cancel] { cancel->request(); }).detach();
    m_cancelButton->setEnabled(false);
    m_status->setText(
        QStringLiteral("中止しています（送受信中の測定データセットは取り消します）..."));
}

void SharedDbSyncDialog::reject()
{
    if (m_running)
        OnCancel();
    else
        QDialog::reject();
}

void SharedDbSyncDialog::OnProgress(int done, int total)
{
    if (m_cancel->requested())
        return;
    m_status->setText(QStringLiteral("測定データを同期しています..."));
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(done);
}

void SharedDbSyncDialog::OnFinished(const shareddb::SyncSummary& summary)
{
    if (m_worker.joinable())
        m_worker.join();
    m_summary = summary;
    m_running = false;
    emit syncFinished();
    done(summary.ok ? QDialog::Accepted : QDialog::Rejected);
}

QString SyncSummaryText(const shareddb::SyncSummary& s)
{
    if (!s.ok)
        return QString::fromStdString(s.message);
    QString text =
        s.cancelled
            ? QStringLiteral("同期を中止しました。終わった測定データまでは同期されています。\n")
            : QStringLiteral("共有データベースとの同期が終わりました。\n");
    if (s.nothingToDo) {
        text += QStringLiteral("前回の同期から変更はありません。");
        if (s.registerSent > 0 || s.registerReceived > 0)
            text += QStringLiteral("\n\nケーブル台帳: 送信 %1 件、受信 %2 件")
                        .arg(s.registerSent)
                        .arg(s.registerReceived);
        for (const std::string& problem : {s.journalProblem, s.registerProblem})
            if (!problem.empty())
                text += QStringLiteral("\n\n") + QString::fromStdString(problem);
        return text;
    }
    text += QStringLiteral("\n送信: %1 件\n受信: %2 件\n競合: %3 件")
                .arg(s.sent)
                .arg(s.received)
                .arg(s.conflicts.size());
    for (const shareddb::SyncConflict& c : s.conflicts)
        text +=
            QStringLiteral("\n・%1 / %2 / %3  データNo.%4 (%5 kV)\n　　%6 の版 %7 は履歴に残し、"
                           "この端末の版 %8 を採用しました")
                .arg(ui::toQ(c.customer), ui::toQ(c.cable), ui::toQ(c.set))
                .arg(c.dataNo)
                .arg(c.testVoltage, 0, 'f', 2)
                .arg(QString::fromStdString(c.supersededBy))
                .arg(c.supersededRevision)
                .arg(c.winningRevision);
    if (!s.skipped.empty())
        text += QStringLiteral("\n\n共有データベース上で読めない測定データ %1 件は受信せず、次回の"
                               "同期で再び取得します:")
                    .arg(s.skipped.size());
    for (const shareddb::SkippedRecord& k : s.skipped)
        text += QStringLiteral("\n・%1 / %2 / %3  データNo.%4 (%5 kV) %6")
                    .arg(ui::toQ(k.customer), ui::toQ(k.cable), ui::toQ(k.set))
                    .arg(k.dataNo)
                    .arg(k.testVoltage, 0, 'f', 2)
                    .arg(k.startTime.status == OleDateTime::Valid
                             ? QString::fromStdString(k.startTime.format("%Y/%m/%d %H:%M:%S"))
                             : QStringLiteral("日時なし"));
    if (s.registerSent > 0 || s.registerReceived > 0)
        text += QStringLiteral("\n\nケーブル台帳: 送信 %1 件、受信 %2 件")
                    .arg(s.registerSent)
                    .arg(s.registerReceived);
    if (!s.journalProblem.empty())
        text += QStringLiteral("\n\n") + QString::fromStdString(s.journalProblem);
    if (!s.registerProblem.empty())
        text += QStringLiteral("\n\n") + QString::fromStdString(s.registerProblem);
    if (!s.changedAsidePath.empty())
        text += QStringLiteral("\n\nデータファイルは他のプログラムにより変更されていたため、"
                               "変更前の内容を次に保存しました:\n%1")
                    .arg(QString::fromStdString(s.changedAsidePath));
    return text;
}

bool RunSharedDbSync(QWidget* parent, MeasurementDocument& doc, const std::string& iniPath)
{
    if (doc.IsReadOnly()) {
        ui::messages().error(parent, QStringLiteral("データファイルを全部は読み込めていないため、"
                                                    "共有データベースと同期できません。"));
        return false;
    }
    const std::string storePath = NativeStorePath(doc.DataFilePath());
    // The sync works on the file: what is in memory and not yet there is saved first.
    {
        CCustomerDB onDisk;
        const StoreOutcome current = LoadStore(onDisk, storePath);
        if ((!current.ok || !(onDisk == doc.Store())) && !doc.CommitStore())
            return false;
    }
    shareddb::SyncTarget target;
    target.db = shareddb::ReadDbSettings(iniPath);
    target.storePath = storePath;
    target.statePath =
        (std::filesystem::path(iniPath).parent_path() / shareddb::kStateFileName).string();
    target.backup = ws::WithWorkspace(ReadBackupPolicy(iniPath));

    shareddb::SyncSummary s;
    for (;;) {
        SharedDbSyncDialog dlg(target, parent);
        dlg.Start();
        dlg.exec();
        s = dlg.Summary();
        // A store that synchronised with another database switches only when the user says so.
        if (!s.otherDatabase || target.switchDatabase)
            break;
        if (ui::messages().questionYesNo(
                parent, QString::fromStdString(s.message) +
                            QStringLiteral("\n\nこのデータベースと同期しますか？"),
                MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
            return false;
        target.switchDatabase = true;
    }
    if (s.storeSaved)
        doc.ReloadStoreFile(ws::kind::Pull, "共有データベースから取り込み");
    if (!s.ok) {
        ui::messages().error(parent, SyncSummaryText(s));
        return false;
    }
    ui::messages().information(parent, SyncSummaryText(s));
    return true;
}
