// SettingsDialog: the cross of margin fields with their spin arrows, the print-judgments
// switch, and the range checks of OK.
#include "ui/dialogs/settingsdialog.h"
#include "ui/common/storemessagebox.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "model/cp932text.h"
#include "settings/appsettings.h"
#include "ui/common/entryrules.h"
#include "ui/common/messages.h"

namespace {

// An integer field with an attached spin: the arrows and the arrow keys step within the
// range, while the text itself accepts anything, so that OK can tell the user what is wrong
// with a typed value instead of the field silently changing it.
class MarginSpinEdit : public QAbstractSpinBox {
public:
    MarginSpinEdit(int minimum, int maximum, QWidget* parent)
        : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum)
    {
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
        setKeyboardTracking(true);
        setAccelerated(true);
    }

    QLineEdit* editor() const { return lineEdit(); }

    void stepBy(int steps) override
    {
        // A text that is not a number steps from the lower end, as a spin attached to an
        // edit does.
        const int now = entry::parseInteger(text().toStdString()).value_or(m_min);
        const int next = std::clamp(std::clamp(now, m_min, m_max) + steps, m_min, m_max);
        lineEdit()->setText(QString::number(next));
        lineEdit()->selectAll();
    }

    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
    void fixup(QString&) const override {}

    QSize sizeHint() const override
    {
        // Wide enough for "100" and the arrows.
        QSize s = QAbstractSpinBox::sizeHint();
        s.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 28);
        return s;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    StepEnabled stepEnabled() const override
    {
        const auto v = entry::parseInteger(text().toStdString());
        if (!v)
            return StepUpEnabled | StepDownEnabled;
        StepEnabled e = StepNone;
        if (*v < m_max)
            e |= StepUpEnabled;
        if (*v > m_min)
            e |= StepDownEnabled;
        return e;
    }

private:
    int m_min;
    int m_max;
};

MarginSpinEdit* spinAt(const std::array<QAbstractSpinBox*, 4>& spins, int side)
{
    return static_cast<MarginSpinEdit*>(spins[static_cast<std::size_t>(side)]);
}

} // namespace

PrintBlankSettings PrintBlankSettings::From(const CAppSettings& s)
{
    return {s.PrtBlankTop, s.PrtBlankLeft, s.PrtBlankBottom, s.PrtBlankRight, s.PrtJudgOut};
}

void PrintBlankSettings::StoreInto(CAppSettings& s) const
{
    s.PrtBlankTop = top;
    s.PrtBlankLeft = left;
    s.PrtBlankBottom = bottom;
    s.PrtBlankRight = right;
    s.PrtJudgOut = judgOut;
}

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("setPrintBlank"));
    setWindowTitle(QStringLiteral("環境設定"));

    // Control ids of the edits, in Side order.
    static constexpr int kEditIds[] = {1016, 1018, 1017, 1019};
    static const char16_t* const kLabels[] = {u"上", u"左", u"下", u"右"};
    auto* cross = new QGridLayout;
    cross->setHorizontalSpacing(18);
    cross->setVerticalSpacing(8);
    for (int side = Top; side <= Right; ++side) {
        auto* spin = new MarginSpinEdit(kMinMargin, kMaxMargin, this);
        spin->setObjectName(QStringLiteral("edit%1").arg(kEditIds[side]));
        m_spins[static_cast<std::size_t>(side)] = spin;
        auto* field = new QHBoxLayout;
        field->setSpacing(5);
        auto* label = new QLabel(QString::fromUtf16(kLabels[side]), this);
        label->setBuddy(spin);
        field->addWidget(label);
        field->addWidget(spin);
        field->addWidget(new QLabel(QStringLiteral("mm"), this));
        static constexpr int kRow[] = {0, 1, 2, 1};
        static constexpr int kColumn[] = {1, 0, 1, 2};
        cross->addLayout(field, kRow[side], kColumn[side], Qt::AlignCenter);
    }

    m_judgOut = new QCheckBox(QStringLiteral("成極比・弱点比・最終値の判定結果を印刷する"), this);
    m_judgOut->setObjectName(QStringLiteral("check1034"));

    // The company printed on the cover of the job report.
    auto* company = new QGroupBox(QStringLiteral("試験成績書の会社情報"), this);
    auto* form = new QFormLayout(company);
    static const char16_t* const kCompanyLabels[] = {u"会社名(&N):", u"住所(&A):",
                                                     u"電話番号(&T):", u"ロゴ画像(&L):"};
    for (int i = CompanyName; i <= CompanyLogo; ++i) {
        auto* edit = new QLineEdit(company);
        edit->setObjectName(QStringLiteral("company%1").arg(i));
        edit->setMinimumWidth(320);
        m_companyEdits[static_cast<std::size_t>(i)] = edit;
        if (i != CompanyLogo) {
            form->addRow(QString::fromUtf16(kCompanyLabels[i]), edit);
            continue;
        }
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        auto* browse = new QPushButton(QStringLiteral("参照(&B)..."), company);
        connect(browse, &QPushButton::clicked, this, &SettingsDialog::chooseLogo);
        row->addWidget(browse);
        auto* label = new QLabel(QString::fromUtf16(kCompanyLabels[i]), company);
        label->setBuddy(edit);
        form->addRow(label, row);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(new QLabel(QStringLiteral("印刷用紙の余白設定："), this));
    auto* indented = new QHBoxLayout;
    indented->addSpacing(12);
    indented->addLayout(cross);
    indented->addStretch(1);
    layout->addLayout(indented);
    layout->addSpacing(4);
    layout->addWidget(m_judgOut);
    layout->addSpacing(4);
    layout->addWidget(company);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

SettingsDialog::~SettingsDialog() = default;

QLineEdit* SettingsDialog::MarginEdit(Side side) const
{
    return spinAt(m_spins, side)->editor();
}

QAbstractSpinBox* SettingsDialog::MarginSpin(Side side) const
{
    return m_spins[static_cast<std::size_t>(side)];
}

QLineEdit* SettingsDialog::CompanyEdit(CompanyField field) const
{
    return m_companyEdits[static_cast<std::size_t>(field)];
}

void SettingsDialog::chooseLogo()
{
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("ロゴ画像"), CompanyEdit(CompanyLogo)->text(),
        QStringLiteral("画像 (*.png *.jpg *.jpeg *.bmp);;すべてのファイル (*)"));
    if (!file.isEmpty())
        CompanyEdit(CompanyLogo)->setText(file);
}

void SettingsDialog::OnInitDialog()
{
    m_initialised = true;
    const int values[] = {m_settings.top, m_settings.left, m_settings.bottom, m_settings.right};
    for (int side = Top; side <= Right; ++side)
        MarginEdit(static_cast<Side>(side))->setText(QString::number(values[side]));
    m_judgOut->setChecked(m_settings.judgOut != 0);
    const std::string* texts[] = {&m_company.name, &m_company.address, &m_company.phone,
                                  &m_company.logoPath};
    for (int i = CompanyName; i <= CompanyLogo; ++i)
        CompanyEdit(static_cast<CompanyField>(i))
            ->setText(QString::fromStdString(cp932::toUtf8(*texts[i])));
}

bool SettingsDialog::OnOK()
{
    int values[4] = {};
    for (int side = Top; side <= Right; ++side) {
        QLineEdit* edit = MarginEdit(static_cast<Side>(side));
        const auto v = entry::parseInteger(edit->text().toStdString());
        if (!v || *v < kMinMargin || *v > kMaxMargin) {
            ui::messages().error(this, QStringLiteral("%1 から %2 までの整数を入力してください。")
                                           .arg(kMinMargin)
                                           .arg(kMaxMargin));
            MarginSpin(static_cast<Side>(side))->setFocus();
            edit->selectAll();
            return false;
        }
        values[side] = *v;
    }
    // The INI file keeps CP932: a character without a CP932 form cannot be stored.
    CompanySettings company;
    std::string* texts[] = {&company.name, &company.address, &company.phone, &company.logoPath};
    for (int i = CompanyName; i <= CompanyLogo; ++i) {
        QLineEdit* edit = CompanyEdit(static_cast<CompanyField>(i));
        const auto stored = cp932::fromUtf8(edit->text().trimmed().toStdString());
        if (!stored) {
            ui::messages().error(this, QStringLiteral("使用できない文字が含まれています。"));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        *texts[i] = *stored;
    }
    m_company = company;
    m_settings.top = values[Top];
    m_settings.left = values[Left];
    m_settings.bottom = values[Bottom];
    m_settings.right = values[Right];
    m_settings.judgOut = m_judgOut->isChecked() ? 1 : 0;
    accept();
    return true;
}

int SettingsDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

bool RunEnvSettings(QWidget* parent, CAppSettings& settings)
{
    SettingsDialog dialog(parent);
    dialog.SetSettings(PrintBlankSettings::From(settings));
    const CompanySettings company = ReadCompanySettings(settings.SystemIniPath());
    dialog.SetCompany(company);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.Settings().StoreInto(settings);
    if (!(dialog.Company() == company) &&
        !WriteCompanySettings(settings.SystemIniPath(), dialog.Company()))
        ui::ShowSettingsWriteFailure(parent, settings.SystemIniPath());
    // Written at once rather than only at a normal exit, so a crash later in the run does not
    // lose what the user just confirmed. The run mark is not part of this save.
    if (!settings.SaveSettings())
        ui::ShowSettingsWriteFailure(parent, settings.IniPath());
    return true;
}
