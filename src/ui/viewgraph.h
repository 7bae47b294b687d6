// CViewGraph: the report view. It keeps what the document's hints carry; until the report
// layout draws here it paints a white page with the three selected names.
#pragma once

#include <QWidget>

#include <vector>

#include "ui/hints.h"

class CViewGraph : public QWidget, public CHintReceiver {
    Q_OBJECT
public:
    explicit CViewGraph(QWidget* parent = nullptr);

    void OnUpdate(int hintNo, const HintObject& object) override;

    const SelectionNames& Names() const { return m_names; }
    const std::vector<CMeasRecord>& Records() const { return m_records; }
    double StartTime() const { return m_startTime; } // minutes
    double Width() const { return m_width; }         // minutes
    double Axis() const { return m_axis; }           // μA
    int RefreshCount() const { return m_refreshCount; }
    // True when a real record is shown; the empty record sent for a missing selection only
    // lays the empty report out.
    bool HasRecord() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Refresh();

    SelectionNames m_names;
    std::vector<CMeasRecord> m_records;
    double m_startTime = 0.0;
    double m_width = 0.5;
    double m_axis = 1000.0;
    int m_refreshCount = 0;
};
