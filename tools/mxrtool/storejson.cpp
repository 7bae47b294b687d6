// Writing the tree as JSON and building it back from JSON.
#include "storejson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/cp932text.h"
#include "model/format.h"
#include "jsonout.h"

namespace {

// ---- writing -------------------------------------------------------------------------------

void writeCondition(JsonOut& j, const CTestCondition& c, int ind)
{
    j.text += '{';
    j.newline(ind + 1);
    j.integerField("CabKind", c.CabKind);
    j.numberField("CurrentR", c.CurrentR);
    j.numberField("CurrentS", c.CurrentS);
    j.numberField("CurrentT", c.CurrentT);
    j.newline(ind + 1);
    j.numberField("ShisuZetuen", c.ShisuZetuen);
    j.numberField("CabSectionalArea", c.CabSectionalArea);
    j.numberField("CabLength", c.CabLength);
    j.textField("Weather", c.Weather);
    j.newline(ind + 1);
    j.numberField("Temperature", c.Temperature);
    j.numberField("Humidity", c.Humidity);
    j.numberField("SeikyokuMin", c.SeikyokuMin);
    j.numberField("SeikyokuMax", c.SeikyokuMax);
    j.newline(ind + 1);
    j.numberField("JyakutenMin", c.JyakutenMin);
    j.numberField("JyakutenMax", c.JyakutenMax);
    j.numberField("LastCurrentMin", c.LastCurrentMin);
    j.numberField("LastCurrentMax", c.LastCurrentMax);
    j.newline(ind + 1);
    j.textField("Remarks", c.Remarks);
    j.key("Shindan");
    j.cp932(c.Shindan);
    j.newline(ind);
    j.text += '}';
}

void writeTexts(JsonOut& j, const CMeasRecord& r, int ind)
{
    const std::pair<const char*, std::string> texts[] = {
        {"TestVoltage", mxrfmt::TestVoltageText(r)},
        {"TriggerLevel", mxrfmt::TriggerLevelText(r)},
        {"LastCurrent", mxrfmt::LastCurrentText(r)},
        {"LastCurrentJudged", mxrfmt::LastCurrentJudgedText(r)},
        {"SeikyokuJudged", mxrfmt::SeikyokuJudgedText(r)},
        {"JyakutenJudged", mxrfmt::JyakutenJudgedText(r)},
        {"MeasuringTime", mxrfmt::MeasuringTimeText(r)},
        {"StartDateTime", mxrfmt::StartDateTimeText(r)},
        {"StartDate", mxrfmt::StartDateText(r)},
        {"StartClock", mxrfmt::StartClockText(r)},
        {"CabKind", mxrfmt::ConditionText(r.Condition)},
        {"ShisuZetuen", mxrfmt::InsulationText(r.Condition.ShisuZetuen)},
        {"SeikyokuCriterion", mxrfmt::SeikyokuCriterionText(r.Condition)},
        {"JyakutenCriterion", mxrfmt::JyakutenCriterionText(r.Condition)},
        {"LastCurrentCriterion", mxrfmt::LastCurrentCriterionText(r.Condition)},
    };
    j.text += '{';
    bool first = true;
    for (const auto& [k, v] : texts) {
        if (!first)
            j.text += ',';
        first = false;
        j.newline(ind + 1);
        j.key(k);
        j.cp932(v);
    }
    j.newline(ind);
    j.text += '}';
}

void writeRecord(JsonOut& j, const CMeasRecord& r, int ind)
{
    j.text += '{';
    j.newline(ind + 1);
    j.integerField("DataNo", r.DataNo);
    j.integerField("StatusFlag", r.StatusFlag);
    j.integerField("RangeFlag", r.RangeFlag);
    j.newline(ind + 1);
    j.numberField("TestVoltage", r.TestVoltage);
    j.numberField("LastCurrent", r.LastCurrent);
    j.numberField("TriggerLevel", r.TriggerLevel);
    j.newline(ind + 1);
    j.numberField("SeikyokuRatio", r.SeikyokuRatio);
    j.numberField("JyakutenRatio", r.JyakutenRatio);
    j.numberField("Reserved", r.Reserved);
    j.newline(ind + 1);
    j.integerField("UsedPoints", r.UsedPoints);
    j.integerField("ShowSeikyoku", r.ShowSeikyoku);
    j.integerField("ShowJyakuten", r.ShowJyakuten);
    j.newline(ind + 1);
    j.key("StartTime");
    j.text += "{\"status\": ";
    j.integer(r.StartTime.status);
    j.text += ", \"date\": ";
    j.number(r.StartTime.date);
    j.text += "},";
    j.newline(ind + 1);
    j.key("Points");
    j.text += '[';
    for (std::size_t i = 0; i < r.Points.size(); ++i) {
        j.text += i ? ", [" : "[";
        j.number(r.Points[i].elapsed);
        j.text += ", ";
        j.number(r.Points[i].value.toDouble());
        j.text += ']';
    }
    j.text += "],";
    j.newline(ind + 1);
    j.key("Triggers");
    j.text += '[';
    for (std::size_t i = 0; i < r.Triggers.size(); ++i) {
        const CTriggerEvent& e = r.Triggers[i];
        j.text += i ? ", [" : "[";
        j.number(e.start);
        j.text += ", ";
        j.number(e.stop);
        j.text += ", ";
        j.number(e.maximum.toDouble());
        j.text += ']';
    }
    j.text += "],";
    j.newline(ind + 1);
    j.key("Condition");
    writeCondition(j, r.Condition, ind + 1);
    j.text += ',';
    j.newline(ind + 1);
    j.key("Texts");
    writeTexts(j, r, ind + 1);
    j.newline(ind);
    j.text += '}';
}

// Writes the elements of a named list as a JSON array, each through f.
template <class T, class F> void writeList(JsonOut& j, const CNamedList<T>& list, int ind, F f)
{
    j.text += '[';
    for (int p = 0; p < list.Count(); ++p) {
        if (p)
            j.text += ',';
        j.newline(ind + 1);
        f(list.At(p), ind + 1);
    }
    if (list.Count())
        j.newline(ind);
    j.text += ']';
}

// ---- reading -------------------------------------------------------------------------------

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Reader {
public:
    explicit Reader(QJsonObject o, std::string where) : m_o(std::move(o)), m_where(std::move(where))
    {
    }

    void number(const char* key, double& out) const
    {
        if (m_o.contains(key))
            out = toNumber(m_o.value(key), m_where + "." + key);
    }
    void int32(const char* key, int32_t& out) const
    {
        if (!m_o.contains(key))
            return;
        const QJsonValue v = m_o.value(key);
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d) || d < std::numeric_limits<int32_t>::min() ||
            d > std::numeric_limits<int32_t>::max())
            throw JsonError(m_where + "." + key + ": not a 32-bit integer");
        out = static_cast<int32_t>(d);
    }
    void text(const char* key, std::string& out) const
    {
        if (!m_o.contains(key))
            return;
        const QJsonValue v = m_o.value(key);
        if (!v.isString())
            throw JsonError(m_where + "." + key + ": not a text");
        const QByteArray utf8 = v.toString().toUtf8();
        auto converted = cp932::fromUtf8(
            std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        if (!converted)
            throw JsonError(m_where + "." + key + ": text has no CP932 form");
        out = std::move(*converted);
    }
    QJsonArray array(const char* key) const
    {
        if (!m_o.contains(key))
            return {};
        if (!m_o.value(key).isArray())
            throw JsonError(m_where + "." + key + ": not an array");
        return m_o.value(key).toArray();
    }
    Reader object(const char* key) const
    {
        if (m_o.contains(key) && !m_o.value(key).isObject())
            throw JsonError(m_where + "." + key + ": not an object");
        return Reader(m_o.value(key).toObject(), m_where + "." + key);
    }
    const std::string& where() const { return m_where; }

    static double toNumber(const QJsonValue& v, const std::string& where)
    {
        if (v.isDouble())
            return v.toDouble();
        const QString s = v.toString();
        if (s == "NaN")
            return std::numeric_limits<double>::quiet_NaN();
        if (s == "Infinity")
            return std::numeric_limits<double>::infinity();
        if (s == "-Infinity")
            return -std::numeric_limits<double>::infinity();
        throw JsonError(where + ": not a number");
    }
    static Reader element(const QJsonArray& a, qsizetype i, const std::string& where)
    {
        const std::string at = where + "[" + std::to_string(i) + "]";
        if (!a.at(i).isObject())
            throw JsonError(at + ": not an object");
        return Reader(a.at(i).toObject(), at);
    }
    // An array of n numbers.
    static std::vector<double> tuple(const QJsonValue& v, std::size_t n, const std::string& where)
    {
        const QJsonArray a = v.toArray();
        if (!v.isArray() || static_cast<std::size_t>(a.size()) != n)
            throw JsonError(where + ": expected an array of " + std::to_string(n) + " numbers");
        std::vector<double> out;
        for (const QJsonValue& x : a)
            out.push_back(toNumber(x, where));
        return out;
    }

private:
    QJsonObject m_o;
    std::string m_where;
};

CMeasRecord readRecord(const Reader& in)
{
    CMeasRecord r;
    in.int32("DataNo", r.DataNo);
    in.int32("StatusFlag", r.StatusFlag);
    in.int32("RangeFlag", r.RangeFlag);
    in.number("TestVoltage", r.TestVoltage);
    in.number("LastCurrent", r.LastCurrent);
    in.number("TriggerLevel", r.TriggerLevel);
    in.number("SeikyokuRatio", r.SeikyokuRatio);
    in.number("JyakutenRatio", r.JyakutenRatio);
    in.number("Reserved", r.Reserved);
    in.int32("UsedPoints", r.UsedPoints);
    in.int32("ShowSeikyoku", r.ShowSeikyoku);
    in.int32("ShowJyakuten", r.ShowJyakuten);
    const Reader start = in.object("StartTime");
    start.int32("status", r.StartTime.status);
    start.number("date", r.StartTime.date);

    const QJsonArray points = in.array("Points");
    r.Points.reserve(static_cast<std::size_t>(points.size()));
    for (qsizetype i = 0; i < points.size(); ++i) {
        const auto v =
            Reader::tuple(points.at(i), 2, in.where() + ".Points[" + std::to_string(i) + "]");
        r.Points.push_back({CDataValue(v[1]), v[0]});
    }
    const QJsonArray triggers = in.array("Triggers");
    for (qsizetype i = 0; i < triggers.size(); ++i) {
        const auto v =
            Reader::tuple(triggers.at(i), 3, in.where() + ".Triggers[" + std::to_string(i) + "]");
        r.Triggers.push_back({CDataValue(v[2]), v[0], v[1]});
    }
    const Reader c = in.object("Condition");
    CTestCondition& k = r.Condition;
    c.int32("CabKind", k.CabKind);
    for (auto [key, field] : {std::pair{"CurrentR", &k.CurrentR},
                              {"CurrentS", &k.CurrentS},
                              {"CurrentT", &k.CurrentT},
                              {"ShisuZetuen", &k.ShisuZetuen},
                              {"CabSectionalArea", &k.CabSectionalArea},
                              {"CabLength", &k.CabLength},
                              {"Temperature", &k.Temperature},
                              {"Humidity", &k.Humidity},
                              {"SeikyokuMin", &k.SeikyokuMin},
                              {"SeikyokuMax", &k.SeikyokuMax},
                              {"JyakutenMin", &k.JyakutenMin},
                              {"JyakutenMax", &k.JyakutenMax},
                              {"LastCurrentMin", &k.LastCurrentMin},
                              {"LastCurrentMax", &k.LastCurrentMax}})
        c.number(key, *field);
    c.text("Weather", k.Weather);
    c.text("Remarks", k.Remarks);
    c.text("Shindan", k.Shindan);
    return r;
}

// Adds an entry under its name. The tree finds names with case and width folded, so a second
// name that folds equal to one already there would replace it: refused with both names.
template <class T> void putEntry(CNamedList<T>& list, T&& entry, const std::string& where)
{
    bool existed = false;
    const int p = list.FindOrInsert(entry.name, &existed);
    if (existed)
        throw JsonError(where + ": the name \"" + cp932::toUtf8(entry.name) +
                        "\" is the same as the name \"" + cp932::toUtf8(list.At(p).name) +
                        "\" before it (names are compared without the case of the letters A-Z)");
    list.At(p) = std::move(entry);
}

} // namespace

std::string StoreToJson(const CCustomerDB& db, int version)
{
    JsonOut j;
    j.text += "{";
    j.newline(1);
    j.key("version");
    j.integer(version);
    j.text += ',';
    j.newline(1);
    j.key("comm");
    j.text += '[';
    const auto comm = db.comm.ToArray();
    for (std::size_t i = 0; i < comm.size(); ++i) {
        if (i)
            j.text += ", ";
        j.integer(comm[i]);
    }
    j.text += "],";
    j.newline(1);
    j.key("customers");
    writeList(j, db.customers, 1, [&](const CCustomer& cu, int ind) {
        j.text += "{\"name\": ";
        j.cp932(cu.name);
        j.text += ", \"cables\": ";
        writeList(j, cu.cables, ind, [&](const CCable& k, int ind2) {
            j.text += "{\"name\": ";
            j.cp932(k.name);
            j.text += ", \"sets\": ";
            writeList(j, k.sets, ind2, [&](const CMeasData& s, int ind3) {
                j.text += "{\"name\": ";
                j.cp932(s.name);
                j.text += ", \"ShowSeikyoku\": ";
                j.integer(s.ShowSeikyoku);
                j.text += ", \"ShowJyakuten\": ";
                j.integer(s.ShowJyakuten);
                j.text += ", \"records\": [";
                for (std::size_t i = 0; i < s.RecordCount(); ++i) {
                    if (i)
                        j.text += ',';
                    j.newline(ind3 + 1);
                    writeRecord(j, s.RecordAt(i), ind3 + 1);
                }
                if (s.RecordCount())
                    j.newline(ind3);
                j.text += "]}";
            });
            j.text += '}';
        });
        j.text += '}';
    });
    j.newline(0);
    j.text += "}\n";
    return std::move(j.text);
}

bool StoreFromJson(const QByteArray& json, CCustomerDB& db, std::string& error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull() || !doc.isObject()) {
        error = doc.isNull() ? "not valid JSON: " + parseError.errorString().toStdString() +
                                   " at offset " + std::to_string(parseError.offset)
                             : "the document is not a JSON object";
        return false;
    }
    try {
        CCustomerDB out;
        const Reader root(doc.object(), "$");
        const QJsonArray comm = root.array("comm");
        if (!comm.isEmpty()) {
            if (comm.size() != 6)
                throw JsonError("$.comm: expected six integers");
            std::array<int32_t, 6> v{};
            for (int i = 0; i < 6; ++i) {
                const double d = comm.at(i).toDouble();
                if (!comm.at(i).isDouble() || d != std::floor(d) || std::fabs(d) > 2147483647.0)
                    throw JsonError("$.comm: expected six integers");
                v[static_cast<std::size_t>(i)] = static_cast<int32_t>(d);
            }
            out.comm = CCommSetting::FromArray(v);
        }
        const QJsonArray customers = root.array("customers");
        for (qsizetype c = 0; c < customers.size(); ++c) {
            const Reader cin = Reader::element(customers, c, "$.customers");
            CCustomer customer;
            cin.text("name", customer.name);
            const QJsonArray cables = cin.array("cables");
            for (qsizetype k = 0; k < cables.size(); ++k) {
                const Reader kin = Reader::element(cables, k, cin.where() + ".cables");
                CCable cable;
                kin.text("name", cable.name);
                const QJsonArray sets = kin.array("sets");
                for (qsizetype s = 0; s < sets.size(); ++s) {
                    const Reader sin = Reader::element(sets, s, kin.where() + ".sets");
                    CMeasData set;
                    sin.text("name", set.name);
                    sin.int32("ShowSeikyoku", set.ShowSeikyoku);
                    sin.int32("ShowJyakuten", set.ShowJyakuten);
                    const QJsonArray records = sin.array("records");
                    for (qsizetype r = 0; r < records.size(); ++r)
                        set.AppendRecord(
                            readRecord(Reader::element(records, r, sin.where() + ".records")));
                    putEntry(cable.sets, std::move(set), sin.where());
                }
                putEntry(customer.cables, std::move(cable), kin.where());
            }
            putEntry(out.customers, std::move(customer), cin.where());
        }
        db = std::move(out);
        return true;
    } catch (const JsonError& e) {
        error = e.what();
        return false;
    }
}

std::string RecordToJson(const CMeasRecord& r, int indent)
{
    JsonOut j;
    writeRecord(j, r, indent);
    return j.text;
}
