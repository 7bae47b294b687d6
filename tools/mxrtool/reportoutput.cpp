// The application folder's report, print and CSV settings, the automatic scale and the PDF.
#include "reportoutput.h"

#include "model/cp932text.h"
#include "model/dialogbarlists.h"
#include "report/autoscale.h"
#include "settings/appfolder.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"

ReportSettings ReadReportSettings(const std::string& homeOption)
{
    ReportSettings s;
    const auto folder = ApplicationFolder(homeOption, false);
    if (!folder)
        return s;
    CIniFile ini(*folder + "/" + kSystemIniName);
    const std::string& sec = cp932::lit(inisec::Title);
    auto text = [&](const char* key) { return ini.GetString(sec, cp932::lit(key), "", false); };
    s.customerTitle = text(inikey::TitleCustomer);
    s.cableTitle = text(inikey::TitleCable);
    s.measurementTitle = text(inikey::TitleMeasurement);
    const char* keys[] = {inikey::Customer1WidRate, inikey::Cable1WidRate,
                          inikey::Measurement1WidRate};
    const char* valueKeys[] = {inikey::Customer2WidRate, inikey::Cable2WidRate,
                               inikey::Measurement2WidRate};
    for (int i = 0; i < 3; ++i) {
        s.widthRates[2 * i] = ini.GetDouble(sec, cp932::lit(keys[i]), s.widthRates[2 * i], false);
        s.widthRates[2 * i + 1] =
            ini.GetDouble(sec, cp932::lit(valueKeys[i]), s.widthRates[2 * i + 1], false);
    }
    return s;
}

void ReadPrintSettings(const std::string& homeOption, bool& judgments, PrintOptions& o)
{
    const auto folder = ApplicationFolder(homeOption, false);
    if (!folder)
        return;
    CIniFile ini(*folder + "/MXRView.INI");
    auto number = [&](const char* sec, const char* key, int def) {
        return ini.GetInt(cp932::lit(sec), cp932::lit(key), def, false);
    };
    judgments = number(inisec::PrintParam, inikey::PrtJudgOut, 1) != 0;
    o.pageNumbers = number(inisec::Param, inikey::PrintOutPageNo, 1) != 0;
    o.marginTop = number(inisec::PrintParam, inikey::PrtBlankTop, 5);
    o.marginLeft = number(inisec::PrintParam, inikey::PrtBlankLeft, 5);
    o.marginBottom = number(inisec::PrintParam, inikey::PrtBlankBottom, 5);
    o.marginRight = number(inisec::PrintParam, inikey::PrtBlankRight, 5);
}

CsvLabels ReadCsvLabels(const std::string& homeOption)
{
    const auto folder = ApplicationFolder(homeOption, false);
    if (!folder)
        return CsvLabelsFor("", "", "");
    CIniFile ini(*folder + "/" + kSystemIniName);
    const auto title = [&](const char* key) {
        return ini.GetString(inisec::Title, key, "", false);
    };
    return CsvLabelsFor(title(inikey::TitleCustomer), title(inikey::TitleCable),
                        title(inikey::TitleMeasurement));
}

ReportScale AutoReportScale(const CMeasRecord& record)
{
    double maxValue = 0.0, maxSeconds = 0.0;
    record.PeakValues(true, maxValue, maxSeconds);
    const auto axisItems = dialogbar::axisItems();
    const auto widthItems = dialogbar::widthItems();
    const autoscale::Choice fit = autoscale::Choose(axisItems, widthItems, maxValue, maxSeconds);
    return {dialogbar::itemValue(widthItems, fit.widthIndex),
            dialogbar::itemValue(axisItems, fit.axisIndex)};
}

bool PrintReportPdf(QPdfWriter& pdf, PageReport& pages)
{
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(600);
    pdf.setTitle(QStringLiteral("成績表"));
    return pages.print(pdf, 1, pages.totalPages());
}
