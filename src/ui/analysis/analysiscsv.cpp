// The CSV file of an analysis window.
#include "ui/analysis/analysiscsv.h"

#include "model/csvfield.h"
#include "model/cp932text.h"

namespace analysisui {

namespace {

std::string toCp932(const QString& text)
{
    if (auto whole = cp932::fromUtf8(text.toStdString()))
        return *whole;
    // Character by character, so one character without a CP932 form costs only itself.
    std::string out;
    for (char32_t c : text.toUcs4()) {
        const auto one = cp932::fromUtf8(QString::fromUcs4(&c, 1).toStdString());
        out += one ? *one : std::string("?");
    }
    return out;
}

void addRow(std::string& out, const QStringList& fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += csvfield::Quoted(toCp932(fields[i]));
    }
    out += "\r\n";
}

} // namespace

std::string AnalysisCsv(const AnalysisDocument& doc, const std::string& customerLabel,
                        const std::string& cableLabel, const std::string& measLabel)
{
    std::string out;
    addRow(out, {doc.title});
    auto namesRow = [&](const std::string& label, const std::string& name) {
        out += csvfield::Quoted(label) + ", " + csvfield::Quoted(name) + "\r\n";
    };
    namesRow(customerLabel, doc.customer);
    namesRow(cableLabel, doc.cable);
    if (!doc.measData.empty())
        namesRow(measLabel, doc.measData);
    for (const QString& note : doc.notes)
        addRow(out, {QStringLiteral("判定"), note});
    out += "\r\n";
    addRow(out, doc.header);
    for (const QStringList& row : doc.rows)
        addRow(out, row);
    return out;
}

} // namespace analysisui
