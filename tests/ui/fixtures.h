// Shared pieces of the ui tests: a view that records hints, a small store, a temporary
// application folder.
#pragma once

#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "ui/document/hints.h"

struct HintRecorder : CHintReceiver {
    std::vector<std::pair<int, HintObject>> hints;
    void OnUpdate(int hintNo, const HintObject& object) override
    {
        hints.emplace_back(hintNo, object);
    }
    std::vector<int> numbers() const
    {
        std::vector<int> n;
        for (const auto& h : hints)
            n.push_back(h.first);
        return n;
    }
};

// A record whose used points are the given (elapsed seconds, μA) pairs.
inline CMeasRecord recordWithPoints(const std::vector<std::pair<double, double>>& secondsValue)
{
    CMeasRecord r;
    r.DataNo = 7;
    for (const auto& [t, v] : secondsValue)
        r.Points.push_back(CMeasPoint{CDataValue(v), t});
    r.UsedPoints = static_cast<int32_t>(r.Points.size());
    return r;
}

// One customer "顧客Ａ" / cable "CV-1" / set "2024春" holding the given records.
inline CCustomerDB storeWith(const std::vector<CMeasRecord>& records)
{
    CCustomerDB db;
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(cp932::lit("顧客Ａ")));
    CCable& k = c.cables.At(c.cables.FindOrInsert("CV-1"));
    CMeasData& s = k.sets.At(k.sets.FindOrInsert(cp932::lit("2024春")));
    for (const auto& r : records)
        s.AppendRecord(r);
    return db;
}
