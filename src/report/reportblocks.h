// The blocks the screen report and the printed pages share: the header row "title1" and the
// test-result and test-environment tables ("table中" with "title2" and "title3"), their labels
// from the settings and their texts from a measurement record.
#pragma once

#include <QString>

#include <string>

#include "report/layoutgrid.h"

class CMeasRecord;

// What the report takes from the settings (CP932 texts; an empty title means the default).
struct ReportSettings {
    std::string customerTitle;
    std::string cableTitle;
    std::string measurementTitle;
    double widthRates[6] = {8, 34, 6, 22, 8, 22}; // header columns, percent
};

// What one refresh shows.
struct ReportContent {
    std::string customer; // CP932 names of the selection
    std::string cable;
    std::string measData;
    const CMeasRecord* record = nullptr; // nothing: labels only
    bool judgments = true;               // final value and ratios with their judgment words
    // The printed pages' approval line ("承認：山田　2026/12/11"); empty: none (the default).
    QString approval;
};

namespace report {

QString fromCp932(const std::string& text);

// Labels after the fall-back to the defaults, and the fit-group templates built from them.
QString customerLabel(const ReportSettings& s);    // "需要家名"
QString cableLabel(const ReportSettings& s);       // "ｹｰﾌﾞﾙ" (header)
QString cableKindLabel(const ReportSettings& s);   // "ｹｰﾌﾞﾙ種類" ("title3")
QString measurementLabel(const ReportSettings& s); // "測定ﾃﾞｰﾀ"
QString customerTemplate(const ReportSettings& s); // "需要家名 "
QString cableTemplate(const ReportSettings& s);    // "ｹｰﾌﾞﾙ種類 "

// Builds "title1" into the cell (col, row) of a grid.
TableBlock* buildTitle1(LayoutGrid& g, int col, int row, const ReportSettings& s);
// Builds "table中" with "title2" and "title3" into the cell (col, row) of a grid.
TableBlock* buildTableMiddle(LayoutGrid& g, int col, int row, const ReportSettings& s);
// Fills the header, test-result and test-environment texts found in a grid.
void fillCommon(LayoutGrid& root, const ReportContent& c);

// A table block with "ＭＳ ゴシック" and black borders on every cell.
std::unique_ptr<TableBlock> makeTable(const std::string& name, int columns, int rows);

} // namespace report
