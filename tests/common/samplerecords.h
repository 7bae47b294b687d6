// Building blocks of the sample records and trees that tests and benchmarks make: points
// sampled as the tester samples them, numbered trigger events, and a record's place in a tree.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "model/measrecord.h"

namespace sample {

// Appends `count` points sampled every 0.2 s from 0 s, point i with value(i) μA, and counts
// every point of the record as used.
inline void addPoints(CMeasRecord& r, int count, const std::function<double(int)>& value)
{
    r.Points.reserve(r.Points.size() + static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        r.Points.push_back({CDataValue(value(i)), i * 0.2});
    r.UsedPoints = static_cast<int>(r.Points.size());
}

// Appends `count` trigger events a second apart: the k-th peaks at value + k μA and lasts
// from start + k to end + k seconds.
inline void addTriggers(CMeasRecord& r, int count, double value, double start, double end)
{
    for (int k = 0; k < count; ++k)
        r.Triggers.push_back({CDataValue(value + k), start + k, end + k});
}

// The set customer / cable / set of a tree, made (with its customer and cable) when missing.
inline CMeasData& setAt(CCustomerDB& db, const std::string& customer, const std::string& cable,
                        const std::string& set)
{
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(customer));
    CCable& k = c.cables.At(c.cables.FindOrInsert(cable));
    return k.sets.At(k.sets.FindOrInsert(set));
}

// A tree of one set, customer / cable / set, holding the records in the order given.
inline CCustomerDB treeWith(const std::vector<CMeasRecord>& records, const std::string& customer,
                            const std::string& cable, const std::string& set)
{
    CCustomerDB db;
    CMeasData& s = setAt(db, customer, cable, set);
    for (const CMeasRecord& r : records)
        s.InsertRecord(r);
    return db;
}

// The small tree the edit tests work on: customers "beta" and "alpha"; alpha has cables "C2"
// (no sets) and "C1" with set "S1" holding the records (inserted in the order given) and an
// empty set "S2".
inline CCustomerDB editTree(const std::vector<CMeasRecord>& s1Records)
{
    CCustomerDB db;
    db.customers.FindOrInsert("beta");
    CCustomer& a = db.customers.At(db.customers.FindOrInsert("alpha"));
    a.cables.FindOrInsert("C2");
    CCable& c1 = a.cables.At(a.cables.FindOrInsert("C1"));
    CMeasData& s1 = c1.sets.At(c1.sets.FindOrInsert("S1"));
    for (const CMeasRecord& r : s1Records)
        s1.InsertRecord(r);
    c1.sets.FindOrInsert("S2");
    return db;
}

} // namespace sample
