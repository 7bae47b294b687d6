// The registration of received records into a measurement data set (transfer page): which
// condition block they take, and how they join the set. Free of widgets.
#pragma once

#include <cstddef>
#include <vector>

#include "model/customerdb.h"

namespace transferreg {

// The condition block of a registration into set `setRow` of the cable: the first measurement
// of that set; else the first measurement of the cable's last set (or the one before it when
// the chosen set is the last); else the default conditions, without an insulation resistance.
CTestCondition TemplateCondition(const CCable& cable, int setRow,
                                 const DefaultConditionTexts& defaults);

// Optionally empties the set, inserts the records by test voltage, recomputes the ratios and
// gives every measurement of the set the condition block.
void Register(CMeasData& set, const std::vector<CMeasRecord>& records,
              const CTestCondition& condition, bool replaceExisting);

// Removes the entries at the given ascending positions, from the last back to the first, so
// the others keep their order.
template <class T> void RemoveAtPositions(std::vector<T>& items, const std::vector<int>& positions)
{
    for (auto it = positions.rbegin(); it != positions.rend(); ++it)
        if (*it >= 0 && static_cast<std::size_t>(*it) < items.size())
            items.erase(items.begin() + *it);
}

} // namespace transferreg
