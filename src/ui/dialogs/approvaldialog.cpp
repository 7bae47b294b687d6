// The approval dialogs and the commands that approve a set and withdraw an approval.
#include "ui/dialogs/approvaldialog.h"

#include <QDate>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "model/cp932text.h"
#include "settings/appsettings.h"
#include "ui/common/approvaltext.h"
#include "ui/common/messages.h"
#include "ui/common/uitext.h"
#include "ui/document/documentapprovals.h"
#include "ui/document/measurementdocument.h"

namespace {

constexpr const char* kDateFormat = "yyyy/MM/dd";

QPushButton* addButtons(QDialog* dialog, QVBoxLayout* layout)
{
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return ok;
}

QLabel* wrapped(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    // Wide enough for the longest line (the set's names) up to a limit; longer lines wrap.
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    label->setMinimumWidth(std::clamp(widest + 8, 360, 640));
    return label;
}

// The user and workstation of every journal entry of this store, so both agree.
ws::Actor actorOf(MeasurementDocument& doc)
{
    return doc.Journal().GetActor();
}

// Tells why a change of the approvals did not happen; false then.
bool shown(QWidget* parent, const docapprovals::Result& r)
{
    if (!r.error.isEmpty()) {
        ui::messages().error(parent, QStringLiteral("承認を記録できません。\n%1").arg(r.error));
        return false;
    }
    switch (r.status) {
    case ws::ApprovalStatus::Done: return true;
    case ws::ApprovalStatus::NotFound:
        ui::messages().error(parent, QStringLiteral("承認する測定データが保存されていません。"
                                                    "変更を確定してから承認してください。"));
        return false;
    case ws::ApprovalStatus::AlreadyApproved:
        ui::messages().information(parent,
                                   QStringLiteral("この測定データは既に承認されています。"));
        return false;
    case ws::ApprovalStatus::NotApproved:
        ui::messages().information(parent, QStringLiteral("この測定データは承認されていません。"));
        return false;
    case ws::ApprovalStatus::NameRequired:
        ui::messages().error(parent, QStringLiteral("承認者の名前を入力してください。"));
        return false;
    case ws::ApprovalStatus::DateRequired:
        ui::messages().error(parent, QStringLiteral("承認日を入力してください。"));
        return false;
    case ws::ApprovalStatus::ReasonRequired:
        ui::messages().error(parent, QStringLiteral("取り消しの理由を入力してください。"));
        return false;
    }
    return false;
}

} // namespace

ApprovalDialog::ApprovalDialog(const QString& setWords, const QString& approver, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("approvalDialog"));
    setWindowTitle(QStringLiteral("承認"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(
        wrapped(QStringLiteral("【 %1 】を承認します。\n承認を取り消すまで、"
                               "この測定データの測定値・測定条件・名称は変更できません。")
                    .arg(setWords),
                this));
    auto* form = new QFormLayout;
    m_approver = new QLineEdit(approver, this);
    m_approver->setObjectName(QStringLiteral("approverEdit"));
    m_date = new QDateEdit(QDate::currentDate(), this);
    m_date->setObjectName(QStringLiteral("approvalDateEdit"));
    m_date->setDisplayFormat(QString::fromLatin1(kDateFormat));
    m_date->setCalendarPopup(true);
    form->addRow(QStringLiteral("承認者(&N)："), m_approver);
    form->addRow(QStringLiteral("承認日(&D)："), m_date);
    layout->addLayout(form);
    m_ok = addButtons(this, layout);
    auto update = [this] { m_ok->setEnabled(!Approver().isEmpty()); };
    connect(m_approver, &QLineEdit::textChanged, this, update);
    update();
}

QString ApprovalDialog::Approver() const
{
    return m_approver->text().trimmed();
}

QString ApprovalDialog::Date() const
{
    return m_date->date().toString(QString::fromLatin1(kDateFormat));
}

WithdrawApprovalDialog::WithdrawApprovalDialog(const QString& setWords, const QString& approval,
                                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("withdrawApprovalDialog"));
    setWindowTitle(QStringLiteral("承認の取り消し"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(wrapped(
        QStringLiteral("【 %1 】の承認（%2）を取り消します。\n取り消しの理由を入力してください。")
            .arg(setWords, approval),
        this));
    auto* form = new QFormLayout;
    m_reason = new QLineEdit(this);
    m_reason->setObjectName(QStringLiteral("reasonEdit"));
    form->addRow(QStringLiteral("理由(&R)："), m_reason);
    layout->addLayout(form);
    m_ok = addButtons(this, layout);
    auto update = [this] { m_ok->setEnabled(!Reason().isEmpty()); };
    connect(m_reason, &QLineEdit::textChanged, this, update);
    update();
}

QString WithdrawApprovalDialog::Reason() const
{
    return m_reason->text().trimmed();
}

namespace approvalui {

bool IsApproved(const MeasurementDocument& doc, const cmd::TreePath& set)
{
    return docapprovals::Find(doc, set).has_value();
}

bool RunApprove(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                const cmd::TreePath& set)
{
    ApprovalDialog dialog(ui::SetWords(set), ui::toQ(settings.ApproverName), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const std::string approver = dialog.Approver().toStdString();
    const docapprovals::Result r =
        docapprovals::Approve(doc, set, approver, dialog.Date().toStdString(), actorOf(doc));
    if (!shown(parent, r))
        return false;
    // The INI holds CP932: a name without that form is used but not remembered.
    if (auto name = cp932::fromUtf8(approver))
        settings.ApproverName = *name;
    return true;
}

bool RunWithdraw(QWidget* parent, MeasurementDocument& doc, const cmd::TreePath& set)
{
    const std::optional<ws::Approval> approval = docapprovals::Find(doc, set);
    if (!approval)
        return shown(parent, {ws::ApprovalStatus::NotApproved, {}});
    WithdrawApprovalDialog dialog(ui::SetWords(set),
                                  QString::fromStdString(ws::ApprovalText(*approval)), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return shown(parent,
                 docapprovals::Withdraw(doc, set, dialog.Reason().toStdString(), actorOf(doc)));
}

QString PrintLine(const MeasurementDocument& doc, const CAppSettings& settings,
                  const cmd::TreePath& set)
{
    if (settings.PrtApproval == 0)
        return {};
    const std::optional<ws::Approval> approval = docapprovals::Find(doc, set);
    if (!approval)
        return {};
    return QStringLiteral("承認：%1　%2")
        .arg(QString::fromStdString(approval->approver), QString::fromStdString(approval->date));
}

} // namespace approvalui
