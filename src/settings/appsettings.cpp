// CAppSettings: loading and saving both INI files in their fixed key order.
#include "settings/appsettings.h"

#include "model/cp932text.h"
#include "model/number.h"

#include <cstdio>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace {

using cp932::lit;

std::string withoutTrailingSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::string envOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return (v != nullptr && *v != '\0') ? std::string(v) : fallback;
}

std::string homeDir()
{
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/";
}

// Paths come from the file system in UTF-8; the INI holds CP932.
std::string pathToCp932(const std::string& path)
{
    return cp932::fromUtf8(path).value_or(path);
}

} // namespace

std::optional<WindowPlacement> ParsePlacement(std::string_view text)
{
    const std::string s(text); // sscanf needs a terminator
    WindowPlacement p;
    if (std::sscanf(s.c_str(), "%u , %u , %d , %d , %d , %d , %d , %d , %d , %d", &p.flags,
                    &p.showCmd, &p.minX, &p.minY, &p.maxX, &p.maxY, &p.left, &p.top, &p.right,
                    &p.bottom) != 10)
        return std::nullopt;
    return p;
}

std::string FormatPlacement(const WindowPlacement& p)
{
    return formatC("%u , %u , %d , %d , %d , %d , %d , %d , %d , %d", p.flags, p.showCmd, p.minX,
                   p.minY, p.maxX, p.maxY, p.left, p.top, p.right, p.bottom);
}

AppPaths MakeAppPaths(const std::string& appDir, const std::string& exePath)
{
    AppPaths paths;
    paths.appDir = withoutTrailingSlash(appDir);
    paths.exePath = exePath;
    const std::size_t slash = exePath.rfind('/');
    paths.exeDir =
        slash == std::string::npos ? "." : withoutTrailingSlash(exePath.substr(0, slash + 1));
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    paths.baseName = name.empty() ? "MXRView" : name;
    paths.tempDir = withoutTrailingSlash(envOr("TMPDIR", "/tmp"));
    paths.documentsDir = withoutTrailingSlash(envOr("XDG_DOCUMENTS_DIR", homeDir() + "/Documents"));
    return paths;
}

std::map<int, std::string> PortOverrides(const std::string& iniPath)
{
    CIniFile ini(iniPath);
    CIniFile::Batch batch(ini); // one read of the file, nothing is written
    std::map<int, std::string> ports;
    for (int n = 1; n <= 20; ++n) {
        auto device = ini.Find(lit(inisec::Ports), "COM" + std::to_string(n));
        if (device && !device->empty())
            ports[n] = *device;
    }
    return ports;
}

void CAppSettings::SetPaths(const AppPaths& paths)
{
    m_paths = paths;
    m_ini.SetPath(paths.appDir + "/" + paths.baseName + ".INI");
    m_systemIni.SetPath(paths.appDir + "/" + kSystemIniName);
}

void CAppSettings::LoadSettings(bool writeBack)
{
    {
        CIniFile& f = m_ini;
        CIniFile::Batch batch(f);
        auto text = [&f, writeBack](const char* sec, const char* key, const std::string& def) {
            return f.GetString(lit(sec), lit(key), def, writeBack);
        };
        auto number = [&f, writeBack](const char* sec, const char* key, int def) {
            return f.GetInt(lit(sec), lit(key), def, writeBack);
        };
        using namespace inisec;
        using namespace inikey;
        PlacementText = text(Window, inikey::Placement, "");
        const auto placement = ParsePlacement(PlacementText);
        PlacementRead = placement.has_value();
        Placement = placement.value_or(WindowPlacement{});

        DataFile = text(Param, inikey::DataFile, ".\\DATA\\MXR.DAT");
        SelCustomer = text(Param, inikey::SelCustomer, "");
        SelCableName = text(Param, inikey::SelCableName, "");
        PrintOutPageNo = number(Param, inikey::PrintOutPageNo, 1);
        SavedataDir = text(Param, inikey::SavedataDir, "");
        if (SavedataDir.empty())
            SavedataDir = pathToCp932(m_paths.documentsDir); // and saved so at exit
        // Not written back: the key appears only once a PDF was made.
        PdfOutDir = f.GetString(lit(Param), lit(inikey::PdfOutDir), "", false);

        TextOutDir = text(TextOut, Dir, "");
        TextOutFile = text(TextOut, File, "");
        ChkExe = number(TextOut, inikey::ChkExe, 0);
        RunningExe = text(TextOut, inikey::RunningExe, "");
        // Keys the older program does not know are read but not written back with their
        // defaults, so an INI shared with it keeps its bytes until the user changes them.
        TextOutEncoding = f.GetString(lit(TextOut), lit(inikey::Encoding), "cp932", false);

        PrtBlankTop = number(PrintParam, inikey::PrtBlankTop, 5);
        PrtBlankLeft = number(PrintParam, inikey::PrtBlankLeft, 5);
        PrtBlankBottom = number(PrintParam, inikey::PrtBlankBottom, 5);
        PrtBlankRight = number(PrintParam, inikey::PrtBlankRight, 5);
        PrtJudgOut = number(PrintParam, inikey::PrtJudgOut, 1);
        PrtApproval = f.GetInt(lit(PrintParam), lit(inikey::PrtApproval), 0, false);

        DefCnd.CabKind = text(inisec::DefCnd, inikey::CabKind, lit("３相一括"));
        DefCnd.Shindan = text(inisec::DefCnd, inikey::Shindan, lit("ガード接地方式"));
        DefCnd.CurrentR = text(inisec::DefCnd, inikey::CurrentR, "");
        DefCnd.CurrentS = text(inisec::DefCnd, inikey::CurrentS, "");
        DefCnd.CurrentT = text(inisec::DefCnd, inikey::CurrentT, "");
        DefCnd.ShisuZetuen = text(inisec::DefCnd, inikey::ShisuZetuen, "");
        DefCnd.CabSectionalArea = text(inisec::DefCnd, inikey::CabSectionalArea, "");
        DefCnd.CabLength = text(inisec::DefCnd, inikey::CabLength, "");
        DefCnd.SeikyokuMin = text(inisec::DefCnd, inikey::SeikyokuMin, "0.5");
        DefCnd.SeikyokuMax = text(inisec::DefCnd, inikey::SeikyokuMax, "1.0");
        DefCnd.JyakutenMin = text(inisec::DefCnd, inikey::JyakutenMin, "1.0");
        DefCnd.JyakutenMax = text(inisec::DefCnd, inikey::JyakutenMax, "5.0");
        DefCnd.LastCurrentMin = text(inisec::DefCnd, inikey::LastCurrentMin, "1.0");
        DefCnd.LastCurrentMax = text(inisec::DefCnd, inikey::LastCurrentMax, "10.0");

        DebugComm = number(Debug, inikey::DebugComm, 0);
        CommLog = number(Debug, inikey::CommLog, 0);

        ReceivedKeepFiles = f.GetInt(lit(Received), lit(inikey::KeepFiles), 200, false);
        ReceivedKeepMB = f.GetInt(lit(Received), lit(inikey::KeepMB), 200, false);
        ApproverName = f.GetString(lit(inisec::Approval), lit(inikey::ApproverName), "", false);

        RunningNum = number(Check, inikey::RunningNum, kRunningNumNormalExit);
        Version = text(Check, inikey::Version, "");
    }
    {
        CIniFile& f = m_systemIni;
        CIniFile::Batch batch(f);
        auto text = [&f, writeBack](const char* sec, const char* key) {
            return f.GetString(lit(sec), lit(key), "", writeBack);
        };
        auto rate = [&f, writeBack](const char* key, double def) {
            return f.GetDouble(lit(inisec::Title), lit(key), def, writeBack);
        };
        using namespace inikey;
        TriggValidSec = f.GetInt(lit(inisec::Param), lit(inikey::TriggValidSec), 10, writeBack);
        TitleCustomer = text(inisec::Title, inikey::TitleCustomer);
        TitleCable = text(inisec::Title, inikey::TitleCable);
        TitleMeasurement = text(inisec::Title, inikey::TitleMeasurement);
        Customer1WidRate = rate(inikey::Customer1WidRate, 8);
        Customer2WidRate = rate(inikey::Customer2WidRate, 34);
        Cable1WidRate = rate(inikey::Cable1WidRate, 6);
        Cable2WidRate = rate(inikey::Cable2WidRate, 22);
        Measurement1WidRate = rate(inikey::Measurement1WidRate, 8);
        Measurement2WidRate = rate(inikey::Measurement2WidRate, 22);
    }
}

bool CAppSettings::SaveSettings()
{
    CIniFile& f = m_ini;
    f.BeginBatch();
    auto text = [&f](const char* sec, const char* key, const std::string& value) {
        f.SetString(lit(sec), lit(key), value);
    };
    auto number = [&f](const char* sec, const char* key, int value) {
        f.SetInt(lit(sec), lit(key), value);
    };
    using namespace inisec;
    using namespace inikey;
    text(Window, inikey::Placement, PlacementRead ? FormatPlacement(Placement) : PlacementText);
    text(Param, inikey::DataFile, DataFile);
    text(Param, inikey::SelCustomer, SelCustomer);
    text(Param, inikey::SelCableName, SelCableName);
    text(Param, inikey::SavedataDir, SavedataDir);
    if (!PdfOutDir.empty())
        text(Param, inikey::PdfOutDir, PdfOutDir);
    text(TextOut, Dir, TextOutDir);
    text(TextOut, File, TextOutFile);
    number(TextOut, inikey::ChkExe, ChkExe);
    text(TextOut, inikey::RunningExe, RunningExe);
    if (TextOutEncoding != "cp932" || f.Find(lit(TextOut), lit(inikey::Encoding)))
        text(TextOut, inikey::Encoding, TextOutEncoding);
    number(PrintParam, inikey::PrtBlankTop, PrtBlankTop);
    number(PrintParam, inikey::PrtBlankLeft, PrtBlankLeft);
    number(PrintParam, inikey::PrtBlankBottom, PrtBlankBottom);
    number(PrintParam, inikey::PrtBlankRight, PrtBlankRight);
    number(PrintParam, inikey::PrtJudgOut, PrtJudgOut);
    // Written once switched on (or already there), like the other keys the older program
    // does not know.
    if (PrtApproval != 0 || f.Find(lit(PrintParam), lit(inikey::PrtApproval)))
        number(PrintParam, inikey::PrtApproval, PrtApproval);
    if (!ApproverName.empty())
        text(inisec::Approval, inikey::ApproverName, ApproverName);
    text(inisec::DefCnd, inikey::CabKind, DefCnd.CabKind);
    text(inisec::DefCnd, inikey::Shindan, DefCnd.Shindan);
    text(inisec::DefCnd, inikey::CurrentR, DefCnd.CurrentR);
    text(inisec::DefCnd, inikey::CurrentS, DefCnd.CurrentS);
    text(inisec::DefCnd, inikey::CurrentT, DefCnd.CurrentT);
    text(inisec::DefCnd, inikey::ShisuZetuen, DefCnd.ShisuZetuen);
    text(inisec::DefCnd, inikey::CabSectionalArea, DefCnd.CabSectionalArea);
    text(inisec::DefCnd, inikey::CabLength, DefCnd.CabLength);
    text(inisec::DefCnd, inikey::SeikyokuMin, DefCnd.SeikyokuMin);
    text(inisec::DefCnd, inikey::SeikyokuMax, DefCnd.SeikyokuMax);
    text(inisec::DefCnd, inikey::JyakutenMin, DefCnd.JyakutenMin);
    text(inisec::DefCnd, inikey::JyakutenMax, DefCnd.JyakutenMax);
    text(inisec::DefCnd, inikey::LastCurrentMin, DefCnd.LastCurrentMin);
    text(inisec::DefCnd, inikey::LastCurrentMax, DefCnd.LastCurrentMax);
    return f.EndBatch();
}

bool CAppSettings::BeginRun(const std::string& versionText)
{
    m_ini.BeginBatch();
    const int previous =
        m_ini.GetInt(lit(inisec::Check), lit(inikey::RunningNum), kRunningNumNormalExit, false);
    RunningNum = 0;
    Version = versionText;
    m_ini.SetInt(lit(inisec::Check), lit(inikey::RunningNum), RunningNum);
    m_ini.SetString(lit(inisec::Check), lit(inikey::Version), Version);
    m_ini.EndBatch();
    return previous != kRunningNumNormalExit;
}

bool CAppSettings::EndRun()
{
    m_ini.BeginBatch();
    RunningNum = kRunningNumNormalExit;
    m_ini.SetInt(lit(inisec::Check), lit(inikey::RunningNum), RunningNum);
    SaveSettings();
    return m_ini.EndBatch();
}

std::string CAppSettings::ReceivedFolder() const
{
    if (m_paths.appDir.empty())
        return {}; // no application folder set up: nowhere to archive
    return m_paths.appDir + "/" + kReceivedFolder;
}

DefaultConditionTexts CAppSettings::DefaultConditions() const
{
    return DefCnd;
}

void CAppSettings::SetDefaultConditions(const DefaultConditionTexts& texts)
{
    DefCnd = texts;
}

std::string CAppSettings::CustomerLabel(const std::string& defaultText) const
{
    return TitleCustomer.empty() ? defaultText : TitleCustomer;
}

std::string CAppSettings::CableLabel(const std::string& defaultText) const
{
    return TitleCable.empty() ? defaultText : TitleCable;
}

std::string CAppSettings::MeasurementLabel(const std::string& defaultText) const
{
    return TitleMeasurement.empty() ? defaultText : TitleMeasurement;
}

std::map<int, std::string> CAppSettings::PortOverrides() const
{
    return ::PortOverrides(m_ini.Path());
}

CAppSettings& AppSettings()
{
    static CAppSettings settings;
    return settings;
}
