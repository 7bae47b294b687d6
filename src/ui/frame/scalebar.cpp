// ScaleBar: labels, lists and the auto-scaling of the axis and width lists.
#include "ui/frame/scalebar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

#include "model/dialogbarlists.h"
#include "report/autoscale.h"
#include "ui/document/documentnotifier.h"
#include "ui/frame/commandids.h"

ScaleBar::ScaleBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 1, 6, 1);
    layout->setSpacing(4);
    m_axis = addList(ctl::AxisList, QStringLiteral("測定値軸："), QStringLiteral("μA"));
    layout->addSpacing(10);
    m_startTime =
        addList(ctl::StartTimeList, QStringLiteral("表示開始時間："), QStringLiteral("分"));
    layout->addSpacing(10);
    m_width = addList(ctl::WidthList, QStringLiteral("幅："), QStringLiteral("分"));
    layout->addStretch(1);

    connect(m_startTime, &QComboBox::activated, this,
            [this] { emit startTimeChosen(StartTime()); });
    connect(m_width, &QComboBox::activated, this, [this] { emit widthChosen(Width()); });
    connect(m_axis, &QComboBox::activated, this, [this] { emit axisChosen(Axis()); });
}

QComboBox* ScaleBar::addList(int controlId, const QString& before, const QString& after)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("list%1").arg(controlId));
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(4);
    box->setMaxVisibleItems(17);
    auto* layout = static_cast<QHBoxLayout*>(this->layout());
    layout->addWidget(new QLabel(before, this));
    layout->addWidget(box);
    layout->addWidget(new QLabel(after, this));
    return box;
}

void ScaleBar::FillLists()
{
    const auto fill = [](QComboBox* box, const std::vector<std::string>& items) {
        box->clear();
        for (const auto& text : items) // the items are ASCII
            box->addItem(QString::fromStdString(text));
        box->setCurrentIndex(0);
    };
    m_axisItems = dialogbar::axisItems();
    m_startItems = dialogbar::startTimeItems();
    m_widthItems = dialogbar::widthItems();
    fill(m_axis, m_axisItems);
    fill(m_startTime, m_startItems);
    fill(m_width, m_widthItems);
}

double ScaleBar::StartTime() const
{
    return dialogbar::itemValue(m_startItems, m_startTime->currentIndex());
}

double ScaleBar::Width() const
{
    return dialogbar::itemValue(m_widthItems, m_width->currentIndex());
}

double ScaleBar::Axis() const
{
    return dialogbar::itemValue(m_axisItems, m_axis->currentIndex());
}

void ScaleBar::AutoScale(double maxValue, double maxSeconds)
{
    const autoscale::Choice choice =
        autoscale::Choose(m_axisItems, m_widthItems, maxValue, maxSeconds);
    m_axis->setCurrentIndex(choice.axisIndex);
    m_width->setCurrentIndex(choice.widthIndex);
}

void ScaleBar::Connect(DocumentNotifier& notifier)
{
    connect(this, &ScaleBar::startTimeChosen, &notifier, &DocumentNotifier::startTimeChanged);
    connect(this, &ScaleBar::widthChosen, &notifier, &DocumentNotifier::widthChanged);
    connect(this, &ScaleBar::axisChosen, &notifier, &DocumentNotifier::axisChanged);
    connect(&notifier, &DocumentNotifier::scaleFitRequested, this,
            [this, &notifier](double maxValue, double maxSeconds) {
                AutoScale(maxValue, maxSeconds);
                SendValues(notifier);
            });
    connect(&notifier, &DocumentNotifier::scaleValuesRequested, this,
            [this, &notifier] { SendValues(notifier); });
}

void ScaleBar::SendValues(DocumentNotifier& notifier) const
{
    const double start = StartTime();
    const double width = Width();
    const double axis = Axis();
    if (start >= 0)
        emit notifier.startTimeChanged(start);
    if (width >= 0)
        emit notifier.widthChanged(width);
    if (axis >= 0)
        emit notifier.axisChanged(axis);
}
