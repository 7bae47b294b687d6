// Tests of CAppSettings (first start, second start, kept values, placement, the run mark,
// labels, port overrides) and of the application folder rules.
#include "settings/appfolder.h"
#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "model/safefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "fileutil.h"
#include "smalltmpfs.h"

namespace fs = std::filesystem;

namespace {

using testfile::inode;
using testfile::readAll;
using testfile::writeAll;

const fs::path kData = fs::path(MXR_TEST_DATA_DIR) / "app";

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mxr_settest_XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_paths.appDir = m_dir.string();
        m_paths.exePath = "/opt/mxr/MXRView";
        m_paths.exeDir = "/opt/mxr";
        m_paths.documentsDir = "/home/user/Documents";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    CAppSettings load()
    {
        CAppSettings s;
        s.SetPaths(m_paths);
        s.LoadSettings();
        return s;
    }
    fs::path ini() const { return m_dir / "MXRView.INI"; }
    fs::path systemIni() const { return m_dir / "system.ini"; }

    fs::path m_dir;
    AppPaths m_paths;
};

TEST_F(AppSettingsTest, FirstLoadWritesEveryKeyWithItsDefault)
{
    const CAppSettings s = load();
    EXPECT_EQ(readAll(ini()), readAll(kData / "first_load_MXRView.INI"));
    EXPECT_EQ(readAll(systemIni()), readAll(kData / "first_load_system.ini"));
    EXPECT_EQ(s.DataFile, ".\\DATA\\MXR.DAT");
    EXPECT_EQ(s.SavedataDir, "/home/user/Documents") << "empty SavedataDir: the documents folder";
    EXPECT_EQ(s.DefCnd.CabKind, cp932::lit("３相一括"));
    EXPECT_EQ(s.DefCnd.LastCurrentMax, "10.0");
    EXPECT_EQ(s.TriggValidSec, 10);
    EXPECT_EQ(s.Customer2WidRate, 34.0);
    EXPECT_EQ(s.RunningNum, 15685);
    EXPECT_FALSE(s.PlacementRead);
    EXPECT_EQ(fs::directory_iterator(m_dir)->path().filename().string().find(".tmp"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

TEST_F(AppSettingsTest, LoadWithoutWriteBackReadsTheDefaultsAndWritesNothing)
{
    CAppSettings s;
    s.SetPaths(m_paths);
    s.LoadSettings(false);
    EXPECT_EQ(s.DataFile, ".\\DATA\\MXR.DAT");
    EXPECT_EQ(s.TriggValidSec, 10);
    EXPECT_EQ(s.Customer2WidRate, 34.0);
    EXPECT_EQ(fs::directory_iterator(m_dir), fs::directory_iterator()) << "no file created";
}

TEST_F(AppSettingsTest, SecondLoadAndSaveLeaveTheFilesAsTheyAre)
{
    CAppSettings first = load();
    first.BeginRun("1.0.0.1");
    first.EndRun();
    const std::string main = readAll(ini());
    const std::string system = readAll(systemIni());
    const ino_t mainInode = inode(ini());
    const ino_t systemInode = inode(systemIni());
    EXPECT_NE(main.find("SavedataDir=/home/user/Documents\r\n"), std::string::npos);

    CAppSettings second = load();
    EXPECT_EQ(inode(ini()), mainInode) << "a load that changes nothing does not write";
    EXPECT_FALSE(second.BeginRun("1.0.0.1"));
    EXPECT_TRUE(second.EndRun());
    EXPECT_EQ(readAll(ini()), main);
    EXPECT_EQ(readAll(systemIni()), system);
    EXPECT_EQ(inode(systemIni()), systemInode);
}

TEST_F(AppSettingsTest, NonDefaultValuesSurvive)
{
    writeAll(ini(), "[INISECTION_Param]\r\nPrtBlankTop=9\r\n[DefCnd]\r\nSeikyokuMin=0.7\r\n"
                    "[Param]\r\nSavedataDir=/data\r\n");
    writeAll(systemIni(), "[title]\r\nCustomer=\x8C\xDA\x8B\x71\r\nCable1WidRate=7.5\r\n"
                          "[Param]\r\nTriggValidSec=30\r\n");
    CAppSettings s = load();
    EXPECT_EQ(s.PrtBlankTop, 9);
    EXPECT_EQ(s.DefCnd.SeikyokuMin, "0.7");
    EXPECT_EQ(s.SavedataDir, "/data");
    EXPECT_EQ(s.TriggValidSec, 30);
    EXPECT_EQ(s.Cable1WidRate, 7.5);
    EXPECT_EQ(s.CustomerLabel("x"), "\x8C\xDA\x8B\x71");
    EXPECT_EQ(s.CableLabel(cp932::lit("ケーブル名称")), cp932::lit("ケーブル名称"));
    EXPECT_EQ(s.DefaultConditions().SeikyokuMin, "0.7");
    s.EndRun();
    const std::string main = readAll(ini());
    EXPECT_NE(main.find("PrtBlankTop=9\r\n"), std::string::npos);
    EXPECT_NE(main.find("SeikyokuMin=0.7\r\n"), std::string::npos);
    EXPECT_NE(readAll(systemIni()).find("Cable1WidRate=7.5\r\n"), std::string::npos);
}

TEST_F(AppSettingsTest, SaveWritesTheKeysInTheirOrder)
{
    CAppSettings s;
    s.SetPaths(m_paths);
    s.DefCnd.CabKind = "K";
    EXPECT_TRUE(s.SaveSettings());
    EXPECT_EQ(readAll(ini()), readAll(kData / "save_only_MXRView.INI"));
}

// The approval keys the older program does not know stay out of the INI until used (the golden
// files above hold without them), and are kept once set.
TEST_F(AppSettingsTest, ApprovalKeysAppearOnlyOnceUsed)
{
    CAppSettings s = load();
    EXPECT_EQ(s.PrtApproval, 0);
    EXPECT_EQ(s.ApproverName, "");
    s.PrtApproval = 1;
    s.ApproverName = cp932::lit("山田");
    ASSERT_TRUE(s.SaveSettings());
    const std::string main = readAll(ini());
    EXPECT_NE(main.find("PrtApproval=1\r\n"), std::string::npos);
    EXPECT_NE(main.find("[Approval]\r\nName=" + cp932::lit("山田") + "\r\n"), std::string::npos);

    CAppSettings again = load();
    EXPECT_EQ(again.PrtApproval, 1);
    EXPECT_EQ(again.ApproverName, cp932::lit("山田"));
    // Switched off again, the key stays with its value rather than vanishing.
    again.PrtApproval = 0;
    ASSERT_TRUE(again.SaveSettings());
    EXPECT_NE(readAll(ini()).find("PrtApproval=0\r\n"), std::string::npos);
}

TEST_F(AppSettingsTest, PlacementCountsOnlyWithAllTenNumbers)
{
    struct Case {
        const char* text;
        bool read;
    };
    const Case cases[] = {
        {"0 , 1 , -1 , -1 , -8 , -31 , 10 , 20 , 810 , 620", true},
        {"0,1,-1,-1,-8,-31,10,20,810,620", true},
        {"0 , 1 , -1 , -1 , -8 , -31 , 10 , 20 , 810", false},
        {"", false},
        {"a , 1 , -1 , -1 , -8 , -31 , 10 , 20 , 810 , 620", false},
    };
    for (const Case& c : cases) {
        writeAll(ini(), std::string("[Window]\r\nPlacement=") + c.text + "\r\n");
        const CAppSettings s = load();
        EXPECT_EQ(s.PlacementRead, c.read) << c.text;
        EXPECT_EQ(s.PlacementText, c.text);
        if (c.read) {
            EXPECT_EQ(FormatPlacement(s.Placement), cases[0].text);
            EXPECT_EQ(s.Placement.bottom, 620);
        }
    }
}

TEST_F(AppSettingsTest, RunMarkReportsAKilledRun)
{
    CAppSettings s = load();
    EXPECT_FALSE(s.BeginRun("1.0.0.1")) << "RunningNum missing: no abnormal end";
    EXPECT_NE(readAll(ini()).find("RunningNum=0\r\nVersion=1.0.0.1\r\n"), std::string::npos);
    // Killed: no EndRun.
    CAppSettings next = load();
    EXPECT_TRUE(next.BeginRun("1.0.0.1"));
    next.EndRun();
    EXPECT_NE(readAll(ini()).find("RunningNum=15685\r\n"), std::string::npos);
    EXPECT_FALSE(load().BeginRun("1.0.0.1"));
}

TEST_F(AppSettingsTest, PortOverridesAreReadWithoutWriting)
{
    EXPECT_TRUE(PortOverrides(ini().string()).empty());
    EXPECT_FALSE(fs::exists(ini()));
    const std::string text =
        "[ports]\r\ncom3=/dev/pts/5\r\nCOM4=\r\nCOM21=/dev/x\r\nCOM20=/dev/y\r\n";
    writeAll(ini(), text);
    const auto ports = load().PortOverrides();
    EXPECT_EQ(ports, (std::map<int, std::string>{{3, "/dev/pts/5"}, {20, "/dev/y"}}));
    EXPECT_EQ(readAll(ini()).substr(0, text.size()), text);
}

TEST(AppFolder, ChosenInOrder)
{
    struct Case {
        const char* option;
        const char* env; // nullptr: unset
        bool portable;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/h", "/env", true, "/opt/h"},
        {"", "/env", true, "/env"},
        {"", "", true, "/opt/bin"},
        {"", nullptr, true, "/opt/bin"},
        {"", nullptr, false, "/home/u/.local/share/MXRView"},
    };
    for (const Case& c : cases) {
        AppFolderInputs in;
        in.homeOption = c.option;
        if (c.env)
            in.envHome = c.env;
        in.exeDir = "/opt/bin";
        in.exeDirPortable = c.portable;
        in.userHome = "/home/u/";
        EXPECT_EQ(ResolveAppFolder(in), c.expected);
    }
}

TEST(AppFolder, PortableMarkerAndCreation)
{
    char tmpl[] = "/tmp/mxr_foldertest_XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    EXPECT_FALSE(HasPortableMarker(dir.string()));
    fs::create_directory(dir / "portable");
    EXPECT_FALSE(HasPortableMarker(dir.string())) << "a folder is not the marker";
    fs::remove(dir / "portable");
    writeAll(dir / "portable", "");
    EXPECT_TRUE(HasPortableMarker(dir.string()));

    const fs::path nested = dir / "a" / "b";
    EXPECT_EQ(ApplicationFolder(nested.string(), false), nested.string());
    EXPECT_FALSE(fs::exists(nested)) << "the read-only caller creates nothing";
    EXPECT_EQ(ApplicationFolder(nested.string() + "/", true), nested.string());
    EXPECT_TRUE(fs::is_directory(nested));
    fs::remove_all(dir);
}

} // namespace

namespace {

// A failed write of the settings (full disk, failing device) is a false result that leaves the
// file as it was: never an exception out of the exit path.
void expectSavesFailCleanly(CAppSettings& s, const fs::path& ini)
{
    const std::string before = readAll(ini);
    s.PrtBlankTop = 17;
    bool saved = true;
    EXPECT_NO_THROW(saved = s.SaveSettings());
    EXPECT_FALSE(saved);
    EXPECT_NO_THROW(saved = s.EndRun());
    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(ini), before);
    for (const auto& e : fs::directory_iterator(ini.parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

} // namespace

TEST_F(AppSettingsTest, AFailedWriteIsReportedNotThrown)
{
    CAppSettings s = load();
    safefile::SetInjectedWriteError(ENOSPC);
    expectSavesFailCleanly(s, ini());
    safefile::SetInjectedWriteError(0);
    EXPECT_TRUE(s.SaveSettings());
}

TEST_F(AppSettingsTest, AFullDiskIsReportedNotThrown)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    m_paths.appDir = disk.path();
    CAppSettings s = load();
    disk.fill();
    expectSavesFailCleanly(s, fs::path(disk.path()) / "MXRView.INI");
}
