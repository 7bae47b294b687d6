// Shared pieces of the ui tests: a recorder of what the views are told, a small store, a temporary
// application folder.
#pragma once

#include <QObject>
#include <QTemporaryDir>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "ui/document/documentnotifier.h"

// What a view is told, in order: the kind of change and what it carries.
enum class Change { Names, Cleared, Record, StartTime, Width, Axis, Refresh };
using ChangeValue = std::variant<std::monostate, SelectionNames, CMeasRecord, double>;

struct ChangeRecorder {
    std::vector<std::pair<Change, ChangeValue>> changes;
    QObject context; // ends the connections with the recorder

    void Connect(DocumentNotifier& n)
    {
        const auto add = [this](Change c, ChangeValue v = {}) {
            changes.emplace_back(c, std::move(v));
        };
        QObject::connect(&n, &DocumentNotifier::selectionShown, &context,
                         [add](const SelectionNames& v) { add(Change::Names, v); });
        QObject::connect(&n, &DocumentNotifier::recordsCleared, &context,
                         [add] { add(Change::Cleared); });
        QObject::connect(&n, &DocumentNotifier::recordAdded, &context,
                         [add](const CMeasRecord& v) { add(Change::Record, v); });
        QObject::connect(&n, &DocumentNotifier::startTimeChanged, &context,
                         [add](double v) { add(Change::StartTime, v); });
        QObject::connect(&n, &DocumentNotifier::widthChanged, &context,
                         [add](double v) { add(Change::Width, v); });
        QObject::connect(&n, &DocumentNotifier::axisChanged, &context,
                         [add](double v) { add(Change::Axis, v); });
        QObject::connect(&n, &DocumentNotifier::refreshRequested, &context,
                         [add] { add(Change::Refresh); });
    }
    std::vector<Change> kinds() const
    {
        std::vector<Change> k;
        for (const auto& c : changes)
            k.push_back(c.first);
        return k;
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
