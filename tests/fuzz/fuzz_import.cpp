// links: mxr_exchange mxr_store mxr_model
// libFuzzer target for the export-file import: the bytes are read as an export file, and its
// whole tree, then the first customer's cables, the first cable's sets and the first set's
// measurements are merged into a small document tree, once answering Yes to every question
// and once answering No. A completed merge holds every record of both trees and writes a
// store that reads back; a declined one hands nothing over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string_view>
#include <vector>

#include "exchange/exchangetree.h"
#include "exchange/importmerge.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

class FixedAnswer : public CImportQuestions {
public:
    explicit FixedAnswer(bool yes) : m_yes(yes) {}
    bool ConfirmMerge(const std::string& question) override
    {
        if (question.empty())
            std::abort();
        return m_yes;
    }
    bool ConfirmConditions(const std::string& question) override
    {
        if (question.empty())
            std::abort();
        return m_yes;
    }

private:
    bool m_yes;
};

std::size_t recordCount(const CCustomerDB& db)
{
    std::size_t n = 0;
    for (int c = 0; c < db.customers.Count(); ++c)
        for (int k = 0; k < db.customers.At(c).cables.Count(); ++k)
            for (int s = 0; s < db.customers.At(c).cables.At(k).sets.Count(); ++s)
                n += db.customers.At(c).cables.At(k).sets.At(s).RecordCount();
    return n;
}

// Two customers; the first with a cable "K" holding a set "S" of one record, so that names a
// file shares with it lead to questions at every level.
const CCustomerDB& documentTree()
{
    static const CCustomerDB db = [] {
        CCustomerDB d;
        for (const char* name : {"A", "B"}) {
            CCustomer& c = d.customers.At(d.customers.FindOrInsert(name));
            c.name = name;
        }
        CCable& k = d.customers.At(0).cables.At(d.customers.At(0).cables.FindOrInsert("K"));
        k.name = "K";
        CMeasData& s = k.sets.At(k.sets.FindOrInsert("S"));
        s.name = "S";
        CMeasRecord r;
        r.TestVoltage = 2.0;
        for (int i = 1; i <= 10; ++i)
            r.Points.push_back({CDataValue(1.0 / i), i * 0.2});
        r.UsedPoints = 10;
        s.AppendRecord(r);
        return d;
    }();
    return db;
}

std::vector<int> allRows(std::size_t n)
{
    std::vector<int> rows(n);
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// Merges the checked rows of a file node into the destination at the same level and checks the
// outcome against the number of records taken.
void mergeAndCheck(const CCustomerDB& file, const ExchangeNode& fileNode,
                   const ExchangeNode& destination)
{
    const CCustomerDB& doc = documentTree();
    // The list the dialog would show, with its texts of every measurement.
    const auto rows = ChildListRows(file, fileNode);
    const CCustomerDB taken = BuildExchangeTree(file, fileNode, allRows(rows.size()));
    for (bool yes : {true, false}) {
        FixedAnswer answer(yes);
        const ImportResult result =
            MergeImport(doc, destination, taken, fileNode.level, LevelTitles{}, answer);
        if (result.status != ImportStatus::Done) {
            if (recordCount(result.merged) != 0 || result.merged.customers.Count() != 0)
                std::abort(); // nothing of a refused import may reach the document
            continue;
        }
        if (recordCount(result.merged) != recordCount(doc) + recordCount(taken))
            std::abort();
        CCustomerDB again;
        if (!LoadStoreFromBytes(again, SaveStoreToBytes(result.merged)).ok)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCustomerDB file;
    if (!LoadStoreFromBytes(file, std::string_view(reinterpret_cast<const char*>(data), size)).ok)
        return 0;
    mergeAndCheck(file, ExchangeNode::root(), ExchangeNode::root());
    if (file.customers.Count() == 0)
        return 0;
    mergeAndCheck(file, ExchangeNode::ofCustomer(0), ExchangeNode::ofCustomer(0));
    if (file.customers.At(0).cables.Count() == 0)
        return 0;
    mergeAndCheck(file, ExchangeNode::ofCable(0, 0), ExchangeNode::ofCable(0, 0));
    if (file.customers.At(0).cables.At(0).sets.Count() == 0)
        return 0;
    mergeAndCheck(file, ExchangeNode::ofSet(0, 0, 0), ExchangeNode::ofSet(0, 0, 0));
    return 0;
}
