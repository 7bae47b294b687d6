// Fitting the graph's scale to a measurement.
#include "report/autoscale.h"

#include "model/dialogbarlists.h"

namespace autoscale {

Choice Choose(const std::vector<std::string>& axisItems,
              const std::vector<std::string>& widthItems, double maxValue, double maxSeconds)
{
    return Choice{dialogbar::autoAxisIndex(axisItems, maxValue),
                  dialogbar::autoWidthIndex(widthItems, maxSeconds)};
}

} // namespace autoscale
