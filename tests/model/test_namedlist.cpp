// The named list (ordering, case folding, slot reuse, copies) and the customer tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/namedlist.h"

namespace {

const std::string& sj(std::string_view utf8)
{
    return cp932::lit(utf8);
}

std::vector<std::string> names(const CNamedList<CMeasData>& list)
{
    std::vector<std::string> out;
    for (int p = 0; p < list.Count(); ++p)
        out.push_back(list.At(p).name);
    return out;
}

TEST(CompareNames, FoldsAsciiLettersOnly)
{
    struct Case {
        std::string a, b;
        int expected;
    };
    const Case cases[] = {
        {"ABC", "abc", 0},
        {"Abc", "abd", -1},
        {"ab", "abc", -1}, // a prefix sorts first
        {"", "a", -1},
        {"[", "a", -1},           // '[' (0x5B) < 'a' (0x61): 'A'-'Z' fold, other bytes do not
        {"_", "A", -1},           // '_' (0x5F) < 'a' once 'A' is folded
        {sj("Ａ"), sj("ａ"), -1}, // full-width letters: different names
        {"zzz", sj("あ"), -1},    // a lead byte sorts after every ASCII byte
        {"\x81\x40", "\x81\x41", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareNames(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareNames(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(NamedList, FindOrInsertKeepsOrderAndIgnoresAsciiCase)
{
    CNamedList<CMeasData> list;
    bool existed = true;
    EXPECT_EQ(list.Find("x"), -1);
    EXPECT_EQ(list.FindOrInsert("Tokyo", &existed), 0);
    EXPECT_FALSE(existed);
    list.At(0).ShowSeikyoku = 0;
    list.FindOrInsert(sj("大阪"));
    list.FindOrInsert("aomori");
    list.FindOrInsert(sj("ＴＯＫＹＯ"));
    list.FindOrInsert(sj("ｔｏｋｙｏ"));
    EXPECT_EQ(names(list), (std::vector<std::string>{"aomori", "Tokyo", sj("ＴＯＫＹＯ"),
                                                     sj("ｔｏｋｙｏ"), sj("大阪")}));

    const CNamedList<CMeasData> before = list;
    EXPECT_EQ(list.FindOrInsert("TOKYO", &existed), 1);
    EXPECT_TRUE(existed);
    EXPECT_EQ(list, before); // unchanged: the name keeps its case, the element its contents
    EXPECT_EQ(list.At(1).ShowSeikyoku, 0);
    EXPECT_EQ(list.Find("tokyo"), 1);
    EXPECT_EQ(list.Find("tokyo "), -1);
}

TEST(NamedList, RemoveAtReusesTheMostRecentlyFreedSlot)
{
    CNamedList<CMeasData> list;
    for (const char* n : {"a", "b", "c", "d"})
        list.FindOrInsert(n);
    list.At(list.Find("b")).Records().emplace_back();
    const int slotB = list.SlotOf(list.Find("b"));
    const int slotD = list.SlotOf(list.Find("d"));
    list.RemoveAt(list.Find("d"));
    list.RemoveAt(list.Find("b"));
    EXPECT_EQ(list.FreeCount(), 2);

    const int p = list.FindOrInsert("bb");
    EXPECT_EQ(list.SlotOf(p), slotB);        // last freed, first reused
    EXPECT_EQ(list.At(p).RecordCount(), 0u); // and emptied
    EXPECT_EQ(list.SlotOf(list.FindOrInsert("0")), slotD);
    EXPECT_EQ(list.SlotCount(), 4);
    EXPECT_EQ(names(list), (std::vector<std::string>{"0", "a", "bb", "c"}));
}

TEST(NamedList, CopyIsDeepAndCompact)
{
    CNamedList<CMeasData> list;
    for (const char* n : {"c", "a", "b"})
        list.FindOrInsert(n);
    list.RemoveAt(0);
    list.At(0).Records().emplace_back().TestVoltage = 1.5;

    CNamedList<CMeasData> copy;
    copy.FindOrInsert("zzz");
    copy.CopyFrom(list);
    EXPECT_EQ(copy, list);
    EXPECT_EQ(copy.FreeCount(), 0);
    for (int p = 0; p < copy.Count(); ++p)
        EXPECT_EQ(copy.SlotOf(p), p);
    copy.At(0).Records()[0].TestVoltage = 9.0;
    EXPECT_EQ(list.At(0).Records()[0].TestVoltage, 1.5);
}

TEST(NamedList, AssignFromSortsAndLetsTheLastOfEqualNamesWin)
{
    std::vector<CMeasData> read(5);
    const char* readNames[] = {"b", "abc", "C", "ABC", "a"};
    for (int i = 0; i < 5; ++i) {
        read[static_cast<std::size_t>(i)].name = readNames[i];
        read[static_cast<std::size_t>(i)].ShowSeikyoku = i;
    }
    CNamedList<CMeasData> list;
    list.FindOrInsert("old");
    list.AssignFrom(std::move(read));
    EXPECT_EQ(names(list), (std::vector<std::string>{"a", "ABC", "b", "C"}));
    EXPECT_EQ(list.At(1).ShowSeikyoku, 3); // the later "ABC" replaced "abc"
    EXPECT_EQ(list.FreeCount(), 0);
}

TEST(CustomerTree, CopiesAreIndependent)
{
    CCustomerDB db;
    EXPECT_EQ(db.comm.ToArray(), (std::array<int32_t, 6>{1, 38400, 8, 0, 0, 1}));
    CCustomer& c = db.customers.At(db.customers.FindOrInsert("C"));
    CCable& k = c.cables.At(c.cables.FindOrInsert("K"));
    CMeasData& s = k.sets.At(k.sets.FindOrInsert("S"));
    s.Records().emplace_back().Condition.Remarks = "r";

    CCustomerDB copy = db;
    EXPECT_EQ(copy, db);
    EXPECT_EQ(copy.RecordCount(), 1u);
    copy.customers.At(0).cables.At(0).sets.At(0).Records()[0].Condition.Remarks = "changed";
    copy.comm.port = 3;
    EXPECT_EQ(db.customers.At(0).cables.At(0).sets.At(0).Records()[0].Condition.Remarks, "r");
    EXPECT_EQ(db.comm.port, 1);
}

TEST(CustomerTree, RecordsAreKeptByTestVoltage)
{
    CMeasData set;
    auto record = [](double kv, int no) {
        CMeasRecord r;
        r.TestVoltage = kv;
        r.DataNo = no;
        return r;
    };
    EXPECT_EQ(set.InsertRecord(record(2.0, 1)), 0u);
    EXPECT_EQ(set.InsertRecord(record(1.0, 2)), 0u);
    EXPECT_EQ(set.InsertRecord(record(3.0, 3)), 2u);
    EXPECT_EQ(set.InsertRecord(record(2.0, 4)), 1u); // before the equal record met
    std::vector<int> order;
    for (const CMeasRecord& r : set.Records())
        order.push_back(r.DataNo);
    EXPECT_EQ(order, (std::vector<int>{2, 4, 1, 3}));
}

} // namespace
