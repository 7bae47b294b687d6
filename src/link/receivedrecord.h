// ReceivedRecord: a decoded measurement with the reception's bookkeeping fields.
#pragma once

#include <cstdint>
#include <string>

#include "model/measrecord.h"

// What the reception hands to the transfer page: the measurement, then the number of data
// lines it came with, and a text and an integer that the transfer page uses (empty and 0 as
// received).
struct ReceivedRecord : CMeasRecord {
    int32_t LineCount = 0;
    std::string Text;
    int32_t Tag = 0;

    bool operator==(const ReceivedRecord&) const = default;
};
