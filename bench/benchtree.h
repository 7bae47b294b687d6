// The tree the store benchmarks load and save: about 100 MB in the store format, 2,000
// records of 2,500 points under 50 customers, 2 cables and 2 sets each.
#pragma once

#include <string>

#include "model/customerdb.h"

namespace benchtree {

constexpr int kCustomers = 50, kCables = 2, kSets = 2, kRecords = 10, kPoints = 2500;

// One record of the tree: voltage 1 + r kV, points falling from about 20 μA.
inline CMeasRecord Record(int r, double startDate = 38697.5)
{
    CMeasRecord rec;
    rec.TestVoltage = 1.0 + r;
    rec.TriggerLevel = 5.0;
    rec.StartTime = {startDate + r, 0};
    rec.Points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i)
        rec.Points.push_back({CDataValue(20.0 / (1 + 0.01 * i) + 0.5), 0.2 * (i + 1)});
    rec.RecalcFinalAndTriggers(-1, 10);
    return rec;
}

inline CCustomerDB Make100MB()
{
    CCustomerDB db;
    for (int c = 0; c < kCustomers; ++c) {
        CCustomer& cu = db.customers.At(db.customers.FindOrInsert("Customer " + std::to_string(c)));
        for (int k = 0; k < kCables; ++k) {
            CCable& ca = cu.cables.At(cu.cables.FindOrInsert("Cable " + std::to_string(k)));
            for (int s = 0; s < kSets; ++s) {
                CMeasData& set = ca.sets.At(ca.sets.FindOrInsert("Set " + std::to_string(s)));
                for (int r = 0; r < kRecords; ++r)
                    set.AppendRecord(Record(r));
                RecalcRatios(set);
            }
        }
    }
    return db;
}

} // namespace benchtree
