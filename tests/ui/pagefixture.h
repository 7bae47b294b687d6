// Shared pieces of the edit page tests: a measured record and the page shown as the user sees it.
#pragma once

#include <QTest>

#include "model/measrecord.h"
#include "model/oledate.h"
#include "ui/pages/customertreepage.h"

namespace pagetest {

// A record at kV whose current falls evenly over points 0..lastPoint, 0.2 s apart, from
// 1.5 to 1.0 times kV/20, with its final value and triggers worked out.
inline CMeasRecord measured(double kV, int lastPoint)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::fromCalendar({2024, 5, 12, 9, 30, 0});
    for (int i = 0; i <= lastPoint; ++i)
        r.Points.push_back(
            CMeasPoint{CDataValue(kV * 0.05 * (1.5 - i / (2.0 * lastPoint))), 0.2 * i});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

// Selects `selection` on the page and shows it at 1000×700; true once it is on screen.
inline bool show(CustomerTreePage& page, const DataSelection& selection)
{
    page.SetSelection(selection);
    page.resize(1000, 700);
    page.show();
    return QTest::qWaitForWindowExposed(&page);
}

} // namespace pagetest
