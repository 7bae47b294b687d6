// CsvExportDialog: the modal dialog "テキスト出力（ＣＳＶ形式）" that writes the shown measurement as a CSV
// file and may open it afterwards; and the main window's command that opens it.
// CsvExportDialog was CCsvOut in the Windows program's sources.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

#include "exchange/csvwriter.h"
#include "model/measrecord.h"

class CAppSettings;
class CxLogFile;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QUrl;
class ShownReport;

class CsvExportDialog : public QDialog {
    Q_OBJECT
public:
    // Opening the written file: a chosen program started detached, or the program associated
    // with the file. Both return whether the start worked (a failure is not shown).
    struct Launcher {
        std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
        std::function<bool(const QUrl& url)> openUrl;
    };
    // QProcess::startDetached and QDesktopServices::openUrl.
    static Launcher SystemLauncher();

    // The three names and a copy of the record to write (CP932 names).
    CsvExportDialog(const CsvNames& names, const CMeasRecord& record, QWidget* parent = nullptr);
    ~CsvExportDialog() override;

    // The "TextOut" settings read at initialisation and written after an output;
    // AppSettings() unless set.
    void SetSettings(CAppSettings* settings) { m_settings = settings; }
    // The application log for failures (may stay unset).
    void SetAppLog(CxLogFile* log) { m_log = log; }
    void SetLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    // The write's waits for a file held by another program; tests shorten them.
    void SetWriteOptions(const CsvWriteOptions& options) { m_writeOptions = options; }

    // Fills the controls from the settings and proposes the file name from the start time.
    // exec() calls it when the caller has not.
    void OnInitDialog();
    // "参照..." beside the folder and beside the program.
    void OnBrowseFolder();
    void OnBrowseProgram();
    // "出力": checks, asks, writes, opens, stores the settings and closes with Accepted.
    // False when the dialog stays open.
    bool OnOutput();
    int exec() override;

    QLineEdit* FolderEdit() const { return m_folder; }
    QLineEdit* FileEdit() const { return m_file; }
    // "文字コード": Shift-JIS (CP932) or UTF-8 with a byte-order mark.
    QComboBox* EncodingCombo() const { return m_encoding; }
    QCheckBox* OpenAfterCheck() const { return m_openAfter; }
    QLineEdit* ProgramEdit() const { return m_program; }
    QGroupBox* ProgramGroup() const { return m_programGroup; }
    QPushButton* FolderBrowseButton() const { return m_folderBrowse; }
    QPushButton* ProgramBrowseButton() const { return m_programBrowse; }
    QPushButton* OutputButton() const { return m_output; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CAppSettings& settings() const;
    void updateProgramControls();
    void openWritten(const QString& program, const std::string& path);
    CsvEncoding chosenEncoding() const;

    CsvNames m_names;
    CMeasRecord m_record;
    CAppSettings* m_settings = nullptr;
    CxLogFile* m_log = nullptr;
    Launcher m_launcher;
    CsvWriteOptions m_writeOptions;
    bool m_initialised = false;

    QLineEdit* m_folder = nullptr;
    QPushButton* m_folderBrowse = nullptr;
    QLineEdit* m_file = nullptr;
    QComboBox* m_encoding = nullptr;
    QCheckBox* m_openAfter = nullptr;
    QGroupBox* m_programGroup = nullptr;
    QLineEdit* m_program = nullptr;
    QPushButton* m_programBrowse = nullptr;
    QPushButton* m_output = nullptr;
};

// The command "テキスト出力(&O)...": the dialog for the names and the first record of the report
// view, with the given settings and application log. Does nothing while the view holds no
// record. True after an output.
bool RunTextOut(QWidget* parent, const ShownReport& view, CAppSettings& settings, CxLogFile* appLog);
