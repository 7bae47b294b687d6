// DataExportDialog: layout, the list of the selected node and the save steps with their messages.
#include "ui/dialogs/dataexportdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

#include "settings/appsettings.h"
#include "exchange/csvwriter.h" // CsvJoinPath
#include "ui/dialogs/exchangeui.h"
#include "ui/common/storemessagebox.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "widgets/checklistview.h"

namespace {

// A folder or file text as a native path (backslashes of settings written on Windows are
// read as separators).
std::string nativePath(const QString& text)
{
    return NativeStorePath(QFile::encodeName(text).toStdString());
}

QString shown(const std::string& native)
{
    return QFile::decodeName(QByteArray::fromStdString(native));
}

} // namespace

DataExportDialog::DataExportDialog(const CCustomerDB& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("dataCopy"));
    setWindowTitle(QStringLiteral("測定データをファイルへ保存する"));

    m_tree = exchangeui::NewTreeWidget(this, QStringLiteral("tree1042"));
    m_list = exchangeui::NewCheckList(this);
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("edit1031"));
    m_browse = new QPushButton(QStringLiteral("参照..."), this);
    m_browse->setObjectName(QStringLiteral("button1044"));
    m_browse->setAutoDefault(false);
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("edit1039"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    auto* folderLabel = new QLabel(QStringLiteral("保存先："), this);
    folderLabel->setBuddy(m_folder);
    auto* fileLabel = new QLabel(QStringLiteral("保存ファイル名："), this);
    fileLabel->setBuddy(m_file);
    grid->addWidget(folderLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(m_browse, 0, 2);
    grid->addWidget(fileLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(m_file, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_save = buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::ActionRole);
    m_save->setObjectName(QStringLiteral("button1"));
    m_save->setDefault(true);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("button2"));
    close->setAutoDefault(false);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    right->addWidget(m_list, 1);
    right->addLayout(grid);
    right->addWidget(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(m_tree);
    layout->addLayout(right, 1);
    m_tree->setFixedWidth(260);
    resize(sizeHint());

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { OnSelectNode(); });
    connect(m_browse, &QPushButton::clicked, this, &DataExportDialog::OnBrowse);
    connect(m_save, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

DataExportDialog::~DataExportDialog() = default;

CAppSettings& DataExportDialog::settings() const
{
    return m_settings ? *m_settings : AppSettings();
}

void DataExportDialog::OnInitDialog()
{
    m_initialised = true;
    const CAppSettings& s = settings();
    m_titles = exchangeui::TitlesOf(s);
    m_folder->setText(ui::toQ(s.SavedataDir));
    m_file->setText(QString::fromStdString(ExportDefaultFileName(OleDateTime::now())));
    exchangeui::FillTree(m_tree, exchangeui::TreeRootText(m_titles), m_document);
    exchangeui::SelectNode(m_tree, ExchangeNode::root());
    OnSelectNode();
}

void DataExportDialog::OnSelectNode()
{
    m_node = exchangeui::CurrentNode(m_tree);
    exchangeui::FillList(m_list, m_document, m_node, m_titles);
}

void DataExportDialog::OnBrowse()
{
    const QString folder = ui::messages().folderName(
        this, QStringLiteral("フォルダ選択をしてください"), m_folder->text().trimmed());
    if (!folder.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(folder));
}

bool DataExportDialog::OnSave()
{
    MessageInterface& msg = ui::messages();
    const std::vector<int> rows = m_list->CheckedRows();
    if (rows.empty()) {
        msg.error(this, QStringLiteral("保存データがチェックされていません"));
        return false;
    }
    const CCustomerDB exported = BuildExchangeTree(m_document, m_node, rows);

    const QString folder = m_folder->text().trimmed();
    const QString file = m_file->text().trimmed();
    const std::string folderPath = nativePath(folder);
    if (folder.isEmpty() || !QFileInfo(shown(folderPath)).isDir()) {
        msg.error(this, QStringLiteral("保存先にアクセスできません\n存在するフォルダを入力してく"
                                       "ださい\n%1")
                            .arg(folder));
        m_folder->setFocus();
        return false;
    }
    // The folder is remembered in the settings, which hold CP932.
    const std::optional<std::string> folderText = ui::fromQ(folder);
    if (!folderText) {
        msg.error(this, QStringLiteral("保存できない文字が含まれています\n%1").arg(folder));
        m_folder->setFocus();
        return false;
    }
    if (file.isEmpty()) {
        msg.error(this, QStringLiteral("保存ファイル名を指定してください"));
        m_file->setFocus();
        return false;
    }
    const std::string path = CsvJoinPath(folderPath, nativePath(file));
    const QString shownPath = shown(path);
    if (QFileInfo::exists(shownPath) &&
        msg.questionYesNo(this,
                          QStringLiteral("指定のファイルは既に存在しています\n上書きしても"
                                         "よろしいですか\n%1")
                              .arg(shownPath),
                          MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
        return false;

    settings().SavedataDir = *folderText;
    StoreOutcome outcome;
    {
        exchangeui::WaitWindow wait(this, QStringLiteral("保存しています..."));
        outcome = SaveStore(exported, path, m_storeOptions);
    }
    if (!outcome.ok) {
        ui::ShowStoreMessage(this, outcome);
        return false;
    }
    msg.notice(this, QStringLiteral("保存は正常に行われました"));
    return true;
}

int DataExportDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void DataExportDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

void RunDataExport(QWidget* parent, const CCustomerDB& document)
{
    DataExportDialog dialog(document, parent);
    dialog.exec();
}

QSize DataExportDialog::sizeHint() const
{
    // The size of the Windows template (530 x 321 dialog units) in this font.
    return {900, 560};
}
