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

#include "model/conditionfields.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "jsonout.h"

namespace {

// ---- writing -------------------------------------------------------------------------------

using Layout = JsonOut::Layout;
using Scope = JsonOut::Scope;

// The condition block, four fields to a line.
void writeCondition(Scope&& c, const CTestCondition& k)
{
    int onLine = 0;
    for (const condfields::ConditionField& f : condfields::Fields()) {
        if (onLine == 4) {
            c.wrap();
            onLine = 0;
        }
        ++onLine;
        switch (f.kind) {
        case condfields::Kind::Integer: c.integer(f.key, k.*f.integer); break;
        case condfields::Kind::Number: c.number(f.key, k.*f.number); break;
        case condfields::Kind::Text: c.cp932(f.key, k.*f.text); break;
        }
    }
}

void writeTexts(Scope&& t, const CMeasRecord& r)
{
    t.cp932("TestVoltage", mxrfmt::TestVoltageText(r));
    t.cp932("TriggerLevel", mxrfmt::TriggerLevelText(r));
    t.cp932("LastCurrent", mxrfmt::LastCurrentText(r));
    t.cp932("LastCurrentJudged", mxrfmt::LastCurrentJudgedText(r));
    t.cp932("SeikyokuJudged", mxrfmt::SeikyokuJudgedText(r));
    t.cp932("JyakutenJudged", mxrfmt::JyakutenJudgedText(r));
    t.cp932("MeasuringTime", mxrfmt::MeasuringTimeText(r));
    t.cp932("StartDateTime", mxrfmt::StartDateTimeText(r));
    t.cp932("StartDate", mxrfmt::StartDateText(r));
    t.cp932("StartClock", mxrfmt::StartClockText(r));
    t.cp932("CabKind", mxrfmt::ConditionText(r.Condition));
    t.cp932("ShisuZetuen", mxrfmt::InsulationText(r.Condition.ShisuZetuen));
    t.cp932("SeikyokuCriterion", mxrfmt::SeikyokuCriterionText(r.Condition));
    t.cp932("JyakutenCriterion", mxrfmt::JyakutenCriterionText(r.Condition));
    t.cp932("LastCurrentCriterion", mxrfmt::LastCurrentCriterionText(r.Condition));
}

void writeRecord(Scope&& o, const CMeasRecord& r)
{
    o.integer("DataNo", r.DataNo);
    o.integer("StatusFlag", r.StatusFlag);
    o.integer("RangeFlag", r.RangeFlag);
    o.wrap();
    o.number("TestVoltage", r.TestVoltage);
    o.number("LastCurrent", r.LastCurrent);
    o.number("TriggerLevel", r.TriggerLevel);
    o.wrap();
    o.number("SeikyokuRatio", r.SeikyokuRatio);
    o.number("JyakutenRatio", r.JyakutenRatio);
    o.number("Reserved", r.Reserved);
    o.wrap();
    o.integer("UsedPoints", r.UsedPoints);
    o.integer("ShowSeikyoku", r.ShowSeikyoku);
    o.integer("ShowJyakuten", r.ShowJyakuten);
    o.wrap();
    {
        Scope start = o.object("StartTime", Layout::Inline);
        start.integer("status", r.StartTime.status);
        start.number("date", r.StartTime.date);
    }
    o.wrap();
    {
        Scope points = o.array("Points", Layout::Inline);
        for (const auto& p : r.Points) {
            Scope pair = points.array(Layout::Inline);
            pair.number(p.elapsed);
            pair.number(p.value.toDouble());
        }
    }
    o.wrap();
    {
        Scope triggers = o.array("Triggers", Layout::Inline);
        for (const CTriggerEvent& e : r.Triggers) {
            Scope triple = triggers.array(Layout::Inline);
            triple.number(e.start);
            triple.number(e.stop);
            triple.number(e.maximum.toDouble());
        }
    }
    o.wrap();
    writeCondition(o.object("Condition", Layout::Wrapped), r.Condition);
    o.wrap();
    writeTexts(o.object("Texts", Layout::Lines), r);
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
    for (const condfields::ConditionField& f : condfields::Fields()) {
        const std::string key(f.key);
        switch (f.kind) {
        case condfields::Kind::Integer: c.int32(key.c_str(), k.*f.integer); break;
        case condfields::Kind::Number: c.number(key.c_str(), k.*f.number); break;
        case condfields::Kind::Text: c.text(key.c_str(), k.*f.text); break;
        }
    }
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
    {
        Scope root = j.object(Layout::Lines);
        root.integer("version", version);
        {
            Scope comm = root.array("comm", Layout::Inline);
            for (int32_t v : db.comm.ToArray())
                comm.integer(v);
        }
        Scope customers = root.array("customers", Layout::Lines);
        for (int c = 0; c < db.customers.Count(); ++c) {
            const CCustomer& cu = db.customers.At(c);
            Scope co = customers.object(Layout::Inline);
            co.cp932("name", cu.name);
            Scope cables = co.array("cables", Layout::Lines);
            for (int k = 0; k < cu.cables.Count(); ++k) {
                const CCable& cable = cu.cables.At(k);
                Scope ko = cables.object(Layout::Inline);
                ko.cp932("name", cable.name);
                Scope sets = ko.array("sets", Layout::Lines);
                for (int s = 0; s < cable.sets.Count(); ++s) {
                    const CMeasData& set = cable.sets.At(s);
                    Scope so = sets.object(Layout::Inline);
                    so.cp932("name", set.name);
                    so.integer("ShowSeikyoku", set.ShowSeikyoku);
                    so.integer("ShowJyakuten", set.ShowJyakuten);
                    Scope records = so.array("records", Layout::Lines);
                    for (std::size_t i = 0; i < set.RecordCount(); ++i)
                        writeRecord(records.object(Layout::Wrapped), set.RecordAt(i));
                }
            }
        }
    }
    j.text += '\n';
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

void WriteRecordMembers(JsonOut::Scope&& o, const CMeasRecord& r)
{
    writeRecord(std::move(o), r);
}
