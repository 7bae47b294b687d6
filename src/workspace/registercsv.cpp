// The cable register's CSV: writing, reading with a check of every row, and the import.
#include "workspace/registercsv.h"

#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "model/csvfield.h"
#include "model/cp932text.h"
#include "model/customerdb.h"

namespace ws {
namespace {

enum Column : int {
    ColCustomer,
    ColCable,
    ColLocation,
    ColVoltage,
    ColType,
    ColSection,
    ColLength,
    ColYear,
    ColImportance,
    ColInterval,
    ColPerson,
    ColRemarks,
    ColCount
};

constexpr int kCustomerLimit = 40, kCableLimit = 26; // CP932 bytes, as the tree's names

// UTF-8 text in CP932, a character without a CP932 form written as '?'.
std::string toCp932Lossy(std::string_view utf8)
{
    if (auto whole = cp932::fromUtf8(utf8))
        return *whole;
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        const std::optional<std::string> c = cp932::fromUtf8(utf8.substr(i, n));
        out += c ? *c : std::string("?");
        i += n;
    }
    return out;
}

std::string numberText(const std::optional<double>& v)
{
    return v ? RegisterNumberText(*v) : std::string();
}

std::string intText(const std::optional<int>& v)
{
    return v ? std::to_string(*v) : std::string();
}

// ---- Reading ------------------------------------------------------------------------------

struct Row {
    int line = 0; // where the row starts
    std::vector<std::string> fields;
};

// Splits UTF-8 text into rows of fields (quotes as written), each with its first line.
std::vector<Row> splitRows(std::string_view text, std::vector<RegisterCsvError>& errors)
{
    std::vector<Row> rows;
    Row row;
    std::string field;
    int line = 1;
    row.line = 1;
    bool quoted = false, wasQuoted = false;
    auto endField = [&] {
        row.fields.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        rows.push_back(std::move(row));
        row = Row{};
        row.line = line;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        switch (c) {
        case '"':
            if (field.find_first_not_of(" \t") == std::string::npos && !wasQuoted) {
                field.clear();
                quoted = wasQuoted = true;
            } else {
                field += c;
            }
            break;
        case ',': endField(); break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            [[fallthrough]];
        case '\n':
            ++line;
            endRow();
            break;
        default: field += c;
        }
    }
    if (quoted)
        errors.push_back({row.line, {}, "引用符（\"）が閉じていません"});
    if (!field.empty() || !row.fields.empty())
        endRow();
    return rows;
}

std::string trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    std::string out(text.substr(first, last - first + 1));
    // Full-width spaces at either end too.
    static const std::string kWide = "\xE3\x80\x80";
    while (out.size() >= 3 && out.compare(0, 3, kWide) == 0)
        out.erase(0, 3);
    while (out.size() >= 3 && out.compare(out.size() - 3, 3, kWide) == 0)
        out.erase(out.size() - 3);
    return out == text ? out : trim(out);
}

bool blank(const Row& row)
{
    for (const std::string& f : row.fields)
        if (!trim(f).empty())
            return false;
    return true;
}

std::string rangeText(double min, double max)
{
    return RegisterNumberText(min) + " から " + RegisterNumberText(max) + " までの";
}

struct RowReader {
    const Row& row;
    const std::vector<int>& columnOf; // Column -> field index, -1 when the file has none
    std::vector<RegisterCsvError>& errors;

    std::string Text(Column c) const
    {
        const int i = columnOf[c];
        return i < 0 || i >= static_cast<int>(row.fields.size()) ? std::string()
                                                                 : trim(row.fields[i]);
    }
    void Fail(Column c, std::string why) const
    {
        errors.push_back({row.line, RegisterCsvColumns()[c], std::move(why)});
    }
    std::optional<double> Number(Column c, double min, double max, bool whole) const
    {
        const std::string text = Text(c);
        if (text.empty())
            return std::nullopt;
        double v = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data() + (text[0] == '+' ? 1 : 0), end, v);
        if (ec != std::errc() || ptr != end || !std::isfinite(v)) {
            Fail(c, "数字ではありません（" + text + "）");
            return std::nullopt;
        }
        if (whole && v != std::floor(v)) {
            Fail(c, "整数ではありません（" + text + "）");
            return std::nullopt;
        }
        if (v < min || v > max) {
            Fail(c, rangeText(min, max) + (whole ? "整数" : "数字") + "にしてください（" + text +
                        "）");
            return std::nullopt;
        }
        return v;
    }
    std::optional<std::string> Name(Column c, int limit) const
    {
        const std::string text = Text(c);
        if (text.empty()) {
            Fail(c, "空欄です");
            return std::nullopt;
        }
        const std::optional<std::string> bytes = cp932::fromUtf8(text);
        if (!bytes) {
            Fail(c, "Shift-JIS にない文字があります（" + text + "）");
            return std::nullopt;
        }
        if (static_cast<int>(bytes->size()) > limit) {
            Fail(c, "長すぎます（" + std::to_string(limit) + " バイトまで）");
            return std::nullopt;
        }
        return bytes;
    }
};

std::optional<int> asInt(const std::optional<double>& v)
{
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

} // namespace

const std::vector<std::string>& RegisterCsvColumns()
{
    // The journal labels the same fields alike (RegisterDifferences).
    static const std::vector<std::string> kColumns{
        "需要家",         "ケーブル", "設置場所/系統", "電圧階級 (kV)",
        "ケーブル種類",   "導体断面 (sq)", "亘長 (m)", "布設年",
        "重要度",         "試験周期 (月)", "担当",     "備考"};
    return kColumns;
}

std::string RegisterCsvContent(const std::vector<CableRegisterEntry>& entries,
                               CsvEncoding encoding)
{
    const bool sjis = encoding == CsvEncoding::Cp932;
    // Names are the tree's CP932 bytes; the other texts are UTF-8.
    auto name = [&](const std::string& cp932) { return sjis ? cp932 : cp932::toUtf8(cp932); };
    auto text = [&](const std::string& utf8) { return sjis ? toCp932Lossy(utf8) : utf8; };
    std::string out = sjis ? std::string() : std::string("\xEF\xBB\xBF");
    for (std::size_t i = 0; i < RegisterCsvColumns().size(); ++i) {
        if (i)
            out += ',';
        csvfield::Append(out, text(RegisterCsvColumns()[i]));
    }
    out += "\r\n";
    for (const CableRegisterEntry& e : entries) {
        const std::string fields[ColCount] = {
            name(e.customer),       name(e.cable),          text(e.location),
            numberText(e.voltageKv), text(e.cableType),     numberText(e.crossSection),
            numberText(e.lengthM),  intText(e.installYear), e.importance,
            intText(e.intervalMonths), text(e.person),      text(e.remarks)};
        for (int i = 0; i < ColCount; ++i) {
            if (i)
                out += ',';
            csvfield::Append(out, fields[i]);
        }
        out += "\r\n";
    }
    return out;
}

std::string RegisterCsvErrorText(const RegisterCsvError& e)
{
    std::string out = std::to_string(e.line) + " 行目";
    if (!e.column.empty())
        out += "「" + e.column + "」";
    return out + ": " + e.why;
}

RegisterCsvRows ParseRegisterCsv(std::string_view bytes)
{
    RegisterCsvRows out;
    std::string text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        text = std::string(bytes.substr(3));
    else
        text = cp932::toUtf8(bytes);
    std::vector<Row> rows = splitRows(text, out.errors);
    if (rows.empty() || blank(rows.front())) {
        out.errors.push_back({1, {}, "見出しの行がありません"});
        return out;
    }

    // The header names the columns; their order is free and only the names are required.
    std::vector<int> columnOf(ColCount, -1);
    const Row& header = rows.front();
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string title = trim(header.fields[i]);
        if (title.empty())
            continue;
        int found = -1;
        for (int c = 0; c < ColCount; ++c)
            if (RegisterCsvColumns()[c] == title)
                found = c;
        if (found < 0)
            out.errors.push_back({header.line, title, "この列は台帳にありません"});
        else if (columnOf[found] >= 0)
            out.errors.push_back({header.line, title, "同じ列が二つあります"});
        else
            columnOf[found] = static_cast<int>(i);
    }
    for (Column c : {ColCustomer, ColCable})
        if (columnOf[c] < 0)
            out.errors.push_back({header.line, RegisterCsvColumns()[c], "列がありません"});
    if (!out.errors.empty())
        return out;

    std::map<std::pair<std::string, std::string>, int> seen;
    namespace lim = registerlimits;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const Row& row = rows[r];
        if (blank(row))
            continue;
        const std::size_t before = out.errors.size();
        RowReader read{row, columnOf, out.errors};
        if (row.fields.size() > header.fields.size())
            out.errors.push_back({row.line, {}, "見出しより列が多い行です"});
        CableRegisterEntry e;
        const std::optional<std::string> customer = read.Name(ColCustomer, kCustomerLimit);
        const std::optional<std::string> cable = read.Name(ColCable, kCableLimit);
        e.location = read.Text(ColLocation);
        e.voltageKv = read.Number(ColVoltage, 0, lim::kVoltageMax, false);
        e.cableType = read.Text(ColType);
        e.crossSection = read.Number(ColSection, 0, lim::kSectionMax, false);
        e.lengthM = read.Number(ColLength, 0, lim::kLengthMax, false);
        e.installYear = asInt(read.Number(ColYear, lim::kYearMin, lim::kYearMax, true));
        e.intervalMonths =
            asInt(read.Number(ColInterval, lim::kIntervalMin, lim::kIntervalMax, true));
        e.person = read.Text(ColPerson);
        e.remarks = read.Text(ColRemarks);
        // 重要度: A, B or C (lower case and full-width letters are taken as the same).
        const std::string importance = read.Text(ColImportance);
        static const std::pair<const char*, const char*> kLevels[] = {
            {"a", "A"}, {"b", "B"}, {"c", "C"}, {"Ａ", "A"}, {"Ｂ", "B"}, {"Ｃ", "C"},
            {"ａ", "A"}, {"ｂ", "B"}, {"ｃ", "C"}, {"A", "A"}, {"B", "B"}, {"C", "C"}};
        for (const auto& [as, is] : kLevels)
            if (importance == as)
                e.importance = is;
        if (!importance.empty() && e.importance.empty())
            read.Fail(ColImportance, "A、B、C のどれかにしてください（" + importance + "）");
        if (customer && cable) {
            e.customer = *customer;
            e.cable = *cable;
            const auto key = std::make_pair(RegisterNameKey(*customer), RegisterNameKey(*cable));
            const auto [at, added] = seen.emplace(key, row.line);
            if (!added)
                out.errors.push_back({row.line, {},
                                      "同じケーブルの行が " + std::to_string(at->second) +
                                          " 行目にもあります"});
        }
        if (out.errors.size() == before)
            out.entries.push_back(std::move(e));
    }
    if (!out.errors.empty())
        out.entries.clear();
    return out;
}

RegisterImport ImportRegisterCsv(CableRegister& reg, std::string_view bytes,
                                 const CCustomerDB* tree, const Actor& actor, int64_t now)
{
    RegisterImport result;
    RegisterCsvRows rows = ParseRegisterCsv(bytes);
    result.errors = std::move(rows.errors);
    if (!result.ok())
        return result;
    result.rows = static_cast<int>(rows.entries.size());
    if (tree)
        for (CableRegisterEntry& e : rows.entries) {
            const int c = tree->customers.Find(e.customer);
            const CCustomer* customer = c < 0 ? nullptr : &tree->customers.At(c);
            const int k = customer ? customer->cables.Find(e.cable) : -1;
            if (k < 0) {
                ++result.orphans;
                continue;
            }
            // The entry keeps the names as the tree spells them.
            e.customer = customer->name;
            e.cable = customer->cables.At(k).name;
        }
    result.changed = reg.EditMany(rows.entries, kind::RegisterImport,
                                  "ケーブル台帳の取り込み: " + std::to_string(result.rows) + " 件",
                                  actor, now);
    return result;
}

std::string RegisterImportSummary(const RegisterImport& r)
{
    std::string out = std::to_string(r.rows) + " 件を取り込みました（変更 " +
                      std::to_string(r.changed) + " 件";
    if (r.orphans > 0)
        out += "、ケーブルが見つからない台帳 " + std::to_string(r.orphans) + " 件";
    return out + "）";
}

} // namespace ws
