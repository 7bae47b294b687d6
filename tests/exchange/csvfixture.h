// A measurement record for the CSV output tests: every header value set, two trigger events,
// more points than are used, a remark with a comma in it.
#pragma once

#include <string>

#include "exchange/csvwriter.h"
#include "model/cp932text.h"
#include "model/measrecord.h"

namespace csvtest {

inline CMeasRecord sampleRecord()
{
    CMeasRecord r;
    r.DataNo = 12;
    r.RangeFlag = 0;
    r.TestVoltage = 10.0;
    r.LastCurrent = 2.3456;
    r.TriggerLevel = 5.55;
    r.SeikyokuRatio = 1.26;
    r.JyakutenRatio = UNSET_VALUE;
    r.StartTime = *OleDateTime::fromCalendar({2005, 12, 11, 9, 5, 7});
    CTestCondition& c = r.Condition;
    c.CabKind = CabKindR;
    c.CurrentR = 12.25;
    c.CurrentS = 0.0;
    c.CurrentT = 3.0;
    c.CabSectionalArea = 325.0;
    c.CabLength = 1234.56;
    c.SeikyokuMin = 0.5;
    c.SeikyokuMax = 1.0;
    c.JyakutenMin = 1.0;
    c.JyakutenMax = 5.0;
    c.Remarks = cp932::lit("屋外,雨天後");
    const double values[] = {12.5, 8.25, 6.0004, 5.9996, 99.0};
    const double times[] = {0.0, 0.2, 59.96, 75.34, 90.0};
    for (int i = 0; i < 5; ++i)
        r.Points.push_back({CDataValue(values[i]), times[i]});
    r.UsedPoints = 4;
    r.Triggers.push_back({CDataValue(48.2), 12.4, 13.0});
    r.Triggers.push_back({CDataValue(7.0), 75.34, 3599.96});
    return r;
}

inline CsvNames sampleNames()
{
    return {cp932::lit("東京電力,第一"), cp932::lit("ケーブルA-1"), cp932::lit("2005年定期")};
}

} // namespace csvtest
