// The import merge over a copy of the document's tree.
#include "exchange/importmerge.h"

#include "model/cp932text.h"

#include <cmath>
#include <utility>

namespace {

class Merger {
public:
    Merger(const LevelTitles& titles, CImportQuestions& questions)
        : m_customerTitle(LevelTitle(titles.customer, cp932::lit("需要家"))),
          m_cableTitle(LevelTitle(titles.cable, cp932::lit("ケーブル"))),
          m_setTitle(LevelTitle(titles.measurement, cp932::lit("測定データ"))),
          m_questions(questions)
    {
    }

    bool customers(CNamedList<CCustomer>& to, const CNamedList<CCustomer>& from)
    {
        return merge(to, from, m_customerTitle, noNote<CCustomer>,
                     [this](CCustomer& dst, const CCustomer& src) {
                         return cables(dst.cables, src.cables);
                     });
    }

    bool cables(CNamedList<CCable>& to, const CNamedList<CCable>& from)
    {
        return merge(to, from, m_cableTitle, noNote<CCable>,
                     [this](CCable& dst, const CCable& src) { return sets(dst.sets, src.sets); });
    }

    bool sets(CNamedList<CMeasData>& to, const CNamedList<CMeasData>& from)
    {
        return merge(
            to, from, m_setTitle,
            [](const CMeasData& dst, const CMeasData& src) {
                return ConditionChangeNote(changedParts(dst, src));
            },
            [](CMeasData& dst, const CMeasData& src) {
                records(dst, src);
                return true;
            });
    }

    // What the set's conditions would change in the imported records (0 for an empty set,
    // whose records keep their own).
    static int changedParts(const CMeasData& to, const CMeasData& from)
    {
        if (to.RecordCount() == 0)
            return 0;
        return ConditionDifferences(to.RecordAt(0).Condition, from.Records());
    }

    static void records(CMeasData& to, const CMeasData& from)
    {
        const bool shared = to.RecordCount() > 0;
        const CTestCondition condition = shared ? to.RecordAt(0).Condition : CTestCondition{};
        for (const CMeasRecord& r : from.Records()) {
            const std::size_t at = to.InsertRecord(r);
            if (shared)
                to.RecordAt(at).Condition = condition;
        }
    }

private:
    template <class T> static std::string noNote(const T&, const T&) { return {}; }

    // New names are added whole; an existing name is merged into after a Yes, the question
    // carrying what note(existing, imported) adds. False after a No.
    template <class T, class Note, class MergeChildren>
    bool merge(CNamedList<T>& to, const CNamedList<T>& from, const std::string& title, Note note,
               MergeChildren mergeChildren)
    {
        for (int p = 0; p < from.Count(); ++p) {
            const T& src = from.At(p);
            bool existed = false;
            const int at = to.FindOrInsert(src.name, &existed);
            if (!existed) {
                to.At(at) = src;
                continue;
            }
            const std::string question =
                ImportConflictQuestion(title, src.name) + note(to.At(at), src);
            if (!m_questions.ConfirmMerge(question))
                return false;
            if (!mergeChildren(to.At(at), src))
                return false;
        }
        return true;
    }

    std::string m_customerTitle;
    std::string m_cableTitle;
    std::string m_setTitle;
    CImportQuestions& m_questions;
};

CCustomer* customerAt(CCustomerDB& db, const ExchangeNode& n)
{
    return &db.customers.At(n.customer);
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

int ConditionDifferences(const CTestCondition& kept, const std::vector<CMeasRecord>& imported)
{
    int parts = 0;
    for (const CMeasRecord& r : imported) {
        const CTestCondition& c = r.Condition;
        if (c.CabKind != kept.CabKind || c.Shindan != kept.Shindan ||
            !sameNumber(c.CabSectionalArea, kept.CabSectionalArea) ||
            !sameNumber(c.CabLength, kept.CabLength) || c.Weather != kept.Weather ||
            !sameNumber(c.Temperature, kept.Temperature) ||
            !sameNumber(c.Humidity, kept.Humidity) || c.Remarks != kept.Remarks)
            parts |= TestConditions;
        if (!sameNumber(c.CurrentR, kept.CurrentR) || !sameNumber(c.CurrentS, kept.CurrentS) ||
            !sameNumber(c.CurrentT, kept.CurrentT) || !sameNumber(c.ShisuZetuen, kept.ShisuZetuen))
            parts |= ShieldCurrents;
        if (!sameNumber(c.SeikyokuMin, kept.SeikyokuMin) ||
            !sameNumber(c.SeikyokuMax, kept.SeikyokuMax) ||
            !sameNumber(c.JyakutenMin, kept.JyakutenMin) ||
            !sameNumber(c.JyakutenMax, kept.JyakutenMax) ||
            !sameNumber(c.LastCurrentMin, kept.LastCurrentMin) ||
            !sameNumber(c.LastCurrentMax, kept.LastCurrentMax))
            parts |= Criteria;
    }
    return parts;
}

std::string ConditionPartNames(int parts)
{
    const std::pair<int, const char*> names[] = {
        {TestConditions, "試験条件"}, {ShieldCurrents, "シールド漏れ電流"}, {Criteria, "判定基準"}};
    std::string out;
    for (const auto& [bit, name] : names) {
        if (!(parts & bit))
            continue;
        if (!out.empty())
            out += cp932::lit("、");
        out += cp932::lit(name);
    }
    return out;
}

std::string ConditionChangeNote(int parts)
{
    if (parts == 0)
        return {};
    return cp932::lit("\r\n※取り込むデータの条件は取り込み先と異なります。\r\n追加すると次の項目は"
                      "取り込み先の値に置き換わります：") +
           ConditionPartNames(parts) + "\r\n";
}

std::string ConditionChangeQuestion(const std::string& setName, int parts)
{
    return cp932::lit("取り込むデータの条件は取り込み先「 ") + setName +
           cp932::lit(" 」と異なります\r\n取り込むと次の項目は取り込み先の値に置き換わります：") +
           ConditionPartNames(parts) + cp932::lit("\r\nこのまま取り込みますか？\r\n");
}

std::string ImportConflictQuestion(const std::string& levelTitle, const std::string& name)
{
    const std::string& t = levelTitle;
    return cp932::lit("取り込む「") + t + cp932::lit("」名称は既に存在しています\r\n■「 ") + name +
           cp932::lit(" 」\r\n同じ「") + t +
           cp932::lit("」データとして追加しますか？\r\n新たな「") + t +
           cp932::lit("」名称で追加する場合「いいえ」を押して処理を中断し\r\n新たな「") + t +
           cp932::lit("」名称を作成してからもう一度取り込みを行ってください\r\n");
}

ImportResult MergeImport(const CCustomerDB& document, const ExchangeNode& destination,
                         const CCustomerDB& importTree, int fileLevel, const LevelTitles& titles,
                         CImportQuestions& questions)
{
    ImportResult result;
    // The imported children: the import tree holds one entry at each level above them.
    const CNamedList<CCustomer>& customers = importTree.customers;
    const CCustomer* c = customers.Count() > 0 ? &customers.At(0) : nullptr;
    const CCable* k = c && c->cables.Count() > 0 ? &c->cables.At(0) : nullptr;
    const CMeasData* s = k && k->sets.Count() > 0 ? &k->sets.At(0) : nullptr;
    bool any = false;
    switch (fileLevel) {
    case ExchangeNode::Root: any = customers.Count() > 0; break;
    case ExchangeNode::Customer: any = c && c->cables.Count() > 0; break;
    case ExchangeNode::Cable: any = k && k->sets.Count() > 0; break;
    case ExchangeNode::MeasData: any = s && s->RecordCount() > 0; break;
    default: break;
    }
    if (!any)
        return result;
    if (destination.level == ExchangeNode::None) {
        result.status = ImportStatus::NoDestination;
        return result;
    }
    if (destination.level != fileLevel || !NodeExists(document, destination)) {
        result.status = ImportStatus::WrongLevel;
        return result;
    }

    CCustomerDB merged = document; // all merging happens on the copy
    Merger merger(titles, questions);
    bool completed = false;
    switch (fileLevel) {
    case ExchangeNode::Root: completed = merger.customers(merged.customers, customers); break;
    case ExchangeNode::Customer:
        completed = merger.cables(customerAt(merged, destination)->cables, c->cables);
        break;
    case ExchangeNode::Cable:
        completed = merger.sets(customerAt(merged, destination)->cables.At(destination.cable).sets,
                                k->sets);
        break;
    case ExchangeNode::MeasData: {
        CMeasData& target =
            customerAt(merged, destination)->cables.At(destination.cable).sets.At(destination.set);
        const int parts = Merger::changedParts(target, *s);
        completed =
            parts == 0 || questions.ConfirmConditions(ConditionChangeQuestion(target.name, parts));
        if (completed)
            Merger::records(target, *s);
        break;
    }
    default: break;
    }
    if (!completed) {
        result.status = ImportStatus::Declined;
        return result;
    }
    result.status = ImportStatus::Done;
    result.merged = std::move(merged);
    return result;
}
