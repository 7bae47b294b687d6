// CsvExportDialog: layout, the settings it reads and writes, the output steps with their questions,
// and opening the written file.
#include "ui/dialogs/csvexportdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

#include "settings/appsettings.h"
#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "store/store.h" // NativeStorePath
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/shownreport.h"

namespace {

constexpr int kMaxText = 256;

QLineEdit* textEdit(QWidget* parent, int id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    edit->setMaxLength(kMaxText);
    return edit;
}

QPushButton* browseButton(QWidget* parent, int id)
{
    auto* button = new QPushButton(QStringLiteral("参照..."), parent);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

// A folder or file text as a native path: backslashes of settings written on Windows are
// read as separators.
std::string nativePath(const QString& text)
{
    return NativeStorePath(QFile::encodeName(text).toStdString());
}

} // namespace

CsvExportDialog::Launcher CsvExportDialog::SystemLauncher()
{
    Launcher l;
    l.startDetached = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    l.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return l;
}

CsvExportDialog::CsvExportDialog(const CsvNames& names, const CMeasRecord& record, QWidget* parent)
    : QDialog(parent), m_names(names), m_record(record), m_launcher(SystemLauncher())
{
    setObjectName(QStringLiteral("csvOut"));
    setWindowTitle(QStringLiteral("テキスト出力（ＣＳＶ形式）"));

    m_folder = textEdit(this, 1024);
    m_folderBrowse = browseButton(this, 1025);
    m_file = textEdit(this, 1026);
    m_encoding = new QComboBox(this);
    m_encoding->setObjectName(QStringLiteral("encoding"));
    m_encoding->addItem(QStringLiteral("Shift-JIS"), int(CsvEncoding::Cp932));
    m_encoding->addItem(QStringLiteral("UTF-8 (BOM付き)"), int(CsvEncoding::Utf8Bom));
    m_encoding->setToolTip(
        QStringLiteral("UTF-8 (BOM付き) は最近の表計算ソフトでそのまま開けます"));
    m_openAfter = new QCheckBox(QStringLiteral("出力後，次のプログラムでファイルを開く"), this);
    m_openAfter->setObjectName(QStringLiteral("check1027"));

    m_programGroup = new QGroupBox(this);
    m_programGroup->setObjectName(QStringLiteral("group1028"));
    m_program = textEdit(m_programGroup, 1029);
    m_programBrowse = browseButton(m_programGroup, 1030);
    auto* hint = new QLabel(
        QStringLiteral(
            "指定しない（空白）にすると出力ファイルに関連しているプログラムが起動されます"),
        m_programGroup);
    hint->setWordWrap(false); // one line: the dialog grows to hold it
    auto* groupLayout = new QGridLayout(m_programGroup);
    groupLayout->setContentsMargins(12, 10, 12, 10);
    groupLayout->setHorizontalSpacing(8);
    groupLayout->setVerticalSpacing(6);
    groupLayout->addWidget(m_program, 0, 0);
    groupLayout->addWidget(m_programBrowse, 0, 1);
    groupLayout->addWidget(hint, 1, 0, 1, 2);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    auto* folderLabel = new QLabel(QStringLiteral("出力先："), this);
    folderLabel->setBuddy(m_folder);
    auto* fileLabel = new QLabel(QStringLiteral("出力ファイル名："), this);
    fileLabel->setBuddy(m_file);
    grid->addWidget(folderLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(m_folderBrowse, 0, 2);
    grid->addWidget(fileLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(m_file, 1, 1, 1, 2);
    auto* encodingLabel = new QLabel(QStringLiteral("文字コード："), this);
    encodingLabel->setBuddy(m_encoding);
    grid->addWidget(encodingLabel, 2, 0, Qt::AlignRight);
    grid->addWidget(m_encoding, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_output = buttons->addButton(QStringLiteral("出力"), QDialogButtonBox::AcceptRole);
    m_output->setObjectName(QStringLiteral("button1"));
    m_output->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("button2"));
    connect(m_output, &QPushButton::clicked, this, [this] { OnOutput(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addLayout(grid);
    layout->addSpacing(4);
    layout->addWidget(m_openAfter);
    layout->addWidget(m_programGroup);
    layout->addSpacing(4);
    layout->addWidget(buttons);
    // Room for a path of some length.
    m_folder->setMinimumWidth(m_folder->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 28);

    connect(m_folderBrowse, &QPushButton::clicked, this, &CsvExportDialog::OnBrowseFolder);
    connect(m_programBrowse, &QPushButton::clicked, this, &CsvExportDialog::OnBrowseProgram);
    connect(m_openAfter, &QCheckBox::toggled, this, [this] { updateProgramControls(); });
}

CsvExportDialog::~CsvExportDialog() = default;

CAppSettings& CsvExportDialog::settings() const
{
    return m_settings ? *m_settings : AppSettings();
}

void CsvExportDialog::OnInitDialog()
{
    m_initialised = true;
    const CAppSettings& s = settings();
    m_folder->setText(ui::toQ(s.TextOutDir));
    // Every output proposes a name from the test date and time, not the last name written.
    m_file->setText(QString::fromStdString(CsvDefaultFileName(m_record)));
    // An unknown setting falls back to Shift-JIS, the encoding files have always had.
    const CsvEncoding encoding =
        CsvEncodingFromName(s.TextOutEncoding).value_or(CsvEncoding::Cp932);
    m_encoding->setCurrentIndex(m_encoding->findData(int(encoding)));
    m_openAfter->setChecked(s.ChkExe != 0);
    m_program->setText(ui::toQ(s.RunningExe));
    updateProgramControls();
}

CsvEncoding CsvExportDialog::chosenEncoding() const
{
    return m_encoding->currentData().toInt() == int(CsvEncoding::Utf8Bom) ? CsvEncoding::Utf8Bom
                                                                          : CsvEncoding::Cp932;
}

void CsvExportDialog::updateProgramControls()
{
    m_programGroup->setEnabled(m_openAfter->isChecked());
}

void CsvExportDialog::OnBrowseFolder()
{
    const QString folder = ui::messages().folderName(
        this, QStringLiteral("フォルダ選択をしてください"), m_folder->text().trimmed());
    if (!folder.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(folder));
}

void CsvExportDialog::OnBrowseProgram()
{
    // Programs here carry no ".exe": the chooser lists every file.
    const QString program =
        ui::messages().openFileName(this, QStringLiteral("起動プログラム"),
                                    m_program->text().trimmed(), QStringLiteral("プログラム (*)"));
    if (!program.isEmpty())
        m_program->setText(QDir::toNativeSeparators(program));
}

bool CsvExportDialog::OnOutput()
{
    MessageInterface& msg = ui::messages();
    const QString file = m_file->text().trimmed();
    const QString folder = m_folder->text().trimmed();
    const QString program = m_program->text().trimmed();
    const bool openAfter = m_openAfter->isChecked();
    if (file.isEmpty()) {
        msg.error(this, QStringLiteral("出力ファイル名を指定してください"));
        m_file->setFocus();
        return false;
    }
    if (folder.isEmpty()) {
        msg.error(this, QStringLiteral("出力先を指定してください"));
        m_folder->setFocus();
        return false;
    }
    // The texts go into the settings, which hold CP932: refuse what could not be kept there.
    const std::optional<std::string> folderText = ui::fromQ(folder);
    const std::optional<std::string> fileText = ui::fromQ(file);
    const std::optional<std::string> programText = ui::fromQ(program);
    for (auto [text, edit] : {std::pair{&folderText, m_folder}, std::pair{&fileText, m_file},
                              std::pair{&programText, m_program}}) {
        if (!*text) {
            msg.error(
                this,
                QStringLiteral("保存できない文字が含まれています\n%1").arg(edit->text().trimmed()));
            edit->setFocus();
            return false;
        }
    }

    const std::string folderPath = nativePath(folder);
    const QString folderNative = QFile::decodeName(QByteArray::fromStdString(folderPath));
    if (!QFileInfo(folderNative).isDir()) {
        if (msg.questionYesNo(this,
                              QStringLiteral("指定のフォルダは存在していません\n作成しますか？\n%1")
                                  .arg(folder)) != MessageInterface::Answer::Yes)
            return false;
        // A folder that cannot be made shows up as the write's open error.
        QDir().mkpath(folderNative);
    }

    const std::string path = CsvJoinPath(folderPath, nativePath(file));
    const QString shownPath = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFileInfo::exists(shownPath) &&
        msg.questionYesNo(this,
                          QStringLiteral("指定のファイルは既に存在しています\n上書きしますか？\n%1")
                              .arg(shownPath),
                          MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
        return false;

    const CAppSettings& s = settings();
    const CsvLabels labels = CsvLabelsFor(s.TitleCustomer, s.TitleCable, s.TitleMeasurement);
    CsvWriteOptions options = m_writeOptions;
    options.encoding = chosenEncoding();
    const CsvWriteOutcome out = WriteCsv(path, m_names, m_record, labels, options);
    if (!out.ok) {
        if (m_log)
            m_log->Write(out.message);
        if (out.status == CsvWriteStatus::OpenError)
            msg.information(this, ui::toQ(out.message));
        else
            msg.notice(this, ui::toQ(out.message));
        return false;
    }

    msg.notice(this, QStringLiteral("テキストファイルへ正常に出力しました\n%1").arg(shownPath));
    if (openAfter)
        openWritten(program, out.path);

    CAppSettings& w = settings();
    w.TextOutDir = *folderText;
    w.TextOutFile = *fileText;
    w.ChkExe = openAfter ? 1 : 0;
    w.RunningExe = *programText;
    w.TextOutEncoding = CsvEncodingName(options.encoding);
    accept();
    return true;
}

void CsvExportDialog::openWritten(const QString& program, const std::string& path)
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    if (program.isEmpty()) {
        if (m_launcher.openUrl)
            m_launcher.openUrl(QUrl::fromLocalFile(file));
        return;
    }
    // The file is one argument, whatever spaces its path holds. A program text naming an
    // existing file is that program; otherwise it is a command with its own arguments.
    QString executable = program;
    QStringList arguments;
    if (!QFileInfo(program).isFile()) {
        arguments = QProcess::splitCommand(program);
        if (arguments.isEmpty())
            return;
        executable = arguments.takeFirst();
    }
    arguments << file;
    if (m_launcher.startDetached)
        m_launcher.startDetached(executable, arguments); // a failed start is not shown
}

int CsvExportDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void CsvExportDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

bool RunTextOut(QWidget* parent, const ShownReport& view, CAppSettings& settings, CxLogFile* appLog)
{
    if (!view.HasRecord() || view.Records().empty())
        return false;
    const ShownReport::Names n = view.ShownNames();
    CsvExportDialog dialog({n.customer, n.cable, n.measData}, view.Records().front(), parent);
    dialog.SetSettings(&settings);
    dialog.SetAppLog(appLog);
    return dialog.exec() == QDialog::Accepted;
}
