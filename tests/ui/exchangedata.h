// A realistic customer tree for the export and import dialog tests: customers with cables and
// measurement data sets, records with points, final values and ratios computed as received.
#pragma once

#include <cmath>
#include <string>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "samplerecords.h"

namespace xdata {

// A decaying leakage current sampled every 0.2 s (after the first point) for `seconds`.
inline CMeasRecord measured(double kV, int dataNo, double scale, int seconds = 600)
{
    CMeasRecord r;
    r.DataNo = dataNo;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.RangeFlag = scale > 50 ? 1 : 0;
    r.StartTime = *OleDateTime::fromCalendar({2024, 5, 20, 9 + dataNo % 8, 10 + dataNo, 5});
    for (int i = 0; i <= seconds * 5; ++i) {
        const double t = i * 0.2;
        r.Points.push_back({CDataValue(scale * (0.4 + 0.6 * std::exp(-t / 90.0))), t});
    }
    r.Condition.SeikyokuMin = 1.0;
    r.Condition.SeikyokuMax = 2.0;
    r.Condition.JyakutenMin = 1.0;
    r.Condition.JyakutenMax = 2.0;
    r.Condition.LastCurrentMin = 1.0;
    r.Condition.LastCurrentMax = 10.0;
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

using sample::setAt;

inline void fill(CMeasData& s, std::initializer_list<double> kVs, int firstNo, double scale)
{
    int no = firstNo;
    for (double kV : kVs)
        s.InsertRecord(measured(kV, no++, scale * kV / 5.0));
    RecalcRatios(s);
}

// 東北電力 / CV 6.6kV 3C-150 / 2023定期点検 (4 records), 2024定期点検 (3);
// 東北電力 / CVT 22kV 1C-325 / 竣工時 (2); 北陸製鉄所 / 第2変電所 引込 / 初回 (3); Alpha / K1 / s.
inline CCustomerDB realisticTree()
{
    using cp932::lit;
    CCustomerDB db;
    fill(setAt(db, lit("東北電力"), lit("CV 6.6kV 3C-150"), lit("2023定期点検")),
         {2.5, 5.0, 7.5, 10.0}, 1, 0.8);
    fill(setAt(db, lit("東北電力"), lit("CV 6.6kV 3C-150"), lit("2024定期点検")), {5.0, 10.0, 12.5},
         5, 1.1);
    fill(setAt(db, lit("東北電力"), lit("CVT 22kV 1C-325"), lit("竣工時")), {10.0, 20.0}, 8, 0.3);
    fill(setAt(db, lit("北陸製鉄所"), lit("第2変電所 引込"), lit("初回")), {5.0, 10.0, 15.0}, 10,
         60.0);
    fill(setAt(db, "Alpha", "K1", "s"), {3.0}, 13, 2.0);
    return db;
}

} // namespace xdata
