// The update hints the document sends to its views, and the objects they carry.
#pragma once

#include <string>
#include <variant>

#include "model/measrecord.h"

namespace hint {

inline constexpr int Selection = 101; // SelectionNames: customer, cable, data set
inline constexpr int Clear = 102;     // nothing: empty the displayed records
inline constexpr int AddRecord = 103; // CMeasRecord: append a copy
inline constexpr int StartTime = 104; // double, minutes; then refresh
inline constexpr int Width = 105;     // double, minutes; then refresh
inline constexpr int Axis = 106;      // double, μA full scale; then refresh
inline constexpr int Refresh = 107;   // nothing

} // namespace hint

// The three names a selection shows in the report header (CP932).
struct SelectionNames {
    std::string customer;
    std::string cable;
    std::string measData;

    bool operator==(const SelectionNames&) const = default;
};

using HintObject = std::variant<std::monostate, SelectionNames, CMeasRecord, double>;

// A view the document talks to; views learn what to show only through hints.
class CHintReceiver {
public:
    virtual ~CHintReceiver() = default;
    virtual void OnUpdate(int hintNo, const HintObject& object) = 0;
};
