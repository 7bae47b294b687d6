// The document's backups of the data file: made before risky steps and the first save of a
// day, and restored from the ファイル menu.
#include <QDir>
#include <QString>

#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "ui/common/errnotext.h"
#include "ui/common/messages.h"
#include "ui/document/mxrviewdoc.h"

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

bool CMXRViewDoc::BackUpStore()
{
    if (m_viewing)
        return false; // a viewed file is never written, so it needs no backup
    const storebackup::BackupResult result =
        storebackup::MakeBackup(NativeStorePath(m_dataFile), m_backupPolicy);
    if (result.ok) {
        if (!result.noStore)
            WriteLog("データファイルのバックアップを作成しました: ", result.path);
        return true;
    }
    WriteLog("データファイルのバックアップを作成できませんでした: ", result.Describe());
    if (!m_backupFailureShown) {
        m_backupFailureShown = true;
        ui::messages().information(
            m_messageParent, QStringLiteral("データファイルのバックアップを作成できませんでした。\n"
                                            "データの保存は続けます。\n%1")
                                 .arg(backupFailureText(result)));
    }
    return false;
}

bool CMXRViewDoc::RestoreFromBackup(const std::string& backupPath)
{
    if (m_viewing)
        return false;
    const storebackup::RestoreResult result =
        storebackup::RestoreBackup(backupPath, NativeStorePath(m_dataFile), m_backupPolicy);
    if (result.safeguard.ok && !result.safeguard.noStore)
        WriteLog("復元の前にバックアップを作成しました: ", result.safeguard.path);
    if (!result.ok) {
        WriteLog("バックアップから復元できませんでした: ", result.message);
        ui::messages().information(m_messageParent,
                                   QStringLiteral("バックアップから復元できませんでした。\n%1")
                                       .arg(restoreFailureText(result, backupPath)));
        return false;
    }
    WriteLog("バックアップから復元しました: ", backupPath);
    SetReadOnly(false);
    LoadStoreFile();
    // The restored store starts from its first measurement, as at start-up: the old selection
    // may name entries the backup does not hold.
    SelectFirstMeasurement();
    SendListValues();
    return true;
}

void CMXRViewDoc::ReloadStoreFile()
{
    LoadStoreFile();
    LoadSelectedMeasurement();
}
