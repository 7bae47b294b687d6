// Tests of CIniFile: the private-profile reading and writing rules, batches and atomic writes.
#include "settings/inifile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "fileutil.h"

namespace fs = std::filesystem;

namespace {

using testfile::inode;
using testfile::readAll;
using testfile::writeAll;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_initest_XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_path = m_dir / "T.INI";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    fs::path m_path;
};

TEST_F(IniFileTest, ReadsLikeTheProfileFunctions)
{
    struct Case {
        const char* file;
        const char* section;
        const char* key;
        const char* expected; // nullptr: missing (the default is returned)
    };
    const Case cases[] = {
        {"[Sec]\r\nKey=Value\r\n", "sEC", "kEY", "Value"},
        {"  [ Sec ] trailing\r\n  Key  =  two words \t\r\n", "Sec", "Key", "two words"},
        {"[Sec]\nKey=lf only\n", "Sec", "Key", "lf only"},
        // CR-only line ends (old editors of another platform): still one line each.
        {"[Sec]\rKey=cr only\rNext=2\r", "Sec", "Key", "cr only"},
        {"[Sec]\rKey=cr only\rNext=2\r", "Sec", "Next", "2"},
        {"[Other]\rKey=1\r[Sec]\r\nKey=mixed\n", "Sec", "Key", "mixed"},
        {"[Sec]\r\nKey=\"quoted \"\r\n", "Sec", "Key", "quoted "},
        {"[Sec]\r\nKey='x'\r\n", "Sec", "Key", "x"},
        {"[Sec]\r\nKey=\"unbalanced'\r\n", "Sec", "Key", "\"unbalanced'"},
        {"[Sec]\r\nKey=a=b\r\n", "Sec", "Key", "a=b"},
        {"[Sec]\r\nKey=\r\n", "Sec", "Key", ""},
        {"[Sec]\r\n;Key=commented\r\n", "Sec", "Key", nullptr},
        {"Key=before any section\r\n[Sec]\r\n", "Sec", "Key", nullptr},
        {"[Other]\r\nKey=1\r\n[Sec]\r\nOther=2\r\n", "Sec", "Key", nullptr},
        {"[Sec]\r\nKey=first\r\n[Sec]\r\nKey=second\r\n", "Sec", "Key", "first"},
        {"[Sec]\r\nKey=first\r\nkey=second\r\n", "Sec", "KEY", "first"},
        {"[Sec]\r\nKey=no line end", "Sec", "Key", "no line end"},
        // Double-byte keys: a trail byte in the letter range is not case-folded.
        {"[Sec]\r\n\x83\x41=upper trail\r\n", "Sec", "\x83\x61", nullptr},
        {"[Sec]\r\n\x83\x41=upper trail\r\n", "Sec", "\x83\x41", "upper trail"},
        {"[\x92\xCA\x90\x4D]\r\nA=\x8E\xF3\x90\x4D\r\n", "\x92\xCA\x90\x4D", "a",
         "\x8E\xF3\x90\x4D"},
    };
    for (const Case& c : cases) {
        writeAll(m_path, c.file);
        CIniFile ini(m_path.string());
        const auto found = ini.Find(c.section, c.key);
        SCOPED_TRACE(c.file);
        if (c.expected == nullptr) {
            EXPECT_FALSE(found.has_value());
            EXPECT_EQ(ini.GetString(c.section, c.key, "dflt", false), "dflt");
        } else {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, c.expected);
        }
        EXPECT_EQ(readAll(m_path), c.file) << "reading never writes";
    }
}

TEST_F(IniFileTest, IntegersAndDoublesParseTheLeadingNumber)
{
    struct Case {
        const char* value; // nullptr: key missing
        int asInt;
        double asDouble;
    };
    const Case cases[] = {
        {"12abc", 12, 12.0}, {" -7", -7, -7.0}, {"+3", 3, 3.0},
        {"abc", 0, 0.0},     {"", 42, 0.0},     {nullptr, 42, 2.5},
        {"0x10", 0, 0.0},    {"2.75", 2, 2.75}, {"4294967297", 1, 4294967297.0},
    };
    for (const Case& c : cases) {
        writeAll(m_path, c.value ? std::string("[S]\r\nK=") + c.value + "\r\n" : "[S]\r\n");
        CIniFile ini(m_path.string());
        SCOPED_TRACE(c.value ? c.value : "(missing)");
        EXPECT_EQ(ini.GetInt("S", "K", 42, false), c.asInt);
        EXPECT_DOUBLE_EQ(ini.GetDouble("S", "K", 2.5, false), c.asDouble);
    }
}

TEST_F(IniFileTest, WritingKeepsEveryOtherLineByteForByte)
{
    const std::string before = "; header comment\r\n"
                               "\r\n"
                               "[Param]\r\n"
                               "  DataFile = old value \r\n"
                               "; note inside\r\n"
                               "junk line without equals\r\n"
                               "Other=1\r\n"
                               "\r\n"
                               "[Unix]\n"
                               "Lf=kept\n"
                               "[Last]\r\n"
                               "Tail=no line end";
    writeAll(m_path, before);
    CIniFile ini(m_path.string());
    EXPECT_TRUE(ini.SetString("PARAM", "datafile", "new"));   // spelling of the key kept
    EXPECT_TRUE(ini.SetString("param", "Added", "\x83\x5C")); // after the last key line
    EXPECT_TRUE(ini.SetInt("Last", "Number", -12));           // after a line without end
    EXPECT_TRUE(ini.SetString("New", "K", "multi\r\nline"));  // new section at the end
    const std::string after = "; header comment\r\n"
                              "\r\n"
                              "[Param]\r\n"
                              "DataFile=new\r\n"
                              "; note inside\r\n"
                              "junk line without equals\r\n"
                              "Other=1\r\n"
                              "Added=\x83\x5C\r\n"
                              "\r\n"
                              "[Unix]\n"
                              "Lf=kept\n"
                              "[Last]\r\n"
                              "Tail=no line end\r\n"
                              "Number=-12\r\n"
                              "[New]\r\n"
                              "K=multi  line\r\n";
    EXPECT_EQ(readAll(m_path), after);
    EXPECT_EQ(ini.GetString("param", "added", "", false), "\x83\x5C");
}

TEST_F(IniFileTest, CrOnlyFileKeepsItsLinesWhenAKeyIsWritten)
{
    writeAll(m_path, "[S]\rA=1\r; note\rB=2\r[T]\rC=3");
    CIniFile ini(m_path.string());
    EXPECT_TRUE(ini.SetString("S", "A", "9"));
    EXPECT_TRUE(ini.SetString("S", "New", "x"));
    EXPECT_EQ(readAll(m_path), "[S]\rA=9\r; note\rB=2\rNew=x\r\n[T]\rC=3");
}

TEST_F(IniFileTest, MissingFileIsCreatedOnlyByAWrite)
{
    CIniFile ini(m_path.string());
    EXPECT_EQ(ini.GetInt("S", "K", 3, false), 3);
    EXPECT_FALSE(fs::exists(m_path));
    EXPECT_EQ(ini.GetInt("S", "K", 3, true), 3);
    EXPECT_EQ(readAll(m_path), "[S]\r\nK=3\r\n");
}

TEST_F(IniFileTest, WriteBackOnlyForValuesEqualToTheDefault)
{
    writeAll(m_path, "[S]\r\nSame=5\r\nOther=7\r\nEmpty=\r\nD1=8\r\nD2=8.5\r\nT=text\r\n");
    CIniFile ini(m_path.string());
    const ino_t before = inode(m_path);
    EXPECT_EQ(ini.GetInt("S", "Other", 5, true), 7);
    EXPECT_EQ(ini.GetInt("S", "Same", 5, true), 5);
    EXPECT_EQ(ini.GetDouble("S", "D2", 8, true), 8.5);
    EXPECT_EQ(ini.GetString("S", "T", "x", true), "text");
    EXPECT_EQ(inode(m_path), before) << "nothing changed, so the file was not rewritten";

    EXPECT_EQ(ini.GetInt("S", "Empty", 5, true), 5);
    EXPECT_EQ(ini.GetDouble("S", "D1", 8, true), 8.0);
    EXPECT_EQ(ini.GetString("S", "New", "", true), "");
    EXPECT_EQ(readAll(m_path),
              "[S]\r\nSame=5\r\nOther=7\r\nEmpty=5\r\nD1=8.000000\r\nD2=8.5\r\nT=text\r\nNew=\r\n");
}

TEST_F(IniFileTest, BatchWritesOnceAndLeavesNoTemporaryFiles)
{
    writeAll(m_path, "[S]\r\nA=1\r\n");
    CIniFile ini(m_path.string());
    {
        CIniFile::Batch batch(ini);
        ini.SetInt("S", "A", 2);
        ini.SetInt("S", "B", 3);
        EXPECT_EQ(ini.GetInt("S", "B", 0, false), 3) << "reads see the pending changes";
        EXPECT_EQ(readAll(m_path), "[S]\r\nA=1\r\n") << "nothing on disk before the end";
        {
            CIniFile::Batch inner(ini);
            ini.SetString("T", "C", "4");
        }
        EXPECT_EQ(readAll(m_path), "[S]\r\nA=1\r\n") << "an inner batch does not write";
    }
    EXPECT_EQ(readAll(m_path), "[S]\r\nA=2\r\nB=3\r\n[T]\r\nC=4\r\n");

    // A batch that ends with the same bytes does not touch the file.
    const ino_t before = inode(m_path);
    ini.BeginBatch();
    ini.SetInt("S", "A", 9);
    ini.SetInt("S", "A", 2);
    EXPECT_TRUE(ini.EndBatch());
    EXPECT_EQ(inode(m_path), before);

    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
    chmod(m_path.c_str(), 0640);
    ini.SetInt("S", "A", 5);
    EXPECT_EQ(fs::status(m_path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniFileTest, FailedWriteKeepsTheOldFile)
{
    CIniFile ini((m_dir / "missing-folder" / "X.INI").string());
    EXPECT_FALSE(ini.SetInt("S", "A", 1));
    EXPECT_EQ(ini.GetInt("S", "A", 7, true), 7);
    EXPECT_TRUE(fs::is_empty(m_dir));
}

} // namespace
