// FinalValueDialog: layout, the list and box handling of the final value selection, and the
// entry point that applies the result to a record of a set.
#include "ui/dialogs/finalvaluedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/appsettings.h"
#include "ui/dialogs/finalvaluepoints.h"
#include "ui/dialogs/finalvaluelist.h"
#include "ui/common/entryrules.h"
#include "ui/common/messages.h"

namespace {

QPushButton* button(QWidget* parent, const QString& text, const char* name)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* numberBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    // Wide enough for the longest value the box accepts, "99999.999".
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("099999.999")) + 16);
    box->setAlignment(Qt::AlignRight);
    return box;
}

const QString& question()
{
    static const QString text = QStringLiteral(
        "選択データの経過秒を 0 秒とし\r\n以降のデータ経過秒を 0.2 秒毎に加算した値に置き換えます"
        "\r\n選択データ以前の測定経過秒は全て 0 秒に変更します\r\nよろしいですか");
    return text;
}

} // namespace

FinalValueDialog::FinalValueDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("selectLastVal"));
    setWindowTitle(QStringLiteral("最終測定データの選択"));

    m_list = new FinalValueList(this);
    m_list->setObjectName(QStringLiteral("list1024"));
    m_elapsed = numberBox(this, "edit1031");
    m_value = numberBox(this, "edit1039");
    QPushButton* change = button(this, QStringLiteral("変更"), "button1040");
    QPushButton* correct = button(this, QStringLiteral("経過秒の補正"), "button1041");
    QPushButton* setFinal = button(this, QStringLiteral("最終の測定値とする"), "button1026");
    QPushButton* ok = button(this, QStringLiteral("OK"), "buttonOK");
    ok->setDefault(true);
    QPushButton* cancel = button(this, QStringLiteral("キャンセル"), "buttonCancel");
    ok->setMinimumWidth(75);
    cancel->setMinimumWidth(75);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("経過秒："), this));
    row->addWidget(m_elapsed);
    row->addSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("測定値："), this));
    row->addWidget(m_value);
    row->addWidget(change);
    row->addSpacing(6);
    row->addWidget(correct);
    row->addSpacing(6);
    row->addWidget(setFinal);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(m_list, 1);
    layout->addLayout(row);
    // About the window's original 460 × 331 dialog units.
    resize(720, 540);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnSelChange(); });
    connect(change, &QPushButton::clicked, this, [this] { OnChange(); });
    connect(correct, &QPushButton::clicked, this, [this] { OnCorrectElapsed(); });
    connect(setFinal, &QPushButton::clicked, this, [this] { OnSetFinal(); });
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

FinalValueDialog::FinalValueDialog(const CMeasRecord& record, QWidget* parent) : FinalValueDialog(parent)
{
    setData(record.RangeFlag, finalvalue::FinalPointIndex(record), record.Points);
}

FinalValueDialog::~FinalValueDialog() = default;

void FinalValueDialog::setData(int range, int final, const std::vector<CMeasPoint>& points)
{
    m_range = range;
    m_points = points;
    m_final = final >= 0 && final < static_cast<int>(m_points.size()) ? final : -1;
    if (m_initialised)
        OnInitDialog();
}

void FinalValueDialog::OnInitDialog()
{
    m_initialised = true;
    m_list->SetData(m_range, m_final, &m_points);
    m_list->SelectIndex(m_final);
    OnSelChange();
}

int FinalValueDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

void FinalValueDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised)
        OnInitDialog();
    QDialog::showEvent(event);
    // Bring the final point into view once the list has its real size.
    if (const int sel = m_list->SelectedIndex(); sel >= 0)
        m_list->scrollTo(m_list->Model()->index(sel, 0), QAbstractItemView::PositionAtCenter);
}

void FinalValueDialog::showBoxes(double elapsed, double value)
{
    m_shownElapsed = QString::fromStdString(finalvalue::BoxNumberText(elapsed));
    m_shownValue = QString::fromStdString(finalvalue::BoxNumberText(value));
    m_elapsed->setText(m_shownElapsed);
    m_value->setText(m_shownValue);
}

void FinalValueDialog::OnSelChange()
{
    const int sel = m_list->SelectedIndex();
    if (sel < 0 || sel >= static_cast<int>(m_points.size())) {
        showBoxes(0.0, 0.0);
        return;
    }
    const CMeasPoint& p = m_points[static_cast<std::size_t>(sel)];
    showBoxes(p.elapsed, p.value.toDouble());
}

std::optional<FinalValueDialog::BoxValues> FinalValueDialog::validateBoxes()
{
    using namespace finalvalue;
    // A typed number takes no more decimals than the list shows: tenths of a second, and the
    // current with the record's range.
    auto read = [this](QLineEdit* box, const QString& shown, double min, double max,
                       int decimals) -> std::optional<double> {
        const std::string text = box->text().toStdString();
        const entry::NumberRange range{min, max, false, decimals};
        std::optional<double> v = ParseBoxNumber(text, min, max);
        if (v && box->text() != shown && !entry::showsAsTyped(range, *v)) {
            ui::messages().error(this, QString::fromStdString(entry::refusalMessage(range, text)));
            v.reset();
        } else if (!v) {
            ui::messages().error(this, QString::fromStdString(RangeMessage(min, max)));
        }
        if (!v) {
            box->setFocus();
            box->selectAll();
        }
        return v;
    };
    const std::optional<double> elapsed =
        read(m_elapsed, m_shownElapsed, kElapsedMin, kElapsedMax, 1);
    if (!elapsed)
        return std::nullopt;
    const std::optional<double> value =
        read(m_value, m_shownValue, kValueMin, kValueMax, m_range == 1 ? 1 : 3);
    if (!value)
        return std::nullopt;
    return BoxValues{*elapsed, *value};
}

bool FinalValueDialog::OnChange()
{
    const std::optional<BoxValues> boxes = validateBoxes();
    if (!boxes)
        return false;
    const int sel = m_list->SelectedIndex();
    if (sel >= 0 && sel < static_cast<int>(m_points.size())) {
        CMeasPoint& p = m_points[static_cast<std::size_t>(sel)];
        p.elapsed = boxes->elapsed;
        p.value.setDouble(boxes->value);
        m_list->PointsChanged(sel, sel);
    }
    return true;
}

bool FinalValueDialog::OnSetFinal()
{
    if (!validateBoxes())
        return false;
    const int sel = m_list->SelectedIndex();
    if (sel >= 0 && sel < static_cast<int>(m_points.size())) {
        m_final = sel;
        m_list->SetMarkedIndex(sel);
    }
    return true;
}

bool FinalValueDialog::OnCorrectElapsed()
{
    const int sel = m_list->SelectedIndex();
    if (sel < 0 || sel >= static_cast<int>(m_points.size()))
        return false;
    if (ui::messages().questionYesNo(this, question(), MessageInterface::Answer::No) !=
        MessageInterface::Answer::Yes)
        return false;
    finalvalue::CorrectElapsedFrom(m_points, static_cast<std::size_t>(sel));
    m_list->PointsChanged();
    // The boxes show the corrected point, so a following "変更" cannot put the old time back.
    OnSelChange();
    return true;
}

bool FinalValueDialog::OnOK()
{
    if (!validateBoxes())
        return false;
    accept();
    return true;
}

std::optional<FinalValueChoice> AskFinalValue(QWidget* parent, const CMeasRecord& record)
{
    FinalValueDialog dialog(record, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const int final = dialog.FinalIndex();
    return FinalValueChoice{dialog.TakePoints(), final};
}

