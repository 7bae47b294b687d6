// ReceivedRecord: a decoded measurement with the reception's bookkeeping fields.
#pragma once

#include <cstdint>
#include <string>

#include "model/measrecord.h"

// What the reception hands to the transfer page: the measurement, then the number of data
// lines it came with, and a text and an integer that the transfer page uses (empty and 0 as
// received). Announced is the line count the record's date block promised: when it differs
// from LineCount, lines were lost (or noise made extra ones) and the later points are shifted.
// Both are warnings about the record that the transfer page shows.
struct ReceivedRecord : CMeasRecord {
    int32_t LineCount = 0;
    std::string Text;
    int32_t Tag = 0;
    int32_t Announced = 0;
    // The date block could not be read: StartTime is the time the reception gave the record.
    bool DateReplaced = false;

    // The date block's count has four BCD digits, so a record of 10,000 lines or more
    // announces its count modulo 10,000.
    bool LineCountMismatch() const { return Announced != LineCount % 10000; }

    bool operator==(const ReceivedRecord&) const = default;
};
