// The ケーブル台帳 dialog and the command that opens it for a cable of the document's store.
#include "ui/dialogs/cableregisterdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <ctime>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/number.h"
#include "ui/common/entryrules.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "ui/document/measurementdocument.h"
#include "workspace/registercsv.h"
#include "workspace/workspace.h"

namespace {

namespace lim = ws::registerlimits;

const entry::NumberRange kVoltage{0, lim::kVoltageMax, true};
const entry::NumberRange kSection{0, lim::kSectionMax, true};
const entry::NumberRange kLength{0, lim::kLengthMax, true};
const entry::NumberRange kYear{lim::kYearMin, lim::kYearMax, true, 0};
const entry::NumberRange kInterval{lim::kIntervalMin, lim::kIntervalMax, true, 0};

QString utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

QString number(const std::optional<double>& v)
{
    return v ? utf8(ws::RegisterNumberText(*v)) : QString();
}

QString whole(const std::optional<int>& v)
{
    return v ? QString::number(*v) : QString();
}

QString cableWords(const std::string& customer, const std::string& cable)
{
    return ui::toQ(customer) + QStringLiteral("－") + ui::toQ(cable);
}

} // namespace

CableRegisterDialog::CableRegisterDialog(ws::CableRegister& reg, const CCustomerDB& tree,
                                         const std::string& customer, const std::string& cable,
                                         std::optional<int> globalInterval, QWidget* parent)
    : QDialog(parent), m_reg(reg), m_tree(tree), m_customer(customer), m_cable(cable),
      m_global(globalInterval)
{
    setObjectName(QStringLiteral("cableRegisterDialog"));
    setWindowTitle(QStringLiteral("ケーブル台帳"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    auto* title = new QLabel(QStringLiteral("【 %1 】").arg(cableWords(customer, cable)), this);
    title->setObjectName(QStringLiteral("registerTitle"));
    layout->addWidget(title);

    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);
    auto* form = new QFormLayout;
    columns->addLayout(form, 3);

    m_location = addLine("location");
    form->addRow(QStringLiteral("設置場所/系統(&L)："), m_location);
    m_voltage = addLine("voltage");
    form->addRow(QStringLiteral("電圧階級 kV(&V)："), m_voltage);
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("cableType"));
    m_type->setEditable(true);
    m_type->setInsertPolicy(QComboBox::NoInsert);
    m_type->addItem(QString());
    for (const std::string& t : m_reg.CableTypes())
        m_type->addItem(utf8(t));
    form->addRow(QStringLiteral("ケーブル種類(&K)："), m_type);

    // Cross-section and length with the condition block's values as proposals.
    const ws::RegisterProposal proposal = ws::ProposeFromConditions(tree, customer, cable);
    auto proposed = [&](QLineEdit*& edit, QLabel*& label, QPushButton*& accept, const char* name,
                        const std::optional<double>& value, const QString& key,
                        const QString& title) {
        edit = addLine(name);
        // Room for a number beside the proposal.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000.000")) +
                              16);
        label = new QLabel(this);
        accept = new QPushButton(QStringLiteral("候補を採用(&%1)").arg(key), this);
        accept->setObjectName(QString::fromLatin1(name) + QStringLiteral("Accept"));
        accept->setAutoDefault(false);
        if (value) {
            label->setText(QStringLiteral("候補 %1（%2 の測定条件）")
                               .arg(number(value), ui::toQ(proposal.set)));
            QLineEdit* target = edit;
            const QString text = number(value);
            connect(accept, &QPushButton::clicked, this, [target, text] {
                target->setText(text);
                target->setFocus();
            });
        }
        // Offered only while the field is empty.
        auto update = [edit, label, accept, has = value.has_value()] {
            const bool show = has && edit->text().trimmed().isEmpty();
            label->setVisible(show);
            accept->setVisible(show);
        };
        connect(edit, &QLineEdit::textChanged, this, update);
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(label);
        row->addWidget(accept);
        auto* rowLabel = new QLabel(title, this);
        rowLabel->setBuddy(edit);
        form->addRow(rowLabel, row);
        return std::function<void()>(update);
    };
    const auto updateSection =
        proposed(m_section, m_sectionProposal, m_acceptSection, "section", proposal.crossSection,
                 QStringLiteral("1"), QStringLiteral("導体断面 sq(&S)："));
    const auto updateLength =
        proposed(m_length, m_lengthProposal, m_acceptLength, "length", proposal.lengthM,
                 QStringLiteral("2"), QStringLiteral("亘長 m(&M)："));
    m_year = addLine("year");
    form->addRow(QStringLiteral("布設年(&Y)："), m_year);
    m_importance = new QComboBox(this);
    m_importance->setObjectName(QStringLiteral("importance"));
    m_importance->addItems({QString(), QStringLiteral("A"), QStringLiteral("B"),
                            QStringLiteral("C")});
    form->addRow(QStringLiteral("重要度(&J)："), m_importance);
    m_interval = addLine("interval");
    m_intervalNote = new QLabel(this);
    m_intervalNote->setObjectName(QStringLiteral("intervalNote"));
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_interval, 1);
    intervalRow->addWidget(m_intervalNote);
    auto* intervalLabel = new QLabel(QStringLiteral("試験周期 月(&T)："), this);
    intervalLabel->setBuddy(m_interval);
    form->addRow(intervalLabel, intervalRow);
    m_person = addLine("person");
    form->addRow(QStringLiteral("担当(&P)："), m_person);
    m_remarks = addLine("remarks");
    form->addRow(QStringLiteral("備考(&R)："), m_remarks);

    auto* customerBox =
        new QGroupBox(QStringLiteral("需要家「%1」の既定").arg(ui::toQ(customer)), this);
    auto* customerForm = new QFormLayout(customerBox);
    m_customerInterval = addLine("customerInterval");
    customerForm->addRow(QStringLiteral("試験周期 月(&U)："), m_customerInterval);
    form->addRow(customerBox);

    // The right column: entries without a cable, and the register's CSV.
    auto* side = new QVBoxLayout;
    columns->addLayout(side, 2);
    auto* orphanLabel = new QLabel(QStringLiteral("ケーブルが見つからない台帳(&O)："), this);
    m_orphans = new QListWidget(this);
    m_orphans->setObjectName(QStringLiteral("orphanList"));
    orphanLabel->setBuddy(m_orphans);
    m_removeOrphan = new QPushButton(QStringLiteral("台帳から削除(&D)"), this);
    m_removeOrphan->setObjectName(QStringLiteral("removeOrphan"));
    m_removeOrphan->setAutoDefault(false);
    side->addWidget(orphanLabel);
    side->addWidget(m_orphans, 1);
    side->addWidget(m_removeOrphan);
    auto* csvRow = new QHBoxLayout;
    m_import = new QPushButton(QStringLiteral("CSV 取り込み(&I)..."), this);
    m_import->setObjectName(QStringLiteral("registerImport"));
    m_export = new QPushButton(QStringLiteral("CSV 書き出し(&E)..."), this);
    m_export->setObjectName(QStringLiteral("registerExport"));
    m_import->setAutoDefault(false);
    m_export->setAutoDefault(false);
    csvRow->addWidget(m_import);
    csvRow->addWidget(m_export);
    side->addLayout(csvRow);
    connect(m_removeOrphan, &QPushButton::clicked, this, &CableRegisterDialog::OnRemoveOrphan);
    connect(m_import, &QPushButton::clicked, this, &CableRegisterDialog::OnImport);
    connect(m_export, &QPushButton::clicked, this, &CableRegisterDialog::OnExport);
    connect(m_orphans, &QListWidget::currentRowChanged, this,
            [this](int row) { m_removeOrphan->setEnabled(row >= 0); });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    ws::CableRegisterEntry current;
    if (auto found = m_reg.Find(customer, cable))
        current = *found;
    fill(current);
    m_customerInterval->setText(whole(m_reg.CustomerInterval(customer)));
    connect(m_interval, &QLineEdit::textChanged, this, [this] { updateIntervalNote(); });
    connect(m_customerInterval, &QLineEdit::textChanged, this, [this] { updateIntervalNote(); });
    updateSection();
    updateLength();
    updateIntervalNote();
    refreshOrphans();
    m_location->setFocus();
}

QLineEdit* CableRegisterDialog::addLine(const char* name)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLineEdit* CableRegisterDialog::Field(const char* name) const
{
    return findChild<QLineEdit*>(QString::fromLatin1(name));
}

void CableRegisterDialog::fill(const ws::CableRegisterEntry& e)
{
    m_location->setText(utf8(e.location));
    m_voltage->setText(number(e.voltageKv));
    m_type->setCurrentText(utf8(e.cableType));
    m_section->setText(number(e.crossSection));
    m_length->setText(number(e.lengthM));
    m_year->setText(whole(e.installYear));
    m_importance->setCurrentIndex(std::max(0, m_importance->findText(utf8(e.importance))));
    m_interval->setText(whole(e.intervalMonths));
    m_person->setText(utf8(e.person));
    m_remarks->setText(utf8(e.remarks));
}

QString CableRegisterDialog::IntervalNote() const
{
    if (!m_interval->text().trimmed().isEmpty())
        return {};
    const std::optional<double> customer =
        entry::readInRange(kInterval, m_customerInterval->text().toStdString());
    if (customer && *customer != UNSET_VALUE)
        return QStringLiteral("空欄：需要家の既定 %1 か月").arg(static_cast<int>(*customer));
    if (m_global)
        return QStringLiteral("空欄：全体の既定 %1 か月").arg(*m_global);
    return QStringLiteral("空欄：全体の既定");
}

void CableRegisterDialog::updateIntervalNote()
{
    m_intervalNote->setText(IntervalNote());
}

void CableRegisterDialog::refreshOrphans()
{
    m_orphanEntries = m_reg.Orphans(m_tree);
    m_orphans->clear();
    for (const ws::CableRegisterEntry& e : m_orphanEntries)
        m_orphans->addItem(cableWords(e.customer, e.cable));
    m_removeOrphan->setEnabled(false);
}

std::optional<ws::CableRegisterEntry> CableRegisterDialog::ReadEntry()
{
    ws::CableRegisterEntry e;
    e.customer = m_customer;
    e.cable = m_cable;
    bool ok = true;
    auto read = [&](QLineEdit* edit, const entry::NumberRange& range, const QString& label)
        -> std::optional<double> {
        if (!ok)
            return std::nullopt;
        const std::string text = edit->text().trimmed().toStdString();
        const std::optional<double> v = entry::readInRange(range, text);
        if (!v) {
            ok = false;
            ui::messages().error(
                this, label + QStringLiteral("：") + utf8(entry::refusalMessage(range, text)));
            edit->setFocus();
            edit->selectAll();
            return std::nullopt;
        }
        return *v == UNSET_VALUE ? std::nullopt : v;
    };
    auto asInt = [](const std::optional<double>& v) {
        return v ? std::optional<int>(static_cast<int>(std::lround(*v))) : std::nullopt;
    };
    e.location = m_location->text().trimmed().toStdString();
    e.voltageKv = read(m_voltage, kVoltage, QStringLiteral("電圧階級"));
    e.cableType = m_type->currentText().trimmed().toStdString();
    e.crossSection = read(m_section, kSection, QStringLiteral("導体断面"));
    e.lengthM = read(m_length, kLength, QStringLiteral("亘長"));
    e.installYear = asInt(read(m_year, kYear, QStringLiteral("布設年")));
    e.importance = m_importance->currentText().toStdString();
    e.intervalMonths = asInt(read(m_interval, kInterval, QStringLiteral("試験周期")));
    e.person = m_person->text().trimmed().toStdString();
    e.remarks = m_remarks->text().trimmed().toStdString();
    if (!ok)
        return std::nullopt;
    return e;
}

bool CableRegisterDialog::ReadCustomerInterval(std::optional<int>& months)
{
    const std::string text = m_customerInterval->text().trimmed().toStdString();
    const std::optional<double> v = entry::readInRange(kInterval, text);
    if (!v) {
        ui::messages().error(this, QStringLiteral("需要家の試験周期：") +
                                       utf8(entry::refusalMessage(kInterval, text)));
        m_customerInterval->setFocus();
        m_customerInterval->selectAll();
        return false;
    }
    months = *v == UNSET_VALUE ? std::nullopt : std::optional<int>(static_cast<int>(*v));
    return true;
}

bool CableRegisterDialog::Save(const ws::Actor& actor, int64_t now)
{
    const std::optional<ws::CableRegisterEntry> e = ReadEntry();
    std::optional<int> customerMonths;
    if (!e || !ReadCustomerInterval(customerMonths))
        return false;
    try {
        m_reg.EditWithCustomer(*e, customerMonths, actor, now);
    } catch (const std::exception& ex) {
        ui::messages().error(this, QStringLiteral("ケーブル台帳を保存できません。\n%1")
                                       .arg(QString::fromLocal8Bit(ex.what())));
        return false;
    }
    return true;
}

void CableRegisterDialog::done(int result)
{
    if (result == QDialog::Accepted && !Save(m_actor, std::time(nullptr)))
        return;
    QDialog::done(result);
}

void CableRegisterDialog::OnRemoveOrphan()
{
    const int row = m_orphans->currentRow();
    if (row < 0 || row >= static_cast<int>(m_orphanEntries.size()))
        return;
    const ws::CableRegisterEntry& e = m_orphanEntries[static_cast<std::size_t>(row)];
    if (ui::messages().questionYesNo(
            this,
            QStringLiteral("「%1」の台帳を削除しますか？\n（削除した内容は履歴に残ります）")
                .arg(cableWords(e.customer, e.cable)),
            MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
        return;
    try {
        m_reg.EditRemove(e.customer, e.cable, m_actor, std::time(nullptr));
    } catch (const std::exception& ex) {
        ui::messages().error(this, QStringLiteral("ケーブル台帳を変更できません。\n%1")
                                       .arg(QString::fromLocal8Bit(ex.what())));
    }
    refreshOrphans();
}

void CableRegisterDialog::OnImport()
{
    const QString path = ui::messages().openFileName(
        this, QStringLiteral("ケーブル台帳の取り込み"), m_folder,
        QStringLiteral("CSV ファイル (*.csv *.CSV);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui::messages().error(this, QStringLiteral("ファイルを開けません。\n%1").arg(path));
        return;
    }
    const QByteArray bytes = file.readAll();
    ws::RegisterImport result;
    try {
        result = ws::ImportRegisterCsv(m_reg, std::string_view(bytes.constData(), bytes.size()),
                                       &m_tree, m_actor, std::time(nullptr));
    } catch (const std::exception& ex) {
        ui::messages().error(this, QStringLiteral("ケーブル台帳を取り込めません。\n%1")
                                       .arg(QString::fromLocal8Bit(ex.what())));
        return;
    }
    if (!result.errors.empty()) {
        QStringList lines;
        const std::size_t shown = std::min<std::size_t>(result.errors.size(), 15);
        for (std::size_t i = 0; i < shown; ++i)
            lines << utf8(ws::RegisterCsvErrorText(result.errors[i]));
        if (result.errors.size() > shown)
            lines << QStringLiteral("ほか %1 件").arg(result.errors.size() - shown);
        ui::messages().error(this, QStringLiteral("取り込めない行があります。何も取り込んでいません。\n\n") +
                                       lines.join(QLatin1Char('\n')));
        return;
    }
    ui::messages().information(
        this, utf8(ws::RegisterImportSummary(result)));
    ws::CableRegisterEntry current;
    if (auto found = m_reg.Find(m_customer, m_cable))
        current = *found;
    fill(current);
    m_customerInterval->setText(whole(m_reg.CustomerInterval(m_customer)));
    refreshOrphans();
}

void CableRegisterDialog::OnExport()
{
    const int encoding = ui::messages().choice(
        this, QStringLiteral("書き出す CSV の文字コードを選んでください。"),
        {QStringLiteral("Shift-JIS"), QStringLiteral("UTF-8 (BOM 付き)"),
         QStringLiteral("キャンセル")});
    if (encoding != 0 && encoding != 1)
        return;
    const QString path = ui::messages().saveFileName(
        this, QStringLiteral("ケーブル台帳の書き出し"),
        m_folder + QStringLiteral("/ケーブル台帳.csv"), QStringLiteral("CSV ファイル (*.csv)"));
    if (path.isEmpty())
        return;
    const std::string content = ws::RegisterCsvContent(
        m_reg.List(), encoding == 0 ? CsvEncoding::Cp932 : CsvEncoding::Utf8Bom);
    const CsvWriteOutcome out = WriteCsvFile(path.toStdString(), content);
    if (!out.ok)
        ui::messages().error(this, ui::toQ(out.message));
}

namespace cableregisterui {

bool EditCableRegister(QWidget* parent, MeasurementDocument& doc, const std::string& customer,
                       const std::string& cable, std::optional<int> globalInterval)
{
    if (doc.IsViewing()) {
        ui::messages().information(parent,
                                   QStringLiteral("読み取り専用で表示中のファイルです。"));
        return false;
    }
    try {
        ws::Workspace workspace;
        const ws::OpenOutcome opened = workspace.Open(doc.DataFilePath(), true);
        if (!opened.usable()) {
            ui::messages().error(parent, QStringLiteral("ケーブル台帳を開けません。\n%1")
                                             .arg(utf8(opened.error)));
            return false;
        }
        ws::CableRegister reg(workspace);
        CableRegisterDialog dialog(reg, doc.Store(), customer, cable, globalInterval, parent);
        dialog.SetActor(doc.Journal().GetActor());
        dialog.SetFolder(QFileInfo(QString::fromStdString(doc.DataFilePath())).absolutePath());
        return dialog.exec() == QDialog::Accepted;
    } catch (const sqlite::Error& e) {
        ui::messages().error(parent, QStringLiteral("ケーブル台帳を開けません。\n%1")
                                         .arg(QString::fromLocal8Bit(e.what())));
        return false;
    }
}

} // namespace cableregisterui
