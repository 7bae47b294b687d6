// ReportOverlay: the analysis marks over the report's graph: the trigger periods of the shown
// record as bands and its curve signs (spikes, the window of a gradual rise, the combined
// rule) as marks. A transparent child of the report view that paints after it, so the report
// itself is drawn exactly as without the marks; hidden, it leaves every pixel as it was.
// ReportOverlay was CReportOverlay in the Windows program's sources.
#pragma once

#include <QWidget>

#include "analysis/curvesigns.h"

class ReportView;

class ReportOverlay : public QWidget {
    Q_OBJECT
public:
    explicit ReportOverlay(ReportView& view);

    // The signs of the shown record (taken again after every refresh of the view).
    void SetSigns(analysis::CurveSigns signs);
    const analysis::CurveSigns& Signs() const { return m_signs; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ReportView& m_view;
    analysis::CurveSigns m_signs;
};
