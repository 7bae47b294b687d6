// Tests of CxLogFile: week slots, rotation, the size limit, the fallback file, line forms,
// the received-data dump and concurrent writers.
#include "link/cxlogfile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kStamp = R"(\d\d/\d\d \d\d:\d\d:\d\d\[\d{8}\]\( {0,7}\d+\))";

std::time_t localTime(int year, int month, int day, int hour = 12)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> crlfLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(pos) + "<no CRLF>");
            break;
        }
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

void makeFile(const fs::path& p, std::size_t size, std::time_t mtime)
{
    std::ofstream(p, std::ios::binary) << std::string(size, 'x');
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    utimensat(AT_FDCWD, p.c_str(), times, 0);
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_logtest_XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_base = (m_dir / "COMM_").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // A log at a fixed local time that the test moves with setNow.
    CxLogFile makeLog(uint32_t retryMs = 10000, uint64_t maxSize = 0x500000)
    {
        CxLogFile log;
        log.Setup(m_base, 7, 4, retryMs, maxSize);
        log.SetClock([this] { return m_now; });
        return log;
    }

    fs::path m_dir;
    std::string m_base;
    std::time_t m_now = localTime(2024, 5, 15);
};

TEST_F(LogFileTest, WeekSlotsCountFromJanuaryFirst1998)
{
    struct Case {
        int y, m, d;
        const char* file;
    };
    // days since 1998-01-01, minus one, divided by seven, modulo four
    const Case cases[] = {
        {1998, 1, 1, "COMM_0.LOG"},  {1998, 1, 8, "COMM_0.LOG"},  {1998, 1, 9, "COMM_1.LOG"},
        {1998, 1, 16, "COMM_2.LOG"}, {1998, 1, 29, "COMM_3.LOG"}, {1998, 1, 30, "COMM_0.LOG"},
    };
    for (const Case& c : cases) {
        m_now = localTime(c.y, c.m, c.d);
        CxLogFile log = makeLog();
        EXPECT_EQ(log.FilePathAt(m_now), (m_dir / c.file).string())
            << c.y << "-" << c.m << "-" << c.d;
        log.Write("x");
        EXPECT_TRUE(fs::exists(m_dir / c.file)) << c.file;
    }
    EXPECT_EQ(makeLog().FallbackPath(), m_base + "E.LOG");
}

TEST_F(LogFileTest, SlotFromAnotherWeekIsReplacedSameWeekAppended)
{
    m_now = localTime(1998, 1, 9); // week 1, slot 1
    CxLogFile log = makeLog();
    log.Write("first");
    m_now += 86400; // same week
    log.Write("second");
    const fs::path slot = m_dir / "COMM_1.LOG";
    ASSERT_EQ(crlfLines(readAll(slot)).size(), 2u);
    struct stat st {};
    stat(slot.c_str(), &st);
    EXPECT_EQ(st.st_mtime, m_now) << "last-modified time is the time of the write";

    m_now += 28 * 86400; // four weeks later: the same slot, another week
    log.Write("third");
    const auto lines = crlfLines(readAll(slot));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + "third")));
}

TEST_F(LogFileTest, SizeLimitExactlyMaximumStaysOneMoreIsDeleted)
{
    const uint64_t limit = 5242880;
    for (uint64_t size : {limit, limit + 1}) {
        CxLogFile log = makeLog();
        const fs::path slot = log.FilePathAt(m_now);
        makeFile(slot, size, m_now - 60);
        log.Write("x");
        const auto after = fs::file_size(slot);
        if (size == limit)
            EXPECT_GT(after, limit) << "a file of exactly the maximum size is kept";
        else
            EXPECT_LT(after, 100u) << "a larger file is deleted before the write";
        fs::remove(slot);
    }
}

TEST_F(LogFileTest, FallsBackToELogWhenTheFileCannotBeOpened)
{
    CxLogFile log = makeLog(300, 64);
    const fs::path slot = log.FilePathAt(m_now);
    const fs::path fallback = log.FallbackPath();

    // Locked by another program for longer than the retry time.
    makeFile(slot, 0, m_now);
    const int fd = ::open(slot.c_str(), O_WRONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    log.Write("while locked");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    ::close(fd);
    EXPECT_EQ(fs::file_size(slot), 0u);
    auto lines = crlfLines(readAll(fallback));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + "while locked")));

    // Not openable at all (a folder in its place); an oversized fallback is started anew.
    fs::remove(slot);
    fs::create_directory(slot);
    makeFile(fallback, 65, m_now);
    log.Write("no file");
    lines = crlfLines(readAll(fallback));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + "no file")));

    // Neither file can be opened: the text is dropped quietly.
    CxLogFile nowhere;
    nowhere.Setup((m_dir / "missing" / "LOG").string(), 7, 4, 0);
    nowhere.Write("lost");
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
}

TEST_F(LogFileTest, LineFormsUseCrLfAndTheCLocale)
{
    CxLogFile log = makeLog();
    log.Write("a\nb");
    log.WriteNoNewline("start ");
    log.WriteRaw("continued");
    log.Printf("%s=%.1lf", "v", 2.25);
    log.Write("");
    const auto lines = crlfLines(readAll(log.FilePathAt(m_now)));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + "a")));
    EXPECT_EQ(lines[1], "b");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(kStamp + "start continued")));
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(kStamp + "v=2.2")));
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(kStamp)));
    // The month and day of the local time.
    EXPECT_EQ(lines[0].substr(0, 6), "05/15 ");
}

TEST_F(LogFileTest, DumpShowsHexAndCharacterCells)
{
    struct Case {
        std::vector<unsigned char> bytes;
        std::string hex, chars;
    };
    const Case cases[] = {
        {{0x41, 0x0D, 0x7F}, "41 0D 7F ", " A @CR   "},
        {{0x02, 0xB1, 0x80, 0x20, 0x17}, "02 B1 80 20 17 ", "@SX \xB1       @EB"},
    };
    for (const Case& c : cases) {
        CxLogFile log = makeLog();
        const fs::path file = log.FilePathAt(m_now);
        fs::remove(file);
        log.DumpReceived(c.bytes.data(), c.bytes.size());
        log.DumpReceived(c.bytes.data(), 0); // nothing
        const auto lines = crlfLines(readAll(file));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(std::regex_match(lines[0], std::regex(kStamp + R"(\*\*>)" + c.hex)))
            << lines[0];
        EXPECT_EQ(lines[1], std::string(36, ' ') + c.chars);
        // Each character cell stands under its hex cell.
        EXPECT_EQ(lines[0].find("**>") + 3, 37u);
    }
}

// Run by FirstStampedLineOfTheProcessShowsZero in a fresh process of this program.
TEST(LogFileChild, WritesTwoLines)
{
    const char* base = std::getenv("MXR_LOG_CHILD_BASE");
    if (base == nullptr)
        GTEST_SKIP() << "only as a child process";
    CxLogFile log;
    log.Setup(base);
    log.Write("one");
    usleep(20000);
    log.Write("two");
}

TEST_F(LogFileTest, FirstStampedLineOfTheProcessShowsZero)
{
    // A fresh process (not a fork, which would inherit the previous tick of earlier tests).
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("MXR_LOG_CHILD_BASE", m_base.c_str(), 1);
        execl("/proc/self/exe", "mxr_link_tests", "--gtest_filter=LogFileChild.WritesTwoLines",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CxLogFile log;
    log.Setup(m_base);
    const auto lines = crlfLines(readAll(log.FilePathAt(std::time(nullptr))));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("](       0)one"), std::string::npos) << lines[0];
    std::smatch m;
    ASSERT_TRUE(std::regex_search(lines[1], m, std::regex(R"(\( *(\d+)\)two)")));
    EXPECT_GE(std::stoi(m[1]), 15);
}

TEST_F(LogFileTest, EmptyBasePathCreatesNothing)
{
    const fs::path cwd = fs::current_path();
    fs::current_path(m_dir);
    CxLogFile log;
    log.Setup("");
    log.Write("x");
    log.WriteNoNewline("x");
    log.WriteRaw("x");
    log.Printf("%d", 1);
    const unsigned char b = 0x41;
    log.DumpReceived(&b, 1);
    fs::current_path(cwd);
    EXPECT_FALSE(log.IsEnabled());
    EXPECT_TRUE(fs::is_empty(m_dir));
}

TEST_F(LogFileTest, ThreadsAndProcessesShareOneFile)
{
    constexpr int kLines = 200;
    auto writer = [this](const std::string& tag) {
        CxLogFile log;
        log.Setup(m_base);
        for (int i = 0; i < kLines; ++i)
            log.Write(tag + std::to_string(i) + std::string(100, '.'));
    };
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        writer("P");
        _exit(0);
    }
    std::thread a(writer, "A"), b(writer, "B");
    a.join();
    b.join();
    int status = 0;
    waitpid(pid, &status, 0);

    CxLogFile log;
    log.Setup(m_base);
    const auto lines = crlfLines(readAll(log.FilePathAt(std::time(nullptr))));
    ASSERT_EQ(lines.size(), 3u * kLines);
    const std::regex form(kStamp + R"([ABP]\d+\.{100})");
    for (const auto& line : lines)
        ASSERT_TRUE(std::regex_match(line, form)) << line;
}

} // namespace
