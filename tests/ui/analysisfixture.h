// A cable with a story, for the analysis windows: sets named by year with a slowly rising
// leakage current (R phase, 2, 4 and 6 kV), and on the last day sibling sets for the S and T
// phases, T about ten times the others (unbalanced at 2 and 4 kV, just
// under the limit at 6 kV where R bends). The last R set bends upwards at 6 kV (a knee) and its T
// sibling's 6 kV record rises at the end instead of decaying.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"

namespace analysisfixture {

inline const std::string& customer()
{
    return cp932::lit("顧客Ａ");
}
inline const std::string cable = "CV-1";

// A ten-minute record sampled every second: a decaying charging current over `final` μA,
// optionally rising by `rise` μA per minute over the last five minutes.
inline CMeasRecord record(int year, int phaseCode, double kv, double final, double rise = 0)
{
    CMeasRecord r;
    r.DataNo = static_cast<int32_t>(kv);
    r.TestVoltage = kv;
    r.TriggerLevel = 1000.0;
    r.Condition.CabKind = phaseCode;
    r.Condition.ShisuZetuen = 1000.0 - 50.0 * (year - 2021);
    r.Condition.CurrentR = 1.0;
    r.Condition.CurrentS = 1.1;
    r.Condition.CurrentT = 1.0;
    r.StartTime = *OleDateTime::fromCalendar({year, 6, 1, 10, static_cast<int>(kv) * 5, 0});
    for (int i = 0; i <= 600; ++i) {
        const double t = i;
        // Flat until five minutes, then rising to `final` at ten minutes.
        const double v = final - rise * 5 + rise * std::max(0.0, t - 300) / 60.0 +
                         4.0 * final * std::exp(-t / 60.0);
        r.Points.push_back(CMeasPoint{CDataValue(v), t});
    }
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

inline void addSet(CCable& k, const std::string& name, std::vector<CMeasRecord> records)
{
    CMeasData& s = k.sets.At(k.sets.FindOrInsert(name));
    for (auto& r : records)
        s.AppendRecord(std::move(r));
    RecalcRatios(s);
}

inline CCustomerDB store()
{
    CCustomerDB db;
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(customer()));
    CCable& k = c.cables.At(c.cables.FindOrInsert(cable));
    for (int year = 2021; year <= 2024; ++year) {
        const double base = 0.2 * (1.0 + 0.4 * (year - 2021));
        const double knee = year == 2024 ? 4.0 : 1.0; // the last year bends at 6 kV
        addSet(k, std::to_string(year),
               {record(year, CabKindR, 2, base), record(year, CabKindR, 4, 2 * base),
                record(year, CabKindR, 6, 3 * base * knee)});
    }
    addSet(k, cp932::lit("2024Ｓ相"),
           {record(2024, CabKindS, 2, 0.5), record(2024, CabKindS, 4, 1.0),
            record(2024, CabKindS, 6, 1.5)});
    addSet(k, cp932::lit("2024Ｔ相"),
           {record(2024, CabKindT, 2, 6.0), record(2024, CabKindT, 4, 12.0),
            record(2024, CabKindT, 6, 16.0, 0.6)});
    return db;
}

} // namespace analysisfixture
