// NameEntryDialog: layout, the byte limit while typing and the checks of OK.
#include "ui/dialogs/nameentrydialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "ui/common/entryrules.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"

bool ConfirmEmptyName(QWidget* parent, const QString& levelName)
{
    return ui::messages().questionYesNo(
               parent,
               QStringLiteral("%1が入力されていません。\n空の%1でよろしいですか？").arg(levelName),
               MessageInterface::Answer::No) == MessageInterface::Answer::Yes;
}

NameEntryDialog::NameEntryDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("addItem"));
    setWindowTitle(QStringLiteral("新規追加"));

    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("static1032"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edit1031"));
    // Room for a 40-byte name: twenty full-width characters.
    m_edit->setMinimumWidth(m_edit->fontMetrics().horizontalAdvance(QString(21, QChar(0x3042))));
    m_prompt->setBuddy(m_edit);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &NameEntryDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(4);
    layout->addWidget(m_prompt);
    layout->addWidget(m_edit);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_edit, &QLineEdit::textChanged, this, &NameEntryDialog::onTextChanged);
}

NameEntryDialog::~NameEntryDialog() = default;

void NameEntryDialog::OnInitDialog()
{
    m_initialised = true;
    const CAppSettings& s = AppSettings();
    std::string prompt;
    switch (m_kind) {
    case entry::KindCustomer: prompt = s.CustomerLabel(cp932::lit("需要家名称：")); break;
    case entry::KindCable: prompt = s.CableLabel(cp932::lit("ケーブル名称：")); break;
    default: prompt = s.MeasurementLabel(cp932::lit("測定データ名称：")); break;
    }
    m_prompt->setText(ui::toQ(prompt));
    m_limit = entry::nameLimit(m_kind);
    onTextChanged(); // a text set before opening obeys the limit too
    m_edit->setFocus();
}

void NameEntryDialog::onTextChanged()
{
    const std::string text = m_edit->text().toStdString();
    const std::size_t keep = entry::utf8PrefixFitting(text, m_limit);
    if (keep >= text.size())
        return;
    // Setting the shorter text comes back here once and then fits.
    m_edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(keep)));
    m_edit->setFocus();
    m_edit->end(false);
    QApplication::beep();
}

bool NameEntryDialog::OnOK()
{
    const QString text = m_edit->text();
    const std::optional<std::string> name = ui::fromQ(text);
    if (!name) {
        QStringList chars;
        for (const std::string& ch : entry::charsWithoutCp932(text.toStdString()))
            chars << QString::fromStdString(ch);
        ui::messages().error(this, QStringLiteral("保存できない文字が含まれています\n%1")
                                       .arg(chars.join(QStringLiteral("　"))));
        m_edit->setFocus();
        return false;
    }
    if (name->size() > static_cast<std::size_t>(m_limit)) {
        ui::messages().error(this, QStringLiteral("入力は半角 %1 文字までです").arg(m_limit));
        m_edit->setFocus();
        return false;
    }
    if (text.trimmed().isEmpty()) {
        const CAppSettings& s = AppSettings();
        std::string level;
        switch (m_kind) {
        case entry::KindCustomer: level = s.CustomerLabel(cp932::lit("需要家名")); break;
        case entry::KindCable: level = s.CableLabel(cp932::lit("ケーブル名")); break;
        default: level = s.MeasurementLabel(cp932::lit("測定データ名")); break;
        }
        if (!ConfirmEmptyName(this, ui::toQ(level))) {
            m_edit->setFocus();
            return false;
        }
    }
    if (m_tree && entry::siblingExists(*m_tree, m_kind, m_customer, m_cable, *name)) {
        ui::messages().error(this, QStringLiteral("指定の名称は既に存在しています\n") + text);
        m_edit->setFocus();
        return false;
    }
    m_name = *name;
    accept();
    return true;
}

int NameEntryDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void NameEntryDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}
