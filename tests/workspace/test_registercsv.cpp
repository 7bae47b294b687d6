// The register's CSV: a round trip in both encodings, every bad row reported with nothing
// written, and an import that keeps the tree's spelling and lists orphans.
#include <gtest/gtest.h>

#include "model/cp932text.h"
#include "samplerecords.h"
#include "workspace/registercsv.h"
#include "workspace/workspace.h"
#include "wstestfolder.h"

namespace {

const ws::Actor kActor{"tanaka", "pc-7"};

std::vector<ws::CableRegisterEntry> sampleEntries()
{
    ws::CableRegisterEntry a;
    a.customer = cp932::lit("顧客Ａ");
    a.cable = "CV-1";
    a.location = "第2変電所, \"北\"系統\n2号";
    a.voltageKv = 6.6;
    a.cableType = "CVT";
    a.crossSection = 325;
    a.lengthM = 0.55;
    a.installYear = 1998;
    a.importance = "A";
    a.intervalMonths = 36;
    a.person = "佐藤";
    a.remarks = "更新予定";
    ws::CableRegisterEntry b;
    b.customer = "beta";
    b.cable = cp932::lit("幹線①");
    return {a, b};
}

// The entries without who wrote them and when.
std::vector<ws::CableRegisterEntry> contents(std::vector<ws::CableRegisterEntry> entries)
{
    for (ws::CableRegisterEntry& e : entries) {
        e.modified = 0;
        e.user.clear();
        e.workstation.clear();
    }
    return entries;
}

std::string csv(const std::string& body)
{
    return "\xEF\xBB\xBF需要家,ケーブル,電圧階級 (kV),布設年,重要度,試験周期 (月),備考\r\n" + body;
}

} // namespace

TEST(RegisterCsv, RoundTripsInBothEncodings)
{
    for (CsvEncoding encoding : {CsvEncoding::Cp932, CsvEncoding::Utf8Bom}) {
        SCOPED_TRACE(CsvEncodingName(encoding));
        const std::string file = ws::RegisterCsvContent(sampleEntries(), encoding);
        EXPECT_EQ(file.compare(0, 3, "\xEF\xBB\xBF") == 0, encoding == CsvEncoding::Utf8Bom);
        WsTestFolder dir;
        ws::Workspace w;
        ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
        ws::CableRegister reg(w);
        const ws::RegisterImport r = ws::ImportRegisterCsv(reg, file, nullptr, kActor, 100);
        ASSERT_TRUE(r.ok()) << ws::RegisterCsvErrorText(r.errors.front());
        EXPECT_EQ(r.changed, 2);
        std::vector<ws::CableRegisterEntry> expected = sampleEntries();
        std::swap(expected[0], expected[1]); // listed by key: "beta" before the CP932 name
        EXPECT_EQ(contents(reg.List()), expected);
        ASSERT_EQ(w.Query().size(), 1u) << "one journal entry for the import";
        EXPECT_EQ(w.Query()[0].command, ws::kind::RegisterImport);
        EXPECT_EQ(w.Query()[0].items.size(), 2u);

        EXPECT_EQ(ws::ImportRegisterCsv(reg, file, nullptr, kActor, 200).changed, 0);
        EXPECT_EQ(w.Query().size(), 1u) << "nothing changed, nothing journaled";
    }
    // Text without a Shift-JIS form is written as '?' there, exactly in UTF-8.
    std::vector<ws::CableRegisterEntry> wide = sampleEntries();
    wide[0].remarks = "漢字𠮷";
    EXPECT_NE(ws::RegisterCsvContent(wide, CsvEncoding::Cp932).find(cp932::lit("漢字") + "?"),
              std::string::npos);
}

TEST(RegisterCsv, EveryBadRowIsReportedAndNothingIsWritten)
{
    const std::string file = csv("alpha,C1,6.6,1998,A,12,ok\r\n"
                                 "alpha,C2,6.6,,,,,\r\n"          // line 3: one column too many
                                 "alpha,C3,abc,1998.5,D,0,\r\n"   // line 4: four bad cells
                                 "alpha,,6.6,,,,\r\n"             // line 5: no cable
                                 "alpha,\"C4\",,,,,\"two\r\nlines\"\r\n"
                                 "ALPHA,c1,,,,,\r\n"              // line 8: C1 again
                                 ",,,,,,\r\n"                     // blank: skipped
                                 "alpha,C5,1001,,,,\r\n");        // line 10: out of range
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(w);
    const ws::RegisterImport r = ws::ImportRegisterCsv(reg, file, nullptr, kActor, 100);
    std::vector<std::pair<int, std::string>> where;
    for (const ws::RegisterCsvError& e : r.errors)
        where.emplace_back(e.line, e.column);
    const std::vector<std::pair<int, std::string>> expected{
        {3, ""},         {4, "電圧階級 (kV)"}, {4, "布設年"}, {4, "試験周期 (月)"},
        {4, "重要度"},   {5, "ケーブル"},      {8, ""},      {10, "電圧階級 (kV)"}};
    EXPECT_EQ(where, expected);
    EXPECT_EQ(ws::RegisterCsvErrorText(r.errors[1]),
              "4 行目「電圧階級 (kV)」: 数字ではありません（abc）");
    EXPECT_EQ(r.errors[6].why, "同じケーブルの行が 2 行目にもあります");
    EXPECT_TRUE(reg.List().empty()) << "the good rows are not written either";
    EXPECT_EQ(w.Query().size(), 0u);

    // The header: an unknown column and a missing name column are refused at line 1.
    const ws::RegisterCsvRows header =
        ws::ParseRegisterCsv(cp932::lit("需要家,長さ\r\nalpha,1\r\n"));
    ASSERT_EQ(header.errors.size(), 2u);
    EXPECT_EQ(header.errors[0], (ws::RegisterCsvError{1, "長さ", "この列は台帳にありません"}));
    EXPECT_EQ(header.errors[1].column, "ケーブル");
}

TEST(RegisterCsv, ImportKeepsTheTreesSpellingAndCountsOrphans)
{
    CCustomerDB tree = sample::editTree({}); // alpha: C1, C2; beta
    WsTestFolder dir;
    ws::Workspace w;
    ASSERT_TRUE(w.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(w);
    // In CP932, columns in an order of the spreadsheet's own and some left out.
    const std::string file = cp932::lit("ケーブル,需要家,重要度\r\nc1,ALPHA,ｂ\r\nK9,beta,\r\n");
    const ws::RegisterImport r = ws::ImportRegisterCsv(reg, file, &tree, kActor, 100);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.orphans, 1);
    EXPECT_EQ(ws::RegisterImportSummary(r),
              "2 件を取り込みました（変更 2 件、ケーブルが見つからない台帳 1 件）");
    ASSERT_TRUE(reg.Find("alpha", "C1"));
    EXPECT_EQ(reg.Find("alpha", "C1")->cable, "C1") << "the tree's spelling";
    EXPECT_EQ(reg.Find("alpha", "C1")->importance, "B");
    ASSERT_EQ(reg.Orphans(tree).size(), 1u);
    EXPECT_EQ(reg.Orphans(tree)[0].cable, "K9");
}
