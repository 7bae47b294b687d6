// CAppSettings: every setting of MXRView.INI and system.ini, loaded once at start-up and saved
// at a normal exit; the window placement text; the serial port overrides.
#pragma once

#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "model/measrecord.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

// The Windows window placement stored in "Placement": flags, show command, minimized and
// maximized positions, the normal rectangle.
struct WindowPlacement {
    unsigned flags = 0;
    unsigned showCmd = 1;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0;

    bool operator==(const WindowPlacement&) const = default;
};

// Reads "%u , %u , %d , %d , %d , %d , %d , %d , %d , %d"; nothing unless all ten parse.
std::optional<WindowPlacement> ParsePlacement(std::string_view text);
std::string FormatPlacement(const WindowPlacement& p);

// Where the program and its files are. File-system paths (UTF-8 on this platform).
struct AppPaths {
    std::string appDir;               // the application folder, no trailing '/'
    std::string exePath;              // the program's full file name
    std::string exeDir;               // the folder of the program, no trailing '/'
    std::string baseName = "MXRView"; // the program's file name without extension
    std::string tempDir;              // $TMPDIR or /tmp, no trailing '/'
    std::string documentsDir;         // $XDG_DOCUMENTS_DIR, else $HOME/Documents
};

// The temporary and documents folders from the environment, the rest from the arguments.
AppPaths MakeAppPaths(const std::string& appDir, const std::string& exePath);

// "COM%d" (1 to 20) = device path from the section "Ports" of an INI file, read without
// writing anything back. Ports without a non-empty entry are missing from the map.
std::map<int, std::string> PortOverrides(const std::string& iniPath);

class CAppSettings {
public:
    // Sets the paths and the two INI files derived from them:
    // <appDir>/<baseName>.INI and <appDir>/system.ini.
    void SetPaths(const AppPaths& paths);
    const AppPaths& Paths() const { return m_paths; }
    const std::string& IniPath() const { return m_ini.Path(); }
    const std::string& SystemIniPath() const { return m_systemIni.Path(); }

    // Reads every key of both files in the order of the tables (the placement first), each
    // with writeBack: a missing file or key, or a value equal to its default, is written with
    // the default. One atomic write per file at most. Without writeBack nothing is written
    // (a copy that only views a file leaves the settings of the installation as they are).
    void LoadSettings(bool writeBack = true);
    // Writes the keys kept at exit, in their fixed order, in one atomic write.
    bool SaveSettings();

    // The abnormal-end check of the start-up: true when "RunningNum" is not the normal-exit
    // mark. Then sets "RunningNum" to 0 and "Version" to versionText (one write).
    bool BeginRun(const std::string& versionText);
    // The normal exit: "RunningNum" = 15685, then SaveSettings, in one write.
    bool EndRun();

    // The "DefCnd" texts as the conditions of newly registered records, and their
    // replacement by the conditions of a set the user edited.
    DefaultConditionTexts DefaultConditions() const;
    void SetDefaultConditions(const DefaultConditionTexts& texts);

    // Level labels: the configured "title" text, or the caller's default when that is empty.
    std::string CustomerLabel(const std::string& defaultText) const;
    std::string CableLabel(const std::string& defaultText) const;
    std::string MeasurementLabel(const std::string& defaultText) const;

    // The folder of archived serial receptions: <appDir>/DATA/received (empty while no
    // application folder is set).
    std::string ReceivedFolder() const;

    // The serial port overrides of the main INI file (see PortOverrides above).
    std::map<int, std::string> PortOverrides() const;

    // Every value below is CP932 text, as stored.
    // [Window]
    std::string PlacementText;  // as read
    WindowPlacement Placement;  // valid when PlacementRead
    bool PlacementRead = false; // all ten numbers parsed (or the main window set one)
    // [Param]
    std::string DataFile;
    std::string SelCustomer;
    std::string SelCableName;
    int PrintOutPageNo = 1;
    std::string SavedataDir;
    std::string PdfOutDir; // empty until a PDF was written
    // [TextOut]
    std::string TextOutDir;
    std::string TextOutFile;
    int ChkExe = 0;
    std::string RunningExe;
    std::string TextOutEncoding = "cp932"; // the CSV file's encoding: "cp932" or "utf8bom"
    // [INISECTION_Param], margins in mm
    int PrtBlankTop = 5;
    int PrtBlankLeft = 5;
    int PrtBlankBottom = 5;
    int PrtBlankRight = 5;
    int PrtJudgOut = 1;
    int PrtApproval = 0; // 1: the printed report shows a set's approval (name, date)
    // [DefCnd]
    DefaultConditionTexts DefCnd;
    // [Debug]
    int DebugComm = 0; // 1: simulated reception without the port
    int CommLog = 0;   // 1: communication log
    // [Received]: archived serial receptions kept (the newest, within both bounds)
    int ReceivedKeepFiles = 200;
    int ReceivedKeepMB = 200;
    // [Approval]: the approver's name this workstation last entered
    std::string ApproverName;
    // [check]
    int RunningNum = kRunningNumNormalExit;
    std::string Version;
    // system.ini
    int TriggValidSec = 10;
    std::string TitleCustomer;
    std::string TitleCable;
    std::string TitleMeasurement;
    double Customer1WidRate = 8;
    double Customer2WidRate = 34;
    double Cable1WidRate = 6;
    double Cable2WidRate = 22;
    double Measurement1WidRate = 8;
    double Measurement2WidRate = 22;

private:
    AppPaths m_paths;
    mutable CIniFile m_ini;
    mutable CIniFile m_systemIni;
};

// The settings of the running program, reachable from every part of it.
CAppSettings& AppSettings();
