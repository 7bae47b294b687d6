// The import merge: new names added whole, existing names merged after a Yes, a No anywhere
// leaving nothing, and the level checks.
#include <gtest/gtest.h>

#include "exchange/importmerge.h"
#include "exchangefixture.h"
#include "model/cp932text.h"

using cp932::lit;
using xtest::record;
using xtest::sampleTree;
using xtest::ScriptedQuestions;
using xtest::set;

namespace {

const LevelTitles kNoTitles;

ImportResult importAll(const CCustomerDB& doc, const CCustomerDB& file, ScriptedQuestions& q)
{
    const CCustomerDB tree = BuildExchangeTree(file, ExchangeNode::root(), {0, 1, 2, 3});
    return MergeImport(doc, ExchangeNode::root(), tree, ExchangeNode::Root, kNoTitles, q);
}

TEST(ImportMerge, NewCustomersAreAddedWholeInSortedPlace)
{
    CCustomerDB doc;
    doc.comm.port = 3;
    set(doc, "Alpha", "k", "s").InsertRecord(record(1.0, 9));
    set(doc, "Gamma", "k", "s");
    ScriptedQuestions q;
    const ImportResult r = importAll(doc, sampleTree(), q);
    ASSERT_EQ(ImportStatus::Done, r.status);
    EXPECT_TRUE(q.asked.empty());
    EXPECT_EQ(3, r.merged.comm.port); // the document's settings, not the file's
    ASSERT_EQ(4, r.merged.customers.Count());
    EXPECT_EQ("Alpha", r.merged.customers.At(0).name);
    EXPECT_EQ("Beta", r.merged.customers.At(1).name);
    EXPECT_EQ("Gamma", r.merged.customers.At(2).name);
    EXPECT_EQ(sampleTree().customers.At(1), r.merged.customers.At(3));
}

TEST(ImportMerge, YesMergesLevelByLevelDownToTheMeasurements)
{
    CCustomerDB doc;
    CMeasData& existing = set(doc, lit("顧客Ａ"), "cv-1", lit("2024春")); // case-folded match
    existing.InsertRecord(record(4.0, 20));
    ScriptedQuestions q;
    q.answers = {true, true, true}; // customer, cable, set
    const CCustomerDB file = sampleTree();
    const CCustomerDB tree = BuildExchangeTree(file, ExchangeNode::root(), {1});
    const ImportResult r =
        MergeImport(doc, ExchangeNode::root(), tree, ExchangeNode::Root, kNoTitles, q);
    ASSERT_EQ(ImportStatus::Done, r.status);
    ASSERT_EQ(3u, q.asked.size());
    EXPECT_NE(std::string::npos, q.asked[0].find(lit("「 顧客Ａ 」")));
    EXPECT_NE(std::string::npos, q.asked[1].find(lit("「 CV-1 」")));
    EXPECT_NE(std::string::npos, q.asked[2].find(lit("「 2024春 」")));

    const CCustomer& c = r.merged.customers.At(0);
    ASSERT_EQ(2, c.cables.Count());         // CV-2 added
    EXPECT_EQ("cv-1", c.cables.At(0).name); // the existing entry keeps its name
    const CCable& k = c.cables.At(0);
    ASSERT_EQ(2, k.sets.Count()); // 2024秋 added whole
    const CMeasData& merged = k.sets.At(k.sets.Find(lit("2024春")));
    std::vector<double> kv;
    for (const CMeasRecord& m : merged.Records())
        kv.push_back(m.TestVoltage);
    EXPECT_EQ((std::vector<double>{3.0, 4.0, 6.0, 9.0}), kv);
}

TEST(ImportMerge, NoAtAnyQuestionDropsTheWholeImport)
{
    // Two conflicting customers: Yes to the first, No to the second.
    CCustomerDB doc;
    set(doc, "Beta", "other", "s");
    set(doc, lit("顧客Ａ"), "CV-9", "s");
    ScriptedQuestions q;
    q.answers = {true, false};
    const ImportResult r = importAll(doc, sampleTree(), q);
    EXPECT_EQ(ImportStatus::Declined, r.status);
    EXPECT_EQ(2u, q.asked.size());
    EXPECT_EQ(0, r.merged.customers.Count());
}

TEST(ImportMerge, ImportingTwiceDoublesTheMeasurements)
{
    const CCustomerDB file = sampleTree();
    ScriptedQuestions q;
    q.answers.assign(20, true);
    const ImportResult once = importAll(CCustomerDB{}, file, q);
    ASSERT_EQ(ImportStatus::Done, once.status);
    const ImportResult twice = importAll(once.merged, file, q);
    ASSERT_EQ(ImportStatus::Done, twice.status);
    EXPECT_EQ(2 * file.RecordCount(), twice.merged.RecordCount());
}

TEST(ImportMerge, MeasurementsGoIntoTheChosenSetWithItsConditions)
{
    const CCustomerDB file = sampleTree();
    const ExchangeNode fileSet = ExchangeNode::ofSet(1, 0, 1); // 2024春: 3, 6, 9 kV
    const CCustomerDB tree = BuildExchangeTree(file, fileSet, {0, 2});

    CCustomerDB doc;
    CMeasData& target = set(doc, "Z", "k", lit("別名"));
    CMeasRecord mine = record(5.0, 30);
    mine.Condition.Weather = lit("晴");
    mine.Condition.SeikyokuMin = 0.8;
    target.InsertRecord(mine);
    ScriptedQuestions q;
    q.answers = {true};
    const ImportResult r =
        MergeImport(doc, ExchangeNode::ofSet(0, 0, 0), tree, ExchangeNode::MeasData, kNoTitles, q);
    ASSERT_EQ(ImportStatus::Done, r.status);
    // No duplicate check at this level, but the user is told which conditions change.
    ASSERT_EQ(1u, q.asked.size());
    EXPECT_EQ(
        lit("取り込むデータの条件は取り込み先「 別名 」と異なります\r\n取り込むと次の項目は"
            "取り込み先の値に置き換わります：試験条件、判定基準\r\nこのまま取り込みますか？\r\n"),
        q.asked[0]);
    const CMeasData& s = r.merged.customers.At(0).cables.At(0).sets.At(0);
    ASSERT_EQ(3u, s.RecordCount());
    EXPECT_EQ(3.0, s.RecordAt(0).TestVoltage);
    EXPECT_EQ(2, s.RecordAt(0).DataNo);
    EXPECT_EQ(9.0, s.RecordAt(2).TestVoltage);
    // The existing record's conditions stay those of the set, also when a lower voltage
    // comes first.
    for (const CMeasRecord& m : s.Records())
        EXPECT_EQ(mine.Condition, m.Condition);
    EXPECT_EQ(file.customers.At(1).cables.At(0).sets.At(1).RecordAt(0).LastCurrent,
              s.RecordAt(0).LastCurrent);
}

TEST(ImportMerge, DifferingConditionsAreNamedBeforeTheImportAndNoCancelsIt)
{
    const CCustomerDB file = sampleTree(); // every record with the default conditions
    const CCustomerDB records = BuildExchangeTree(file, ExchangeNode::ofSet(1, 0, 1), {0, 1});
    const CCustomerDB sets = BuildExchangeTree(file, ExchangeNode::ofCable(1, 0), {1});
    struct Case {
        const char* what;
        void (*change)(CTestCondition&);
        const char* named; // the parts the question names; nullptr: no question
    } cases[] = {
        {"same", [](CTestCondition&) {}, nullptr},
        {"remarks", [](CTestCondition& c) { c.Remarks = "x"; }, "試験条件"},
        {"shield", [](CTestCondition& c) { c.ShisuZetuen = UNSET_VALUE; }, "シールド漏れ電流"},
        {"limits", [](CTestCondition& c) { c.LastCurrentMax = 20; }, "判定基準"},
        {"all",
         [](CTestCondition& c) {
             c.CabKind = 2;
             c.CurrentT = 0.1;
             c.JyakutenMin = 0.5;
         },
         "試験条件、シールド漏れ電流、判定基準"},
    };
    for (const Case& c : cases) {
        CCustomerDB doc;
        CMeasRecord mine = record(5.0, 30);
        c.change(mine.Condition);
        set(doc, "Z", "k", lit("2024春")).InsertRecord(mine);
        for (const bool yes : {true, false}) {
            // Straight into the set: a question of its own.
            ScriptedQuestions q;
            q.answers = {yes};
            const ImportResult r = MergeImport(doc, ExchangeNode::ofSet(0, 0, 0), records,
                                               ExchangeNode::MeasData, kNoTitles, q);
            // Into a set of the same name: the conflict question says it.
            ScriptedQuestions qs;
            qs.answers = {yes};
            const ImportResult rs = MergeImport(doc, ExchangeNode::ofCable(0, 0), sets,
                                                ExchangeNode::Cable, kNoTitles, qs);
            ASSERT_EQ(1u, qs.asked.size()) << c.what;
            if (!c.named) {
                EXPECT_TRUE(q.asked.empty()) << c.what;
                EXPECT_EQ(std::string::npos, qs.asked[0].find(lit("※"))) << c.what;
                EXPECT_EQ(ImportStatus::Done, r.status) << c.what;
                continue;
            }
            ASSERT_EQ(1u, q.asked.size()) << c.what;
            const std::string named = lit("置き換わります：") + lit(c.named) + "\r\n";
            EXPECT_NE(std::string::npos, q.asked[0].find(named)) << c.what;
            EXPECT_NE(std::string::npos, qs.asked[0].find(named)) << c.what;
            EXPECT_EQ(0u,
                      qs.asked[0].find(ImportConflictQuestion(lit("測定データ"), lit("2024春"))));
            EXPECT_EQ(yes ? ImportStatus::Done : ImportStatus::Declined, r.status) << c.what;
            EXPECT_EQ(yes ? ImportStatus::Done : ImportStatus::Declined, rs.status) << c.what;
            if (!yes)
                continue;
            for (const auto& [res, count] : {std::pair{&r, 3u}, std::pair{&rs, 4u}}) {
                const CMeasData& s = res->merged.customers.At(0).cables.At(0).sets.At(0);
                ASSERT_EQ(count, s.RecordCount()) << c.what;
                for (const CMeasRecord& m : s.Records())
                    EXPECT_EQ(mine.Condition, m.Condition) << c.what;
            }
        }
    }
}

TEST(ImportMerge, RefusalsLeaveNothing)
{
    const CCustomerDB doc = sampleTree();
    const CCustomerDB file = sampleTree();
    const CCustomerDB measurements = BuildExchangeTree(file, ExchangeNode::ofSet(1, 0, 1), {0});
    const CCustomerDB cables = BuildExchangeTree(file, ExchangeNode::ofCustomer(1), {0});
    const CCustomerDB empty = BuildExchangeTree(file, ExchangeNode::ofCable(1, 0), {});
    struct Case {
        const CCustomerDB* tree;
        int fileLevel;
        ExchangeNode destination;
        ImportStatus status;
    } cases[] = {
        {&measurements, ExchangeNode::MeasData, ExchangeNode::ofCable(1, 0),
         ImportStatus::WrongLevel},
        {&cables, ExchangeNode::Customer, ExchangeNode::root(), ImportStatus::WrongLevel},
        {&cables, ExchangeNode::Customer, ExchangeNode::ofCustomer(5), ImportStatus::WrongLevel},
        {&cables, ExchangeNode::Customer, ExchangeNode{}, ImportStatus::NoDestination},
        {&empty, ExchangeNode::Cable, ExchangeNode::ofCable(1, 0), ImportStatus::NothingChecked},
        {&file, ExchangeNode::None, ExchangeNode::root(), ImportStatus::NothingChecked},
    };
    for (const Case& c : cases) {
        ScriptedQuestions q;
        const ImportResult r = MergeImport(doc, c.destination, *c.tree, c.fileLevel, kNoTitles, q);
        EXPECT_EQ(c.status, r.status) << c.fileLevel << " into " << c.destination.level;
        EXPECT_TRUE(q.asked.empty());
        EXPECT_EQ(0, r.merged.customers.Count());
    }
}

TEST(ImportMerge, QuestionTextWithDefaultAndConfiguredTitles)
{
    EXPECT_EQ(
        lit("取り込む「ケーブル」名称は既に存在しています\r\n■「 CV-1 」\r\n同じ「ケーブル」データ"
            "として追加しますか？\r\n新たな「ケーブル」名称で追加する場合「いいえ」を押して処理"
            "を中断し\r\n新たな「ケーブル」名称を作成してからもう一度取り込みを行ってください\r\n"),
        ImportConflictQuestion(lit("ケーブル"), "CV-1"));

    CCustomerDB doc;
    set(doc, "Beta", "X1", "s");
    ScriptedQuestions q;
    q.answers = {true, true, true};
    const CCustomerDB tree = BuildExchangeTree(sampleTree(), ExchangeNode::root(), {0});
    const LevelTitles titles{lit("お客様"), "", lit("試験")};
    ASSERT_EQ(ImportStatus::Done,
              MergeImport(doc, ExchangeNode::root(), tree, ExchangeNode::Root, titles, q).status);
    ASSERT_EQ(3u, q.asked.size());
    EXPECT_EQ(0u, q.asked[0].find(lit("取り込む「お客様」")));
    EXPECT_EQ(0u, q.asked[1].find(lit("取り込む「ケーブル」")));
    EXPECT_EQ(0u, q.asked[2].find(lit("取り込む「試験」")));
}

} // namespace
