// RestoreBackupDialog: lists the backups of the data file (date, size, customers, measurements;
// an unreadable one is marked) and restores the chosen one after a question.
// RestoreBackupDialog was CRestoreBackupDlg in the Windows program's sources.
#pragma once

#include <QDialog>

#include <vector>

#include "store/backup.h"

class MeasurementDocument;
class QPushButton;
class QTableWidget;

class RestoreBackupDialog : public QDialog {
    Q_OBJECT
public:
    RestoreBackupDialog(MeasurementDocument& doc, QWidget* parent = nullptr);

    // Asks, then restores the selected backup through the document; closes on success.
    void OnRestore();
    QTableWidget* Table() const { return m_table; }

private:
    void Fill();
    void UpdateButton();

    MeasurementDocument& m_doc;
    std::vector<storebackup::BackupInfo> m_backups;
    QTableWidget* m_table = nullptr;
    QPushButton* m_restore = nullptr;
};

// A file size as the backup list shows it: "512 バイト", "12.3 KB", "1.5 MB" (1 KB = 1024
// bytes, one decimal below 100 of a unit).
QString BackupSizeText(uint64_t bytes);

// The ファイル menu command.
void RunRestoreBackup(QWidget* parent, MeasurementDocument& doc);
