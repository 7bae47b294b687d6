// JudgmentDisplayDialog: two check boxes in their group, taken back on OK without further checks.
#include "ui/dialogs/judgmentdisplaydialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

JudgmentDisplayDialog::JudgmentDisplayDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("settHanteiDisp"));
    setWindowTitle(QStringLiteral("判定基準の表示/非表示"));

    m_seikyoku = new QCheckBox(QStringLiteral("成極比"), this);
    m_seikyoku->setObjectName(QStringLiteral("check1045"));
    m_jyakuten = new QCheckBox(QStringLiteral("弱点比"), this);
    m_jyakuten->setObjectName(QStringLiteral("check1046"));

    auto* group = new QGroupBox(QStringLiteral("判定結果を表示する/しない"), this);
    auto* groupLayout = new QVBoxLayout(group);
    auto* checks = new QHBoxLayout;
    checks->setSpacing(24);
    checks->addWidget(m_seikyoku);
    checks->addWidget(m_jyakuten);
    checks->addStretch(1);
    groupLayout->addLayout(checks);
    groupLayout->addWidget(new QLabel(
        QStringLiteral("チェックを外すと判定結果の表示を行いません\n空白表示になります"), group));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &JudgmentDisplayDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

JudgmentDisplayDialog::~JudgmentDisplayDialog() = default;

void JudgmentDisplayDialog::SetFlags(int32_t showSeikyoku, int32_t showJyakuten)
{
    m_showSeikyoku = showSeikyoku;
    m_showJyakuten = showJyakuten;
}

void JudgmentDisplayDialog::OnInitDialog()
{
    m_initialised = true;
    m_seikyoku->setChecked(m_showSeikyoku != 0);
    m_jyakuten->setChecked(m_showJyakuten != 0);
}

void JudgmentDisplayDialog::OnOK()
{
    m_showSeikyoku = m_seikyoku->isChecked() ? 1 : 0;
    m_showJyakuten = m_jyakuten->isChecked() ? 1 : 0;
    accept();
}

int JudgmentDisplayDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void JudgmentDisplayDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}
