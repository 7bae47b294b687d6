// CViewGraph: hint handling and the placeholder page.
#include "ui/viewgraph.h"

#include <QPainter>

#include "ui/uitext.h"

CViewGraph::CViewGraph(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("viewGraph"));
    setAutoFillBackground(false);
    setMinimumSize(10, 10);
}

void CViewGraph::OnUpdate(int hintNo, const HintObject& object)
{
    switch (hintNo) {
    case hint::Selection:
        if (const auto* names = std::get_if<SelectionNames>(&object))
            m_names = *names;
        break;
    case hint::Clear: m_records.clear(); break;
    case hint::AddRecord:
        if (const auto* record = std::get_if<CMeasRecord>(&object))
            m_records.push_back(*record);
        break;
    case hint::StartTime:
    case hint::Width:
    case hint::Axis:
        if (const auto* value = std::get_if<double>(&object)) {
            double& target = hintNo == hint::StartTime ? m_startTime
                             : hintNo == hint::Width   ? m_width
                                                       : m_axis;
            target = *value;
        }
        Refresh();
        break;
    case hint::Refresh: Refresh(); break;
    default: break;
    }
}

bool CViewGraph::HasRecord() const
{
    const CMeasRecord empty;
    for (const CMeasRecord& r : m_records) {
        if (!(r == empty))
            return true;
    }
    return false;
}

void CViewGraph::Refresh()
{
    ++m_refreshCount;
    update();
}

void CViewGraph::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QFont font(ui::gothicFace());
    font.setPointSize(11);
    p.setFont(font);
    p.setPen(Qt::black);
    const int line = p.fontMetrics().height() + 4;
    int y = 24 + p.fontMetrics().ascent();
    for (const auto* name : {&m_names.customer, &m_names.cable, &m_names.measData}) {
        p.drawText(24, y, ui::toQ(*name));
        y += line;
    }
}
