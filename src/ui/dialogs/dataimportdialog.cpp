// DataImportDialog: layout, reading the export file, and the import with its questions.
#include "ui/dialogs/dataimportdialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

#include "settings/appsettings.h"
#include "commands/treecommands.h"
#include "exchange/importmerge.h"
#include "ui/dialogs/exchangeui.h"
#include "ui/common/approvaltext.h"
#include "ui/common/storemessagebox.h"
#include "ui/common/messages.h"
#include "ui/document/documentapprovals.h"
#include "ui/document/measurementdocument.h"
#include "ui/common/uitext.h"
#include "widgets/checklistview.h"

namespace {

const QString kPathPrompt = QStringLiteral("読み込むデータファイルを指定してください。");

// The merge's questions as Yes/No message boxes.
class MessageQuestions : public CImportQuestions {
public:
    explicit MessageQuestions(QWidget* parent) : m_parent(parent) {}
    bool ConfirmMerge(const std::string& question) override { return ask(question); }
    bool ConfirmConditions(const std::string& question) override { return ask(question); }

private:
    bool ask(const std::string& question)
    {
        return ui::messages().questionYesNo(m_parent, exchangeui::MessageText(question)) ==
               MessageInterface::Answer::Yes;
    }

    QWidget* m_parent;
};

} // namespace

DataImportDialog::DataImportDialog(CCustomerDB& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("dataInport"));
    setWindowTitle(QStringLiteral("ファイルデータを取り込む"));

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("edit1039"));
    m_browse = new QPushButton(QStringLiteral("参照..."), this);
    m_browse->setObjectName(QStringLiteral("button1044"));
    m_browse->setAutoDefault(false);
    m_sourceTree = exchangeui::NewTreeWidget(this, QStringLiteral("tree1042"));
    m_list = exchangeui::NewCheckList(this);
    m_destTree = exchangeui::NewTreeWidget(this, QStringLiteral("tree1043"));

    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    pathRow->addWidget(new QLabel(QStringLiteral("読み込むファイル："), this));
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_browse);

    auto* upper = new QHBoxLayout;
    upper->setSpacing(6);
    upper->addWidget(m_sourceTree);
    upper->addWidget(m_list, 1);
    m_sourceTree->setFixedWidth(260);

    m_import = new QPushButton(QStringLiteral("↓取り込み"), this);
    m_import->setObjectName(QStringLiteral("button1"));
    m_import->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("button2"));
    close->setAutoDefault(false);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(12);
    buttonRow->addWidget(new QLabel(QStringLiteral("取り込み先："), this), 0, Qt::AlignBottom);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_import);
    buttonRow->addWidget(close);
    buttonRow->addStretch(3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addLayout(pathRow);
    layout->addLayout(upper, 1);
    layout->addLayout(buttonRow);
    layout->addWidget(m_destTree, 1);
    resize(sizeHint());

    connect(m_browse, &QPushButton::clicked, this, &DataImportDialog::OnBrowse);
    connect(m_sourceTree, &QTreeWidget::currentItemChanged, this, [this] { OnSelectNode(); });
    connect(m_import, &QPushButton::clicked, this, [this] { OnImport(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

DataImportDialog::~DataImportDialog() = default;

CAppSettings& DataImportDialog::settings() const
{
    return m_settings ? *m_settings : AppSettings();
}

void DataImportDialog::OnInitDialog()
{
    m_initialised = true;
    m_titles = exchangeui::TitlesOf(settings());
    exchangeui::FillTree(m_sourceTree, QStringLiteral("取り込むデータ"), m_fileTree);
    m_sourceTree->setCurrentItem(nullptr);
    m_list->SetColumnLayout(QString());
    fillDestination({});
    m_path->setText(kPathPrompt);
}

void DataImportDialog::fillDestination(const ExchangeNode& select)
{
    exchangeui::FillTree(m_destTree, exchangeui::TreeRootText(m_titles), m_document);
    if (select.level != ExchangeNode::None)
        exchangeui::SelectNode(m_destTree, select);
    else
        m_destTree->setCurrentItem(nullptr);
}

void DataImportDialog::OnBrowse()
{
    // The chooser starts at the box's file when it names one (not at the prompt text).
    const QString text = m_path->text().trimmed();
    const QString start = QFileInfo::exists(text) ? text : QString();
    const QString chosen =
        ui::messages().openFileName(this, QStringLiteral("計測データファイルを開く"), start,
                                    QStringLiteral("ﾃﾞｰﾀﾌｧｲﾙ (*.DAT *.dat)"));
    if (!chosen.isEmpty())
        LoadFile(QDir::toNativeSeparators(chosen));
}

bool DataImportDialog::LoadFile(const QString& path)
{
    m_path->setText(path);
    const std::string native = NativeStorePath(QFile::encodeName(path).toStdString());
    CCustomerDB read;
    StoreOutcome outcome;
    bool isFile = false;
    {
        exchangeui::WaitWindow wait(this, QStringLiteral("読み込んでいます..."));
        // The reader takes a missing file for an empty store; here it is a failed read.
        isFile = QFileInfo(QFile::decodeName(QByteArray::fromStdString(native))).isFile();
        if (isFile)
            outcome = LoadStore(read, native, m_storeOptions);
    }
    if (!isFile || !outcome.ok) {
        ui::ShowStoreMessage(this, outcome);
        ui::messages().error(this, QStringLiteral("指定ファイルの読み込みに失敗しました"));
        // The trees and the list still show the file read before: so does the box.
        m_path->setText(m_loadedPath.isEmpty() ? kPathPrompt : m_loadedPath);
        return false;
    }
    m_fileTree = std::move(read);
    m_loadedPath = path;
    exchangeui::FillTree(m_sourceTree, QStringLiteral("取り込むデータ"), m_fileTree);
    exchangeui::SelectNode(m_sourceTree, ExchangeNode::root());
    OnSelectNode();
    return true;
}

void DataImportDialog::OnSelectNode()
{
    m_node = exchangeui::CurrentNode(m_sourceTree);
    exchangeui::FillList(m_list, m_fileTree, m_node, m_titles);
}

bool DataImportDialog::OnImport()
{
    MessageInterface& msg = ui::messages();
    const CCustomerDB imported = BuildExchangeTree(m_fileTree, m_node, m_list->CheckedRows());
    const ExchangeNode destination = exchangeui::CurrentNode(m_destTree);
    MessageQuestions questions(this);
    // The store before the import, for the journal; only copied when someone keeps it.
    std::optional<CCustomerDB> before;
    if (m_commit)
        before = m_document;
    cmd::ChangeList changes;
    const cmd::Outcome outcome = cmd::Run(
        m_document, cmd::ImportMerge{destination, &imported, m_node.level, m_titles, &questions},
        &changes, m_locks);
    if (outcome.status == cmd::Status::Approved) {
        msg.error(this, ui::ApprovedRefusal(outcome.locked));
        return false;
    }
    switch (outcome.importStatus) {
    case ImportStatus::NothingChecked:
        msg.error(this, QStringLiteral("取り込むデータがチェックされていません"));
        return false;
    case ImportStatus::NoDestination:
        msg.error(this, QStringLiteral("「取り込み先:」を選んでください"));
        return false;
    case ImportStatus::WrongLevel:
        msg.error(this, QStringLiteral("指定の「取り込み先:」には入れられません\n正しい「取り込"
                                       "み先:」を選んでください"));
        return false;
    case ImportStatus::Declined: return false; // nothing reached the document
    case ImportStatus::Done: break;
    }
    if (m_commit)
        m_commit(*before, changes.changes);
    // Only entries below the destination were added: its own positions still lead to it.
    fillDestination(destination);
    msg.notice(this, QStringLiteral("正常に取り込みました"));
    return true;
}

int DataImportDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void DataImportDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

void FollowSelectedRecord(const CCustomerDB& db, DataSelection& selection, const CMeasRecord& shown)
{
    const CMeasRecord* now = SelectedRecord(db, selection);
    if (!now || *now == shown)
        return;
    const CMeasData& set = *SelectedSet(db, selection);
    for (std::size_t i = static_cast<std::size_t>(selection.index); i < set.RecordCount(); ++i)
        if (set.RecordAt(i) == shown) {
            selection.index = static_cast<int>(i);
            return;
        }
}

void RunDataImport(QWidget* parent, MeasurementDocument& doc)
{
    const CMeasRecord* selected = SelectedRecord(doc.Store(), doc.Selection());
    const std::optional<CMeasRecord> shown =
        selected ? std::optional<CMeasRecord>(*selected) : std::nullopt;
    // An import can change much of the store at once: keep the state before it.
    doc.BackUpStore();
    DataImportDialog dialog(doc.Store(), parent);
    dialog.SetCommitHandler([&doc](const CCustomerDB& before,
                                   const std::vector<cmd::Change>& changes) {
        doc.CommitChange(before, changes);
    });
    const cmd::LockedSets locks = docapprovals::Locks(doc);
    dialog.SetLocks(&locks);
    dialog.exec();
    if (shown)
        FollowSelectedRecord(doc.Store(), doc.Selection(), *shown);
    doc.LoadSelectedMeasurement();
}

QSize DataImportDialog::sizeHint() const
{
    // The size of the Windows template (531 x 331 dialog units) in this font.
    return {900, 600};
}
