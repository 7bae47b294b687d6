// The document's backups of the data file: made before risky steps and the first save of a
// day, and restored from the ファイル menu.
#include <filesystem>

#include <QDir>
#include <QString>

#include "ui/common/errnotext.h"
#include "ui/common/messages.h"
#include "ui/document/measurementdocument.h"

namespace {

// Where a failed backup was to be written and why it failed, in the user's words.
QString backupFailureText(const storebackup::BackupResult& result)
{
    return QStringLiteral("%1\n%2").arg(
        QDir::toNativeSeparators(QString::fromLocal8Bit(result.path.c_str())),
        ui::errnoText(result.error));
}

QString restoreFailureText(const storebackup::RestoreResult& result, const std::string& backupPath)
{
    using storebackup::RestoreFailure;
    switch (result.failure) {
    case RestoreFailure::UnreadableBackup:
        return QStringLiteral("バックアップファイルを読み込めません。\n%1")
            .arg(QDir::toNativeSeparators(QString::fromLocal8Bit(backupPath.c_str())));
    case RestoreFailure::SafeguardFailed:
        return QStringLiteral("現在のデータファイルのバックアップを作成できないため、復元しません"
                              "でした。\n%1")
            .arg(backupFailureText(result.safeguard));
    case RestoreFailure::ReplaceFailed:
    case RestoreFailure::None: break;
    }
    return QStringLiteral("データファイルを置き換えられませんでした。元のデータファイルはそのまま"
                          "です。\n%1")
        .arg(ui::errnoText(result.error));
}

} // namespace

void MeasurementDocument::ShowBackupFailure(const storebackup::BackupResult& result)
{
    ui::messages().information(m_messageParent,
                               QStringLiteral("データファイルのバックアップを作成できませんでした。\n"
                                              "データの保存は続けます。\n%1")
                                   .arg(backupFailureText(result)));
}

bool MeasurementDocument::BackUpStore()
{
    // A viewed file is never written, so it needs no backup; a failure is told once a run.
    const BackupOutcome outcome = m_session.BackUp();
    if (outcome.firstFailure)
        ShowBackupFailure(outcome.result);
    return outcome.ok;
}

bool MeasurementDocument::RestoreFromBackup(const std::string& backupPath)
{
    if (m_session.IsViewing())
        return false;
    WaitForLoad();
    m_loadCommand = ws::kind::Restore;
    m_loadSummary = "バックアップから復元";
    m_loadReason = std::filesystem::path(backupPath).filename().string();
    const RestoreOutcome outcome = m_session.Restore(backupPath);
    if (!outcome.ok) {
        m_loadCommand = ws::kind::External;
        m_loadSummary.clear();
        m_loadReason.clear();
    }
    if (!outcome.ok) {
        ui::messages().information(m_messageParent,
                                   QStringLiteral("バックアップから復元できませんでした。\n%1")
                                       .arg(restoreFailureText(outcome.result, backupPath)));
        return false;
    }
    ShowLoadOutcome(outcome.load);
    // The restored store starts from its first measurement, as at start-up: the old selection
    // may name entries the backup does not hold.
    SelectFirstMeasurement();
    emit m_notifier.scaleValuesRequested();
    return true;
}

void MeasurementDocument::ReloadStoreFile(const char* command, std::string summary)
{
    m_loadCommand = command;
    m_loadSummary = std::move(summary);
    LoadStoreFile();
    LoadSelectedMeasurement();
}
