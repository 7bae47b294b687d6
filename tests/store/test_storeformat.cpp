// The data store stream: exact bytes, versions, value tags, texts, refusals, damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "storetesthelp.h"

using namespace storetest;

namespace {

const std::string& sj(std::string_view utf8)
{
    return cp932::lit(utf8);
}

std::string archiveMessage(std::string_view description)
{
    return sj("ｱｰｶｲﾌﾞ異常\n") + sj(description) + "\n.\\DAT_CUSTOMER(180)";
}

const CMeasData& firstSet(const CCustomerDB& db)
{
    return db.customers.At(0).cables.At(0).sets.At(0);
}

TEST(StoreFormat, EmptyStoreIsExactly73Bytes)
{
    const std::string bytes = SaveStoreToBytes(CCustomerDB());
    EXPECT_EQ(bytes, fixture("empty.dat"));
    ASSERT_EQ(bytes.size(), 73u);
    CCustomerDB db;
    db.comm.port = 4;
    StoreOutcome out = LoadStoreFromBytes(db, bytes);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.version, 6);
    EXPECT_EQ(db, CCustomerDB());
}

TEST(StoreFormat, CanonicalStoreIsReadAndWrittenBackByteIdentical)
{
    const std::string bytes = fixture("canonical.dat");
    CCustomerDB db;
    StoreOutcome out = LoadStoreFromBytes(db, bytes);
    ASSERT_TRUE(out.ok) << cp932::toUtf8(out.message);
    EXPECT_EQ(SaveStoreToBytes(db), bytes);

    EXPECT_EQ(db.comm.ToArray(), (std::array<int32_t, 6>{3, 9600, 7, 2, 1, 0}));
    ASSERT_EQ(db.customers.Count(), 4);
    EXPECT_EQ(db.customers.At(0).name, sj("ABC電力"));
    EXPECT_EQ(db.customers.At(1).name, std::string(300, 'x'));
    EXPECT_EQ(db.customers.At(2).name, "\x81\x20"
                                       "bad");       // invalid CP932 kept as bytes
    EXPECT_EQ(db.customers.At(3).cables.Count(), 2); // "Ｃａｂｌｅ" and "ｃａｂｌｅ"

    const CMeasData& set = firstSet(db);
    EXPECT_EQ(set.name, sj("2005年 定期"));
    EXPECT_EQ(set.ShowSeikyoku, 1);
    EXPECT_EQ(set.ShowJyakuten, 0);
    ASSERT_EQ(set.RecordCount(), 3u);
    const CMeasRecord& r = set.RecordAt(1);
    EXPECT_EQ(r.DataNo, 17);
    EXPECT_EQ(r.UsedPoints, 400);
    EXPECT_EQ(r.Points.size(), 450u);
    EXPECT_EQ(r.Triggers.size(), 2u);
    EXPECT_EQ(r.Triggers[0].maximum.toDouble(), 48.25);
    EXPECT_EQ(r.Condition.Remarks, sj("備考\r\n二行目"));
    EXPECT_EQ(r.Condition.ShisuZetuen, UNSET_VALUE);
    EXPECT_EQ(set.RecordAt(0).StartTime.status, OleDateTime::Null);

    // Every tag keeps its payload; numbers follow the tag's kind.
    const auto& p = set.RecordAt(2).Points;
    ASSERT_EQ(p.size(), 17u);
    struct Expect {
        int32_t tag;
        double number;
    };
    const Expect expected[] = {{0, 0.0},  {1, -5.0},         {2, 65535.0},   {3, 1.0},
                               {4, -7.0}, {5, 4294967295.0}, {6, 123456},    {7, 4000000000.0},
                               {8, 12.5}, {9, 37.5},         {10, 38697.75}, {11, 0.0},
                               {12, 0.0}, {-1, 0.0}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(p[i].value.tag(), expected[i].tag) << i;
        EXPECT_EQ(p[i].value.toDouble(), expected[i].number) << i;
    }
    EXPECT_EQ(p[0].value.payload(), 0x0807060504030201u);
    EXPECT_EQ(p[11].value.text(), sj("ラベル"));
    EXPECT_EQ(p[15].value.text(), "\x81\x20\xff");
}

TEST(StoreFormat, Version3IsReadWithDisplayFlagsAndWrittenAsVersion6)
{
    CCustomerDB db;
    StoreOutcome out = LoadStoreFromBytes(db, fixture("v3.dat"));
    ASSERT_TRUE(out.ok) << cp932::toUtf8(out.message);
    EXPECT_EQ(out.version, 3);
    const std::string saved = SaveStoreToBytes(db);
    EXPECT_EQ(saved, fixture("v3_as_v6.dat"));
    EXPECT_EQ(saved.size(), fixture("v3.dat").size() + 8 * (1 + 2)); // one set, two records
}

TEST(StoreFormat, RefusesOtherVersionsAndSignatures)
{
    const std::string versionMessage =
        sj("データファイルのバージョンが適切ではありません\n新規に作成します");
    const std::string signatureMessage =
        sj("データファイルが読めません\n壊れている可能性があります\n新規に作成します");
    for (int32_t version : {0, 2, 4, 5, 7, -6}) {
        CCustomerDB db;
        std::string bytes = Bytes().header(version).u16(0).b;
        StoreOutcome out = LoadStoreFromBytes(db, bytes);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.status, StoreStatus::BadVersion);
        EXPECT_EQ(out.message, versionMessage);
        EXPECT_TRUE(out.unreadable);
    }
    const std::string good = fixture("canonical.dat");
    for (std::size_t at : {0u, 1u, 20u, 42u}) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        CCustomerDB db;
        StoreOutcome out = LoadStoreFromBytes(db, bytes);
        EXPECT_EQ(out.status, StoreStatus::BadSignature) << at;
        EXPECT_EQ(out.message, signatureMessage);
        EXPECT_EQ(db.customers.Count(), 0);
    }
}

TEST(StoreFormat, DuplicateNamesAndDifferingConditionsAsTheFileIsRead)
{
    // "abc" then "ABC": the second replaces the first, name included. The set's second
    // record carries other conditions and gets those of the first.
    Bytes b;
    b.header().u16(3);
    b.text("b").u16(0); // out of order: sorted on reading
    b.text("abc").u16(0);
    b.text("ABC").u16(1).text("K").u16(1).text("S").i32(1).i32(1).u16(2);
    b.record(6, {3.0, 2.0}, 2.0, "first").record(6, {1.0}, 1.0, "second");
    CCustomerDB db;
    StoreOutcome out = LoadStoreFromBytes(db, b.b);
    ASSERT_TRUE(out.ok) << cp932::toUtf8(out.message);
    ASSERT_EQ(db.customers.Count(), 2);
    EXPECT_EQ(db.customers.At(0).name, "ABC");
    EXPECT_EQ(db.customers.At(1).name, "b");
    const CMeasData& set = firstSet(db);
    ASSERT_EQ(set.RecordCount(), 2u);
    EXPECT_EQ(set.RecordAt(0).TestVoltage, 2.0); // the stored order is kept
    EXPECT_EQ(set.RecordAt(1).Condition.Remarks, "first");
}

TEST(StoreFormat, LengthAndCountPrefixes)
{
    CCustomerDB db;
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(std::string(300, 'n')));
    CCable& k = c.cables.At(c.cables.FindOrInsert("K"));
    CMeasData& s = k.sets.At(k.sets.FindOrInsert("S"));
    for (int n : {65534, 65535}) {
        CMeasRecord r;
        r.StartTime.date = 0.5;
        r.Points.resize(static_cast<std::size_t>(n));
        s.AppendRecord(std::move(r));
    }
    const std::string bytes = SaveStoreToBytes(db);
    EXPECT_EQ(bytes.substr(73 - 2, 5), std::string("\x01\x00\xff\x2c\x01", 5));
    const std::size_t first = bytes.find(std::string("\x00\x00\xe0\x3f\xfe\xff", 6));
    EXPECT_NE(first, std::string::npos) << "65534 points: a plain uint16";
    EXPECT_NE(bytes.find(std::string("\x00\x00\xe0\x3f\xff\xff\xff\xff\x00\x00", 10), first),
              std::string::npos)
        << "65535 points: 0xFFFF and the uint32";
    CCustomerDB back;
    ASSERT_TRUE(LoadStoreFromBytes(back, bytes).ok);
    EXPECT_EQ(back, db);
}

TEST(StoreFormat, ReadsEveryLengthFormIncluding16BitTexts)
{
    auto withName = [](const std::string& nameBytes) {
        return Bytes().header().u16(1).raw(nameBytes).u16(0).b;
    };
    auto utf16 = [](std::u16string_view s) {
        return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
    };
    struct Case {
        std::string encoded;
        std::string name;
    };
    const Case cases[] = {
        {std::string("\xff\x05\x00", 3) + "abcde", "abcde"},
        {std::string("\xff\xff\xff\x03\x00\x00\x00", 7) + "abc", "abc"},
        {std::string("\xff\xff\xff\xff\xff\xff\xff\x02\0\0\0\0\0\0\0", 15) + "ab", "ab"},
        {std::string("\xff\xfe\xff\x04", 4) + utf16(u"需要家A"), sj("需要家A")},
        {std::string("\xff\xfe\xff\xff\x03\x00", 6) + utf16(u"\u00e9\U0001F600"), "??"},
        {std::string("\xff\xfe\xff\x01", 4) + utf16(u"\xd800"), "?"}, // lone surrogate
    };
    for (const Case& c : cases) {
        CCustomerDB db;
        StoreOutcome out = LoadStoreFromBytes(db, withName(c.encoded));
        ASSERT_TRUE(out.ok) << cp932::toUtf8(out.message) << c.name;
        ASSERT_EQ(db.customers.Count(), 1);
        EXPECT_EQ(db.customers.At(0).name, c.name);
    }
}

TEST(StoreFormat, DamagedFilesGiveTheArchiveMessageAndKeepWhatWasRead)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::string_view description;
    };
    const std::string twoCustomers =
        Bytes().header().u16(2).text("A").u16(0).text("B").u16(1).text("K").u16(0).b;
    const Case cases[] = {
        {"cut in the second customer", twoCustomers.substr(0, twoCustomers.size() - 1),
         "ファイルの終わりを越えて読み込もうとしました"},
        {"count beyond the file", Bytes().header().u16(0xFFFF).u32(0xFFFFFFFF).b,
         "個数がファイルの残りの大きさを超えています"},
        {"point count beyond the file",
         Bytes()
             .header()
             .u16(1)
             .text("A")
             .u16(1)
             .text("K")
             .u16(1)
             .text("S")
             .i32(1)
             .i32(1)
             .u16(1)
             .i32(0)
             .i32(1)
             .i32(1)
             .i32(0)
             .f64(0)
             .u16(0xFFFF)
             .u32(100000)
             .b,
         "個数がファイルの残りの大きさを超えています"},
        {"text longer than 2^31-1",
         Bytes().header().u16(1).raw(std::string("\xff\xff\xff\x00\x00\x00\x80", 7)).b,
         "テキストの長さが不正です"},
        {"text beyond the file", Bytes().header().u16(1).u8(200).raw("abc").b,
         "ファイルの終わりを越えて読み込もうとしました"},
        {"nested 16-bit marker",
         Bytes().header().u16(1).raw(std::string("\xff\xfe\xff\xff\xfe\xff\x01\x00", 8)).b,
         "テキストの長さが不正です"},
        {"empty file", "", "ファイルの終わりを越えて読み込もうとしました"},
    };
    for (const Case& c : cases) {
        CCustomerDB db;
        StoreOutcome out = LoadStoreFromBytes(db, c.bytes);
        EXPECT_EQ(out.status, StoreStatus::ArchiveError) << c.what;
        EXPECT_EQ(out.message, archiveMessage(c.description)) << c.what;
        EXPECT_TRUE(out.unreadable);
    }
    CCustomerDB db;
    LoadStoreFromBytes(db, cases[0].bytes);
    ASSERT_EQ(db.customers.Count(), 1); // the complete first customer stays
    EXPECT_EQ(db.customers.At(0).name, "A");
}

TEST(StoreFormat, EveryTruncationAndBitFlipFailsCleanly)
{
    const std::string good = fixture("canonical.dat");
    for (std::size_t n = 0; n < good.size(); ++n) {
        CCustomerDB db;
        StoreOutcome out = LoadStoreFromBytes(db, std::string_view(good).substr(0, n));
        ASSERT_FALSE(out.ok) << n;
        ASSERT_FALSE(out.message.empty());
    }
    for (std::size_t at = 0; at < good.size(); at += 7) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string bytes = good;
            bytes[at] = static_cast<char>(bytes[at] ^ mask);
            CCustomerDB db;
            StoreOutcome out = LoadStoreFromBytes(db, bytes);
            if (out.ok) { // what loads must save and load again to the same tree
                CCustomerDB again;
                ASSERT_TRUE(LoadStoreFromBytes(again, SaveStoreToBytes(db)).ok);
                ASSERT_EQ(SaveStoreToBytes(again), SaveStoreToBytes(db));
            }
        }
    }
}

} // namespace
