// JudgmentParametersDialog: layout, the range and order checks of OK, the apply-to-past-data button,
// and the data pages' entry around the dialog.
#include "ui/dialogs/judgmentparametersdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/appsettings.h"
#include "model/measdata.h"
#include "model/number.h"
#include "ui/common/entryrules.h"
#include "ui/common/messages.h"

namespace {

struct BoundField {
    int controlId;
    double maximum;
    double JudgParams::*value;
    int decimals; // as the criterion texts of the table and the report show the bound
};

// In Bound order.
constexpr BoundField kFields[] = {
    {1031, 9.9, &JudgParams::SeikyokuMin, 1},     {1033, 9.9, &JudgParams::SeikyokuMax, 1},
    {1032, 9.9, &JudgParams::JyakutenMin, 1},     {1034, 9.9, &JudgParams::JyakutenMax, 1},
    {1035, 99.9, &JudgParams::LastCurrentMin, 3}, {1036, 99.9, &JudgParams::LastCurrentMax, 3},
};
constexpr double kMinimum = 0.0;

QLabel* smallNote(const QString& text, QWidget* parent, Qt::Alignment align)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(align | Qt::AlignVCenter);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

JudgmentParametersDialog::JudgmentParametersDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("setJudgParam"));
    setWindowTitle(QStringLiteral("判定基準の設定"));

    struct Row {
        const char16_t* title;
        Bound lower;
        const char16_t* below;
        const char16_t* above;
    };
    static const Row kRows[] = {{u"成極比：", SeikyokuMin, u"不良", u"良"},
                                {u"弱点比：", JyakutenMin, u"良", u"不良"},
                                {u"最終値：", LastCurrentMin, u"良", u"不良"}};
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    int gridRow = 0;
    for (const Row& row : kRows) {
        for (int k = 0; k < 2; ++k) {
            const auto b = static_cast<std::size_t>(row.lower + k);
            auto* edit = new QLineEdit(this);
            edit->setObjectName(QStringLiteral("edit%1").arg(kFields[b].controlId));
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                                12);
            m_edits[b] = edit;
        }
        auto* title = new QLabel(QString::fromUtf16(row.title), this);
        title->setBuddy(m_edits[static_cast<std::size_t>(row.lower)]);
        grid->addWidget(title, gridRow, 0);
        grid->addWidget(m_edits[static_cast<std::size_t>(row.lower)], gridRow, 1);
        grid->addWidget(new QLabel(QStringLiteral("～"), this), gridRow, 2, Qt::AlignCenter);
        grid->addWidget(m_edits[static_cast<std::size_t>(row.lower + 1)], gridRow, 3);
        // What the ranges mean: below the lower bound, between the bounds, above the upper.
        grid->addWidget(smallNote(QString::fromUtf16(row.below), this, Qt::AlignLeft), gridRow + 1,
                        1);
        grid->addWidget(smallNote(QStringLiteral("要注意"), this, Qt::AlignCenter), gridRow + 1, 2);
        grid->addWidget(smallNote(QString::fromUtf16(row.above), this, Qt::AlignRight), gridRow + 1,
                        3);
        grid->setRowMinimumHeight(gridRow + 2, 8);
        gridRow += 3;
    }
    grid->setColumnMinimumWidth(2, 48);

    m_showSeikyoku = new QCheckBox(QStringLiteral("成極比"), this);
    m_showSeikyoku->setObjectName(QStringLiteral("check1045"));
    m_showJyakuten = new QCheckBox(QStringLiteral("弱点比"), this);
    m_showJyakuten->setObjectName(QStringLiteral("check1046"));
    m_applyPast = new QPushButton(QStringLiteral("過去データにも適応する"), this);
    m_applyPast->setObjectName(QStringLiteral("button1047"));
    m_applyPast->setAutoDefault(false);
    connect(m_applyPast, &QPushButton::clicked, this, [this] { OnApplyToPast(); });

    auto* group = new QGroupBox(QStringLiteral("判定結果を表示する/しない"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setSpacing(6);
    auto* checks = new QHBoxLayout;
    checks->setSpacing(24);
    checks->addWidget(m_showSeikyoku);
    checks->addWidget(m_showJyakuten);
    checks->addStretch(1);
    groupLayout->addLayout(checks);
    groupLayout->addWidget(new QLabel(
        QStringLiteral("チェックを外すと判定結果の表示を行いません\n空白表示になります"), group));
    groupLayout->addSpacing(4);
    groupLayout->addWidget(new QLabel(
        QStringLiteral(
            "ここでの設定は次回より取り込んだ計測データに適応されます，過去データには適応"
            "されません\n過去データにも適応させたい場合は下の「過去データにも適応」を押"
            "してください"),
        group));
    auto* pastRow = new QHBoxLayout;
    pastRow->addStretch(1);
    pastRow->addWidget(m_applyPast);
    groupLayout->addLayout(pastRow);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &JudgmentParametersDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addSpacing(8);
    top->addLayout(grid);
    top->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addLayout(top);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

JudgmentParametersDialog::~JudgmentParametersDialog() = default;

void JudgmentParametersDialog::OnInitDialog()
{
    m_initialised = true;
    for (std::size_t b = 0; b < m_edits.size(); ++b) {
        m_shownTexts[b] =
            QString::fromStdString(entry::decimalFieldText(m_params.*kFields[b].value));
        m_edits[b]->setText(m_shownTexts[b]);
    }
    m_showSeikyoku->setChecked(m_params.ShowSeikyoku != 0);
    m_showJyakuten->setChecked(m_params.ShowJyakuten != 0);
}

std::optional<JudgParams> JudgmentParametersDialog::readFields()
{
    JudgParams p = m_params;
    for (std::size_t b = 0; b < m_edits.size(); ++b) {
        const BoundField& f = kFields[b];
        const QString text = m_edits[b]->text();
        const entry::NumberRange range{kMinimum, f.maximum, false, f.decimals};
        // A field the user left alone keeps its value exactly, whatever digits it showed.
        std::optional<double> v = text == m_shownTexts[b]
                                      ? std::optional<double>(m_params.*f.value)
                                      : entry::readInRange(range, text.toStdString());
        if (!v || *v < kMinimum || *v > f.maximum) {
            ui::messages().error(
                this, QString::fromStdString(entry::refusalMessage(range, text.toStdString())));
            m_edits[b]->setFocus();
            m_edits[b]->selectAll();
            return std::nullopt;
        }
        p.*f.value = *v;
    }
    p.ShowSeikyoku = m_showSeikyoku->isChecked() ? 1 : 0;
    p.ShowJyakuten = m_showJyakuten->isChecked() ? 1 : 0;
    return p;
}

bool JudgmentParametersDialog::OnOK()
{
    const std::optional<JudgParams> p = readFields();
    if (!p)
        return false;
    switch (CheckJudgOrder(*p)) {
    case JudgOrderError::Seikyoku:
        ui::messages().error(this, QStringLiteral("成極比の入力範囲に誤りがあります"));
        return false;
    case JudgOrderError::Jyakuten:
        ui::messages().error(this, QStringLiteral("弱点比の入力範囲に誤りがあります"));
        return false;
    case JudgOrderError::LastCurrent:
        ui::messages().error(this, QStringLiteral("最終値の入力範囲に誤りがあります"));
        return false;
    case JudgOrderError::None: break;
    }
    m_params = *p;
    accept();
    return true;
}

bool JudgmentParametersDialog::OnApplyToPast()
{
    const std::optional<JudgParams> p = readFields();
    if (!p)
        return false;
    if (ui::messages().questionYesNo(
            this,
            QStringLiteral("過去データに適応します\r\n適応後「キャンセル」しても元には戻"
                           "せません\r\nよろしいですか"),
            MessageInterface::Answer::No) != MessageInterface::Answer::Yes)
        return false;
    if (m_applyToPast && m_applyToPast(p->ShowSeikyoku, p->ShowJyakuten))
        m_pastChanged = true;
    return true;
}

int JudgmentParametersDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void JudgmentParametersDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}



JudgParamOutcome EditJudgParam(QWidget* parent, const CMeasData& set, CAppSettings& settings,
                               const JudgParamTarget& target)
{
    JudgParamOutcome outcome;
    JudgmentParametersDialog dialog(parent);
    dialog.SetParams(JudgParamsOf(set));
    dialog.SetApplyToPast(target.applyDisplayToRecords);
    outcome.accepted = dialog.exec() == QDialog::Accepted;
    outcome.change.recordFlags = dialog.PastDataChanged();
    if (!outcome.accepted)
        return outcome;
    const JudgParamChange change = target.applyCriteria(dialog.Params());
    outcome.change.limits = change.limits;
    outcome.change.setFlags = change.setFlags;
    StoreDefaultCriteria(settings.DefCnd, dialog.Params());
    return outcome;
}
