// Items of the dialog bar lists and the auto-scaling choice.
#include "model/dialogbarlists.h"

#include "model/number.h"

namespace dialogbar {

std::vector<std::string> axisItems()
{
    return {"1000", "500", "200", "100", "50", "20", "10", "5", "2", "1"};
}

std::vector<std::string> startTimeItems()
{
    std::vector<std::string> items;
    for (int i = 0; i <= 15; ++i) {
        items.push_back(formatC("%d.0", i));
        items.push_back(formatC("%d.5", i));
    }
    return items;
}

std::vector<std::string> widthItems()
{
    std::vector<std::string> items{"0.5"};
    for (int i = 1; i <= 16; ++i)
        items.push_back(formatC("%d", i));
    return items;
}

double itemValue(const std::vector<std::string>& items, int index)
{
    if (index < 0 || index >= static_cast<int>(items.size()))
        return -1.0;
    return mxrAtof(items[static_cast<std::size_t>(index)]);
}

// Integer value of an item, as atoi reads it ("0.5" gives 0).
static int intValue(const std::string& text)
{
    return static_cast<int>(mxrAtof(text));
}

int autoAxisIndex(const std::vector<std::string>& items, double maxValue)
{
    if (items.empty())
        return -1;
    // Items run from the largest full scale down: the first one below the maximum ends the
    // walk and the one before it (or the first) is the choice.
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (intValue(items[i]) < maxValue)
            return i == 0 ? 0 : static_cast<int>(i) - 1;
    }
    return static_cast<int>(items.size()) - 1;
}

int autoWidthIndex(const std::vector<std::string>& items, double maxSeconds)
{
    if (items.empty())
        return -1;
    const double minutes = maxSeconds / 60.0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (intValue(items[i]) > minutes)
            return static_cast<int>(i);
    }
    return static_cast<int>(items.size()) - 1;
}

} // namespace dialogbar
