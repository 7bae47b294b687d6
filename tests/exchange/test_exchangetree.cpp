// The children list of a tree node and the export tree built from checked rows.
#include <gtest/gtest.h>

#include "exchange/exchangetree.h"
#include "exchangefixture.h"
#include "model/cp932text.h"
#include "store/store.h"

using cp932::lit;
using xtest::sampleTree;

namespace {

const ExchangeNode kSpring = ExchangeNode::ofSet(1, 0, 1); // 顧客Ａ / CV-1 / 2024春

TEST(ExchangeList, LayoutPerLevelWithDefaultAndConfiguredTitles)
{
    const LevelTitles none;
    const LevelTitles mine{lit("お客様"), lit("線路"), lit("試験")};
    struct Case {
        ExchangeNode node;
        LevelTitles titles;
        std::string layout;
    } cases[] = {
        {ExchangeNode::root(), none, lit("x, 25;需要家名称, 500, 0;")},
        {ExchangeNode::ofCustomer(0), none, lit("x, 25;ケーブル名称, 500, 0;")},
        {ExchangeNode::ofCable(0, 0), none, lit("x, 25;測定データ名称, 500, 0;")},
        {ExchangeNode::root(), mine, lit("x, 25;お客様, 500, 0;")},
        {ExchangeNode::ofCustomer(0), mine, lit("x, 25;線路, 500, 0;")},
        {ExchangeNode::ofCable(0, 0), mine, lit("x, 25;試験, 500, 0;")},
        {kSpring, mine,
         lit("x, 25;測定日時, 145, 0;最終値, 140, 0;試験電圧, 75, 0;ﾄﾘｶﾞ設定, 70, 0;成極比, 75, "
             "0;弱点比, 75, 0;")},
        {ExchangeNode{}, none, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.layout, ChildListLayout(c.node, c.titles)) << cp932::toUtf8(c.layout);
}

TEST(ExchangeList, RowsAreChildrenInSortedOrder)
{
    const CCustomerDB db = sampleTree();
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ((Rows{{"Beta"}, {lit("顧客Ａ")}}), ChildListRows(db, ExchangeNode::root()));
    EXPECT_EQ((Rows{{"CV-1"}, {"CV-2"}}), ChildListRows(db, ExchangeNode::ofCustomer(1)));
    EXPECT_EQ((Rows{{lit("2024秋")}, {lit("2024春")}}),
              ChildListRows(db, ExchangeNode::ofCable(1, 0)));
    // Positions that do not exist give an empty list, not a crash.
    EXPECT_TRUE(ChildListRows(db, ExchangeNode::ofCustomer(2)).empty());
    EXPECT_TRUE(ChildListRows(db, ExchangeNode::ofSet(1, 0, 5)).empty());
    EXPECT_TRUE(ChildListRows(CCustomerDB{}, ExchangeNode::root()).empty());
}

TEST(ExchangeList, MeasurementRowsUseTheDisplayTexts)
{
    CCustomerDB db = sampleTree();
    CMeasRecord& r = xtest::set(db, lit("顧客Ａ"), "CV-1", lit("2024春")).RecordAt(0);
    r.TriggerLevel = 5.55;
    r.SeikyokuRatio = 1.26;
    r.Condition.SeikyokuMin = 0.5;
    r.Condition.SeikyokuMax = 1.0;
    r.Condition.LastCurrentMin = 1.0;
    r.Condition.LastCurrentMax = 10.0;
    const auto rows = ChildListRows(db, kSpring);
    ASSERT_EQ(3u, rows.size());
    const std::vector<std::string> expected = {
        "2024/04/01 10:00:02", lit("01:15.4, 1.500 (注意)"), "3.00", "5.5", lit("1.3 (良)"), "---"};
    EXPECT_EQ(expected, rows[0]);
}

TEST(ExportTree, RootWithAllCheckedIsTheWholeTreeWithNewSettings)
{
    const CCustomerDB db = sampleTree();
    const CCustomerDB out = BuildExchangeTree(db, ExchangeNode::root(), {0, 1});
    EXPECT_EQ(CCommSetting{}, out.comm);
    EXPECT_EQ(db.customers, out.customers);
}

TEST(ExportTree, CheckedMeasurementsUnderCopiesOfTheirParents)
{
    const CCustomerDB db = sampleTree();
    // Rows in list order; the copies are inserted by voltage whatever the order checked.
    const CCustomerDB out = BuildExchangeTree(db, kSpring, {2, 0});
    ASSERT_EQ(1, out.customers.Count());
    const CCustomer& c = out.customers.At(0);
    EXPECT_EQ(lit("顧客Ａ"), c.name);
    ASSERT_EQ(1, c.cables.Count());
    EXPECT_EQ("CV-1", c.cables.At(0).name);
    ASSERT_EQ(1, c.cables.At(0).sets.Count());
    const CMeasData& s = c.cables.At(0).sets.At(0);
    EXPECT_EQ(lit("2024春"), s.name);
    ASSERT_EQ(2u, s.RecordCount());
    const CMeasData& original = db.customers.At(1).cables.At(0).sets.At(1);
    EXPECT_EQ(original.RecordAt(0), s.RecordAt(0));
    EXPECT_EQ(original.RecordAt(2), s.RecordAt(1));
}

TEST(ExportTree, CheckedCablesAndSetsAreCopiedWhole)
{
    const CCustomerDB db = sampleTree();
    const CCustomerDB cables = BuildExchangeTree(db, ExchangeNode::ofCustomer(1), {1});
    ASSERT_EQ(1, cables.customers.Count());
    ASSERT_EQ(1, cables.customers.At(0).cables.Count());
    EXPECT_EQ(db.customers.At(1).cables.At(1), cables.customers.At(0).cables.At(0));

    const CCustomerDB sets = BuildExchangeTree(db, ExchangeNode::ofCable(1, 0), {0, 1});
    EXPECT_EQ(db.customers.At(1).cables.At(0), sets.customers.At(0).cables.At(0));
    EXPECT_EQ(4u, sets.RecordCount()); // both sets: 1 + 3 records
}

TEST(ExportTree, NothingCheckedOrRowsOutOfRangeGiveAnEmptyTree)
{
    const CCustomerDB db = sampleTree();
    for (const auto& [node, rows] :
         std::vector<std::pair<ExchangeNode, std::vector<int>>>{{ExchangeNode::root(), {}},
                                                                {ExchangeNode::ofCustomer(1), {}},
                                                                {ExchangeNode::ofCustomer(1), {7}},
                                                                {kSpring, {-1, 3}},
                                                                {ExchangeNode::ofCable(4, 0), {0}},
                                                                {ExchangeNode{}, {0}}}) {
        const CCustomerDB out = BuildExchangeTree(db, node, rows);
        EXPECT_EQ(0, out.customers.Count()) << node.level;
    }
}

TEST(ExportTree, SavedFileReadsBackAsTheExportedTree)
{
    const CCustomerDB db = sampleTree();
    const CCustomerDB out = BuildExchangeTree(db, ExchangeNode::ofCable(1, 0), {1});
    CCustomerDB back;
    back.comm.port = 9; // loading keeps the reader's own settings; the file's replace them
    ASSERT_TRUE(LoadStoreFromBytes(back, SaveStoreToBytes(out)).ok);
    EXPECT_EQ(out, back);
}

TEST(ExportTree, DefaultFileName)
{
    EXPECT_EQ("MX_20051211_153000.dat",
              ExportDefaultFileName(*OleDateTime::fromCalendar({2005, 12, 11, 15, 30, 0})));
}

} // namespace
