// The document's backups of the data file: made before risky steps and the first save of a
// day, and restored from the ファイル menu.
#include <QString>

#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "ui/messages.h"
#include "ui/mxrviewdoc.h"

bool CMXRViewDoc::BackUpStore()
{
    WaitForLoad(); // the load holds the file's lock until it has read it
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
                                 .arg(QString::fromLocal8Bit(result.Describe().c_str())));
    }
    return false;
}

bool CMXRViewDoc::RestoreFromBackup(const std::string& backupPath)
{
    WaitForLoad();
    const storebackup::RestoreResult result =
        storebackup::RestoreBackup(backupPath, NativeStorePath(m_dataFile), m_backupPolicy);
    if (result.safeguard.ok && !result.safeguard.noStore)
        WriteLog("復元の前にバックアップを作成しました: ", result.safeguard.path);
    if (!result.ok) {
        WriteLog("バックアップから復元できませんでした: ", backupPath);
        ui::messages().information(m_messageParent,
                                   QStringLiteral("バックアップから復元できませんでした。\n%1")
                                       .arg(QString::fromLocal8Bit(result.message.c_str())));
        return false;
    }
    WriteLog("バックアップから復元しました: ", backupPath);
    SetReadOnly(false);
    LoadStoreFile();
    ResetSelection();
    SendListValues();
    return true;
}
