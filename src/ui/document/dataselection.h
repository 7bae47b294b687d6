// DataSelection: what the views show (customer, cable, data set, record index), and the
// modes of the data page.
#pragma once

#include <string>

class CCustomerDB;
class CMeasData;
class CMeasRecord;

struct DataSelection {
    std::string customer; // CP932
    std::string cable;
    std::string measData;
    int index = -1; // record within the set, -1 = none

    bool operator==(const DataSelection&) const = default;
};

// The set the selection names, or nullptr when the store holds no such set.
const CMeasData* SelectedSet(const CCustomerDB& db, const DataSelection& selection);
// The record the selection names, or nullptr when the store holds no such record.
const CMeasRecord* SelectedRecord(const CCustomerDB& db, const DataSelection& selection);

enum class PageMode { Display = 0, Edit = 1, Transfer = 2 };
