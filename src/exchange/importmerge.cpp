// The import merge over a copy of the document's tree.
#include "exchange/importmerge.h"

#include "model/cp932text.h"

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
        return merge(to, from, m_customerTitle, [this](CCustomer& dst, const CCustomer& src) {
            return cables(dst.cables, src.cables);
        });
    }

    bool cables(CNamedList<CCable>& to, const CNamedList<CCable>& from)
    {
        return merge(to, from, m_cableTitle,
                     [this](CCable& dst, const CCable& src) { return sets(dst.sets, src.sets); });
    }

    bool sets(CNamedList<CMeasData>& to, const CNamedList<CMeasData>& from)
    {
        return merge(to, from, m_setTitle, [](CMeasData& dst, const CMeasData& src) {
            records(dst, src);
            return true;
        });
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
    // New names are added whole; an existing name is merged into after a Yes. False after a No.
    template <class T, class MergeChildren>
    bool merge(CNamedList<T>& to, const CNamedList<T>& from, const std::string& title,
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
            if (!m_questions.ConfirmMerge(ImportConflictQuestion(title, src.name)))
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

} // namespace

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
    case ExchangeNode::MeasData:
        Merger::records(
            customerAt(merged, destination)->cables.At(destination.cable).sets.At(destination.set),
            *s);
        completed = true;
        break;
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
