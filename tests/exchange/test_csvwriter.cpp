// The CSV text output: file content against a golden file, the edge cases of the content, and
// the atomic write with its failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <fstream>
#include <sstream>
#include <thread>

#include "csvfixture.h"
#include "exchange/csvwriter.h"
#include "model/cp932text.h"

namespace fs = std::filesystem;
using cp932::lit;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// CP932 bytes as UTF-8 through the C library's converter (independent of the program's own
// conversion); nothing when the bytes do not convert.
std::optional<std::string> iconvToUtf8(const std::string& cp932Bytes)
{
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in = cp932Bytes, out(cp932Bytes.size() * 3 + 16, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t r = ::iconv(cd, &inp, &inLeft, &outp, &outLeft);
    ::iconv_close(cd);
    if (r == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

CsvLabels defaultLabels()
{
    return CsvLabelsFor("", "", "");
}

class CsvFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("mxr_csv_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    // Files in the folder other than the ones named: left-over temporary files.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_dir;
};

} // namespace

TEST(CsvContent, MatchesTheGoldenFile)
{
    const std::string golden = readFile(fs::path(MXR_TEST_DATA_DIR) / "exchange" / "sample.csv");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(CsvContent(csvtest::sampleNames(), csvtest::sampleRecord(), defaultLabels()), golden);
}

TEST(CsvContent, EmptyListsInvalidDateAndOneDecimalRange)
{
    CMeasRecord r = csvtest::sampleRecord();
    r.Triggers.clear();
    r.UsedPoints = 0;
    r.StartTime = OleDateTime{}; // invalid
    r.RangeFlag = 1;
    r.ShowSeikyoku = 0;
    const std::string text = CsvContent(csvtest::sampleNames(), r, defaultLabels());

    EXPECT_NE(text.find(lit("試験日時, Invalid DateTime\r\n")), std::string::npos);
    EXPECT_NE(text.find(lit("最終値(μA),    2.3\r\n")), std::string::npos);
    EXPECT_NE(text.find(lit("成極比, \r\n")), std::string::npos); // hidden ratio: empty
    // No trigger lines: the header is followed by the empty line at once.
    EXPECT_NE(text.find(lit("発生時, 停止時, 最大値\r\n\r\n")), std::string::npos);
    // No points: the file ends with the list header and the final empty line.
    const std::string tail = lit("測定データ一覧\r\n測定時間, 測定データ\r\n\r\n");
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(CsvDefaultFileName(r), "DAT_Invalid DateTime.CSV");
}

TEST(CsvContent, ConfiguredTitlesReplaceEveryLevelLabel)
{
    const CsvLabels labels = CsvLabelsFor(lit("顧客"), lit("線路"), lit("試験"));
    const std::string text = CsvContent(csvtest::sampleNames(), csvtest::sampleRecord(), labels);
    for (const char* line : {"\r\n顧客, 東京電力,第一\r\n", "\r\n線路, ケーブルA-1\r\n",
                             "\r\n試験, 2005年定期\r\n", "\r\n試験一覧\r\n測定時間, 試験\r\n"})
        EXPECT_NE(text.find(lit(line)), std::string::npos) << line;
    EXPECT_EQ(text.find(lit("名称")), std::string::npos);
}

TEST(CsvContent, PointsAreLimitedToUsedAndHeldPoints)
{
    CMeasRecord r = csvtest::sampleRecord();
    const auto pointLines = [&](int used) {
        r.UsedPoints = used;
        const std::string text = CsvContent({}, r, defaultLabels());
        const std::string header = lit("測定時間, 測定データ\r\n");
        const std::string rest = text.substr(text.find(header) + header.size());
        std::size_t lines = 0;
        for (std::size_t at = rest.find("\r\n"); at != std::string::npos;
             at = rest.find("\r\n", at + 2))
            ++lines;
        return lines - 1; // the final empty line
    };
    EXPECT_EQ(pointLines(2), 2u);
    EXPECT_EQ(pointLines(5), 5u);
    EXPECT_EQ(pointLines(900), 5u); // a count larger than the points held reads nothing more
    EXPECT_EQ(pointLines(-1), 0u);
}

TEST(CsvContent, CraftedTimesAndValuesReadAsDashesInTheirOwnField)
{
    CMeasRecord r = csvtest::sampleRecord();
    r.Points[1] = {CDataValue(1.5), 1e12};
    r.Points[2] = {CDataValue(NAN), 60.0};
    r.Points[3] = {CDataValue(INFINITY), INFINITY};
    r.LastCurrent = NAN; // as stored, not recomputed
    const std::string text = CsvContent({}, r, defaultLabels());
    EXPECT_NE(text.find("\r\n00:00.0, 12.500\r\n---,  1.500\r\n01:00.0, ---\r\n---, ---\r\n\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(lit("最終値(μA), ---\r\n")), std::string::npos);
}

TEST(CsvContent, LineBreaksInsideARemarkBecomeCrLfOnce)
{
    CMeasRecord r = csvtest::sampleRecord();
    r.Condition.Remarks = "a\nb\r\nc";
    const std::string text = CsvContent({}, r, defaultLabels());
    EXPECT_NE(text.find(lit("備考, a\r\nb\r\nc\r\n\r\n")), std::string::npos);
    EXPECT_EQ(text.find("\r\r"), std::string::npos);
}

TEST(CsvNaming, FileNameAndJoinedPath)
{
    EXPECT_EQ(CsvDefaultFileName(csvtest::sampleRecord()), "DAT_20051211_090507.CSV");
    EXPECT_EQ(CsvJoinPath("/tmp/out", "a.CSV"), "/tmp/out/a.CSV");
    EXPECT_EQ(CsvJoinPath("/", "a.CSV"), "/a.CSV");
}

TEST_F(CsvFileTest, WritesAndReplacesAtomicallyKeepingThePermissions)
{
    const fs::path target = m_dir / "out.CSV";
    {
        std::ofstream old(target, std::ios::binary);
        old << "old content that is longer than the new one";
    }
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const CsvWriteOutcome out = WriteCsvFile(target.string(), "new\r\n");
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), std::vector<std::string>{"out.CSV"});
}

TEST_F(CsvFileTest, RelativePathIsMadeAbsoluteAgainstTheCurrentFolder)
{
    const fs::path before = fs::current_path();
    fs::current_path(m_dir);
    const CsvWriteOutcome out = WriteCsvFile("rel.CSV", "x\r\n");
    fs::current_path(before);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.path, (m_dir / "rel.CSV").string());
    EXPECT_EQ(readFile(m_dir / "rel.CSV"), "x\r\n");
}

TEST_F(CsvFileTest, OpenErrorsNameTheAbsolutePathAndLeaveNothingBehind)
{
    fs::create_directory(m_dir / "folder.CSV");
    const fs::path readOnly = m_dir / "ro";
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = ::geteuid() == 0; // root writes into read-only folders

    struct Case {
        fs::path target;
        bool applies;
    };
    for (const Case& c : {Case{m_dir / "folder.CSV", true}, Case{m_dir / "missing" / "a.CSV", true},
                          Case{readOnly / "a.CSV", !root}}) {
        if (!c.applies)
            continue;
        const CsvWriteOutcome out = WriteCsvFile(c.target.string(), "x");
        EXPECT_FALSE(out.ok) << c.target;
        EXPECT_EQ(out.status, CsvWriteStatus::OpenError);
        EXPECT_EQ(out.message, "OpenError\n" + c.target.string());
    }
    EXPECT_TRUE(fs::is_empty(readOnly));
    EXPECT_EQ(entries(), (std::vector<std::string>{"folder.CSV", "ro"}));
}

TEST_F(CsvFileTest, ALockedFileIsWaitedForUntilTheLimit)
{
    const fs::path target = m_dir / "held.CSV";
    {
        std::ofstream(target) << "held";
    }
    const int holder = ::open(target.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    CsvWriteOptions quick;
    quick.openWaitMs = 150;
    quick.openRetryMs = 10;
    const CsvWriteOutcome refused = WriteCsvFile(target.string(), "new", quick);
    EXPECT_EQ(refused.status, CsvWriteStatus::OpenError);
    EXPECT_EQ(readFile(target), "held");

    // Released while the writer waits: the write goes through.
    quick.openWaitMs = 5000;
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::close(holder);
    });
    const CsvWriteOutcome written = WriteCsvFile(target.string(), "new", quick);
    release.join();
    EXPECT_TRUE(written.ok) << written.message;
    EXPECT_EQ(readFile(target), "new");
}

TEST_F(CsvFileTest, WriteCsvWritesTheContentThroughALink)
{
    const fs::path real = m_dir / "real.CSV";
    std::ofstream(real) << "old";
    fs::create_symlink(real, m_dir / "link.CSV");
    const CsvWriteOutcome out = WriteCsv((m_dir / "link.CSV").string(), csvtest::sampleNames(),
                                         csvtest::sampleRecord(), defaultLabels());
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.CSV"));
    EXPECT_EQ(readFile(real), readFile(fs::path(MXR_TEST_DATA_DIR) / "exchange" / "sample.csv"));
}

TEST_F(CsvFileTest, AFailedWriteShowsThreeLinesAndKeepsTheOldFile)
{
    const fs::path target = m_dir / "big.CSV";
    std::ofstream(target) << "old";
    // A file size limit makes the write fail part way (EFBIG instead of the signal).
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const CsvWriteOutcome out = WriteCsvFile(target.string(), std::string(1000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);

    EXPECT_EQ(out.status, CsvWriteStatus::FileError);
    EXPECT_EQ(out.message,
              lit("ﾌｧｲﾙｱｸｾｽ異常\nファイルの書き込みに失敗しました(EFBIG)\n") + ".\\D_CsvOut(117)");
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"big.CSV"});
}

TEST_F(CsvFileTest, EncodingChoiceWritesTheSameTextInUtf8WithAByteOrderMark)
{
    const std::string golden = readFile(fs::path(MXR_TEST_DATA_DIR) / "exchange" / "sample.csv");
    const std::optional<std::string> goldenUtf8 = iconvToUtf8(golden);
    ASSERT_TRUE(goldenUtf8) << "the golden file converts";
    ASSERT_NE(*goldenUtf8, golden) << "the sample holds Japanese text";

    for (const char* name : {"cp932", "utf8bom"}) {
        SCOPED_TRACE(name);
        const std::optional<CsvEncoding> encoding = CsvEncodingFromName(name);
        ASSERT_TRUE(encoding);
        EXPECT_STREQ(CsvEncodingName(*encoding), name);
        CsvWriteOptions options;
        options.encoding = *encoding;
        const fs::path path = m_dir / (std::string(name) + ".csv");
        const CsvWriteOutcome out = WriteCsv(path.string(), csvtest::sampleNames(),
                                             csvtest::sampleRecord(), defaultLabels(), options);
        ASSERT_TRUE(out.ok) << out.message;
        const std::string written = readFile(path);
        if (*encoding == CsvEncoding::Cp932)
            EXPECT_EQ(written, golden); // byte for byte as always
        else
            EXPECT_EQ(written, "\xEF\xBB\xBF" + *goldenUtf8);
    }
    for (const char* bad : {"", "utf8", "UTF8BOM", "sjis"})
        EXPECT_FALSE(CsvEncodingFromName(bad)) << bad;
}

namespace {

// A record long enough that the file is written in several pieces while it is built.
CMeasRecord longRecord()
{
    CMeasRecord r = csvtest::sampleRecord();
    r.Points.clear();
    r.Triggers.clear();
    for (int i = 0; i < 60000; ++i) {
        const double t = 0.2 * i;
        r.Points.push_back({CDataValue(0.0005 * i - 3.0 + 1e-7 * (i % 13)), t});
        if (i % 500 == 0)
            r.Triggers.push_back({CDataValue(6.05 + i), t, t + 0.4});
    }
    r.UsedPoints = 59999;
    return r;
}

} // namespace

TEST_F(CsvFileTest, ALongRecordWrittenInPiecesIsTheWholeTextInEitherEncoding)
{
    const CMeasRecord r = longRecord();
    const std::string text = CsvContent(csvtest::sampleNames(), r, defaultLabels());
    // Every point line reads as the printf forms of its values (the reused buffer and the
    // digits written in place change nothing).
    const std::size_t listStart = text.find(lit("測定時間"));
    ASSERT_NE(listStart, std::string::npos);
    std::istringstream lines(text.substr(text.find("\r\n", listStart) + 2));
    std::string line;
    for (int i = 0; i < r.UsedPoints; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        char expected[64];
        const double t = r.Points[static_cast<std::size_t>(i)].elapsed;
        const long long tenthsTotal = std::llround(t * 10.0);
        std::snprintf(expected, sizeof expected, "%02lld:%02lld.%lld, %6.3f\r", tenthsTotal / 600,
                      tenthsTotal / 10 % 60, tenthsTotal % 10,
                      r.Points[static_cast<std::size_t>(i)].value.toDouble());
        ASSERT_EQ(line, expected) << "point " << i;
    }

    std::string reused = "left over from an earlier file";
    CsvContentInto(reused, csvtest::sampleNames(), r, defaultLabels());
    EXPECT_EQ(reused, text);

    for (CsvEncoding encoding : {CsvEncoding::Cp932, CsvEncoding::Utf8Bom}) {
        CsvWriteOptions options;
        options.encoding = encoding;
        const fs::path path = m_dir / (std::string(CsvEncodingName(encoding)) + ".CSV");
        const CsvWriteOutcome out =
            WriteCsv(path.string(), csvtest::sampleNames(), r, defaultLabels(), options);
        ASSERT_TRUE(out.ok) << out.message;
        EXPECT_TRUE(readFile(path) == CsvEncode(text, encoding)) << CsvEncodingName(encoding);
    }
}

TEST_F(CsvFileTest, AWriteFailingPartWayThroughALongRecordKeepsTheOldFile)
{
    const fs::path target = m_dir / "long.CSV";
    std::ofstream(target) << "old";
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 300 * 1024; // past the first piece, before the end
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const CsvWriteOutcome out =
        WriteCsv(target.string(), csvtest::sampleNames(), longRecord(), defaultLabels());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);

    EXPECT_EQ(out.status, CsvWriteStatus::FileError);
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"long.CSV"});
}
