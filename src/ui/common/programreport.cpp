#include "ui/common/programreport.h"

#include <algorithm>
#include <iterator>

#include "settings/appsettings.h"

namespace ui {

ReportSettings ProgramReportSettings()
{
    const CAppSettings& s = AppSettings();
    ReportSettings r;
    r.customerTitle = s.TitleCustomer;
    r.cableTitle = s.TitleCable;
    r.measurementTitle = s.TitleMeasurement;
    const double rates[6] = {s.Customer1WidRate, s.Customer2WidRate,    s.Cable1WidRate,
                             s.Cable2WidRate,    s.Measurement1WidRate, s.Measurement2WidRate};
    std::copy(std::begin(rates), std::end(rates), r.widthRates);
    return r;
}

PrintOptions ProgramPrintOptions()
{
    const CAppSettings& s = AppSettings();
    PrintOptions o;
    o.pageNumbers = s.PrintOutPageNo != 0;
    o.marginTop = std::max(0, s.PrtBlankTop);
    o.marginLeft = std::max(0, s.PrtBlankLeft);
    o.marginBottom = std::max(0, s.PrtBlankBottom);
    o.marginRight = std::max(0, s.PrtBlankRight);
    return o;
}

} // namespace ui
