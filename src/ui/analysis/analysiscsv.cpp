// The CSV file of an analysis window.
#include "ui/analysis/analysiscsv.h"

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

// One field as the file writes it (CP932 in, CP932 out).
std::string CsvField(const std::string& cp932)
{
    // Trail bytes of CP932 double-byte characters never take the values of ',', '"', CR or LF
    // (they start at 0x40), so a byte scan is safe.
    if (cp932.find_first_of(",\"\r\n") == std::string::npos)
        return cp932;
    std::string out = "\"";
    for (char c : cp932) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void addRow(std::string& out, const QStringList& fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += CsvField(toCp932(fields[i]));
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
        out += CsvField(label) + ", " + CsvField(name) + "\r\n";
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
