// The children list of a tree node and the exchange tree built from its checked rows.
#include "exchange/exchangetree.h"

#include "model/cp932text.h"
#include "model/format.h"

namespace {

// The collections reached through a node, or nullptr when its positions do not exist.
const CCustomer* customerOf(const CCustomerDB& db, const ExchangeNode& n)
{
    if (n.customer < 0 || n.customer >= db.customers.Count())
        return nullptr;
    return &db.customers.At(n.customer);
}

const CCable* cableOf(const CCustomerDB& db, const ExchangeNode& n)
{
    const CCustomer* c = customerOf(db, n);
    if (!c || n.cable < 0 || n.cable >= c->cables.Count())
        return nullptr;
    return &c->cables.At(n.cable);
}

const CMeasData* setOf(const CCustomerDB& db, const ExchangeNode& n)
{
    const CCable* k = cableOf(db, n);
    if (!k || n.set < 0 || n.set >= k->sets.Count())
        return nullptr;
    return &k->sets.At(n.set);
}

// A set with its name and display flags but no records.
CMeasData emptiedCopy(const CMeasData& set)
{
    CMeasData copy;
    copy.name = set.name;
    copy.ShowSeikyoku = set.ShowSeikyoku;
    copy.ShowJyakuten = set.ShowJyakuten;
    return copy;
}

// Copies the checked elements of a named list whole into another named list.
template <class T>
void copyChecked(const CNamedList<T>& from, const std::vector<int>& rows, CNamedList<T>& to)
{
    for (int row : rows) {
        if (row < 0 || row >= from.Count())
            continue;
        const T& element = from.At(row);
        to.At(to.FindOrInsert(element.name)) = element;
    }
}

bool anyIn(const std::vector<int>& rows, int count)
{
    for (int row : rows)
        if (row >= 0 && row < count)
            return true;
    return false;
}

} // namespace

std::string LevelTitle(const std::string& configured, const std::string& defaultText)
{
    return configured.empty() ? defaultText : configured;
}

bool NodeExists(const CCustomerDB& db, const ExchangeNode& node)
{
    switch (node.level) {
    case ExchangeNode::Root: return true;
    case ExchangeNode::Customer: return customerOf(db, node) != nullptr;
    case ExchangeNode::Cable: return cableOf(db, node) != nullptr;
    case ExchangeNode::MeasData: return setOf(db, node) != nullptr;
    default: return false;
    }
}

std::string ChildListLayout(const ExchangeNode& node, const LevelTitles& titles)
{
    std::string title;
    switch (node.level) {
    case ExchangeNode::Root: title = LevelTitle(titles.customer, cp932::lit("需要家名称")); break;
    case ExchangeNode::Customer:
        title = LevelTitle(titles.cable, cp932::lit("ケーブル名称"));
        break;
    case ExchangeNode::Cable:
        title = LevelTitle(titles.measurement, cp932::lit("測定データ名称"));
        break;
    case ExchangeNode::MeasData:
        return cp932::lit("x, 25;測定日時, 145, 0;最終値, 140, 0;試験電圧, 75, 0;ﾄﾘｶﾞ設定, 70, "
                          "0;成極比, 75, 0;弱点比, 75, 0;");
    default: return {};
    }
    return "x, 25;" + title + ", 500, 0;";
}

std::vector<std::vector<std::string>> ChildListRows(const CCustomerDB& db, const ExchangeNode& node)
{
    std::vector<std::vector<std::string>> rows;
    auto names = [&rows](const auto& list) {
        for (int p = 0; p < list.Count(); ++p)
            rows.push_back({list.At(p).name});
    };
    switch (node.level) {
    case ExchangeNode::Root: names(db.customers); break;
    case ExchangeNode::Customer:
        if (const CCustomer* c = customerOf(db, node))
            names(c->cables);
        break;
    case ExchangeNode::Cable:
        if (const CCable* k = cableOf(db, node))
            names(k->sets);
        break;
    case ExchangeNode::MeasData:
        if (const CMeasData* s = setOf(db, node)) {
            for (const CMeasRecord& r : s->Records())
                rows.push_back(
                    {mxrfmt::StartDateTimeText(r),
                     mxrfmt::MeasuringTimeText(r) + "," + mxrfmt::LastCurrentJudgedText(r),
                     mxrfmt::TestVoltageText(r), mxrfmt::TriggerLevelText(r),
                     mxrfmt::SeikyokuJudgedText(r), mxrfmt::JyakutenJudgedText(r)});
        }
        break;
    default: break;
    }
    return rows;
}

CCustomerDB BuildExchangeTree(const CCustomerDB& source, const ExchangeNode& node,
                              const std::vector<int>& checkedRows)
{
    CCustomerDB out; // a new root: default serial-link settings, not the source's
    switch (node.level) {
    case ExchangeNode::Root: copyChecked(source.customers, checkedRows, out.customers); break;
    case ExchangeNode::Customer: {
        const CCustomer* c = customerOf(source, node);
        if (!c || !anyIn(checkedRows, c->cables.Count()))
            break;
        CCustomer& cc = out.customers.At(out.customers.FindOrInsert(c->name));
        copyChecked(c->cables, checkedRows, cc.cables);
        break;
    }
    case ExchangeNode::Cable: {
        const CCable* k = cableOf(source, node);
        if (!k || !anyIn(checkedRows, k->sets.Count()))
            break;
        CCustomer& cc =
            out.customers.At(out.customers.FindOrInsert(customerOf(source, node)->name));
        CCable& kc = cc.cables.At(cc.cables.FindOrInsert(k->name));
        copyChecked(k->sets, checkedRows, kc.sets);
        break;
    }
    case ExchangeNode::MeasData: {
        const CMeasData* s = setOf(source, node);
        if (!s || !anyIn(checkedRows, static_cast<int>(s->RecordCount())))
            break;
        CCustomer& cc =
            out.customers.At(out.customers.FindOrInsert(customerOf(source, node)->name));
        CCable& kc = cc.cables.At(cc.cables.FindOrInsert(cableOf(source, node)->name));
        CMeasData& sc = kc.sets.At(kc.sets.FindOrInsert(s->name));
        sc = emptiedCopy(*s);
        for (int row : checkedRows)
            if (row >= 0 && static_cast<std::size_t>(row) < s->RecordCount())
                sc.InsertRecord(s->RecordAt(static_cast<std::size_t>(row)));
        break;
    }
    default: break;
    }
    return out;
}

std::string ExportDefaultFileName(const OleDateTime& now)
{
    return "MX_" + now.format("%Y%m%d_%H%M%S") + ".dat";
}
