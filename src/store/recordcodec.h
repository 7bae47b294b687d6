// A record as the shared database and the journal keep it: its bytes in the store's own record
// layout, the content key that identifies it however often it is sent, and the hash of its state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/measrecord.h"

namespace recordcodec {

// A 64-bit hash of bytes (not cryptographic: it tells versions of one record apart).
uint64_t Hash64(std::string_view bytes, uint64_t seed = 0);

// The record in the store's record layout; DecodeRecord reads it back (throws on damage).
std::string EncodeRecord(const CMeasRecord& record);
CMeasRecord DecodeRecord(std::string_view bytes);

// 32 bytes: start time status and date, test voltage, data number and the hash of the points
// in their stored encoding. Equal for every copy of one measurement, whatever was edited.
std::string ContentKey(const CMeasRecord& record);

// The ASCII-folded form of a name, under which names compare as the customer tree does.
std::string NameKey(std::string_view name);

// Identifies a record within a tree: the folded names of its customer, cable and set, and its
// content key.
std::string RecordPathKey(std::string_view customer, std::string_view cable, std::string_view set,
                          std::string_view contentKey);

} // namespace recordcodec
