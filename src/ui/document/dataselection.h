// DataSelection: what the views show (customer, cable, data set, record index), and the
// modes of the data page.
#pragma once

#include <string>

struct DataSelection {
    std::string customer; // CP932
    std::string cable;
    std::string measData;
    int index = -1; // record within the set, -1 = none

    bool operator==(const DataSelection&) const = default;
};

enum class PageMode { Display = 0, Edit = 1, Transfer = 2 };
