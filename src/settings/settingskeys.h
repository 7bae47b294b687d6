// Section and key names of MXRView.INI and system.ini (UTF-8; cp932::lit gives the stored form).
#pragma once

namespace inisec {
inline constexpr const char* Window = "Window";
inline constexpr const char* Param = "Param";
inline constexpr const char* TextOut = "TextOut";
inline constexpr const char* PrintParam = "INISECTION_Param";
inline constexpr const char* DefCnd = "DefCnd";
inline constexpr const char* Debug = "Debug";
inline constexpr const char* Received = "Received"; // the archive of serial receptions
inline constexpr const char* Check = "check";
inline constexpr const char* Ports = "Ports"; // "COM%d" = device path, read only
inline constexpr const char* Title = "title"; // system.ini
// system.ini: limits of the cable analysis
inline constexpr const char* Analysis = "Analysis";
// Approval of data sets: what this workstation last entered
inline constexpr const char* Approval = "Approval";
// system.ini: the company named on the job report's cover
inline constexpr const char* Company = "Company";
} // namespace inisec

namespace inikey {
// [Window]
inline constexpr const char* Placement = "Placement";
// [Param]
inline constexpr const char* DataFile = "DataFile";
inline constexpr const char* SelCustomer = "SelCustomer";
inline constexpr const char* SelCableName = "SelCableName";
inline constexpr const char* PrintOutPageNo = "PrintOutPageNo";
inline constexpr const char* SavedataDir = "SavedataDir";
inline constexpr const char* PdfOutDir = "PdfOutDir"; // the folder of the last PDF written
// [Param]: how many backups of the data store are kept (the newest, and the newest of each month)
inline constexpr const char* BackupKeepLast = "BackupKeepLast";
inline constexpr const char* BackupKeepMonths = "BackupKeepMonths";
// [TextOut]
inline constexpr const char* Dir = "Dir";
inline constexpr const char* File = "File";
inline constexpr const char* ChkExe = "ChkExe";
inline constexpr const char* RunningExe = "RunningExe";
inline constexpr const char* Encoding = "Encoding"; // "cp932" or "utf8bom"
// [INISECTION_Param]
inline constexpr const char* PrtBlankTop = "PrtBlankTop";
inline constexpr const char* PrtBlankLeft = "PrtBlankLeft";
inline constexpr const char* PrtBlankBottom = "PrtBlankBottom";
inline constexpr const char* PrtBlankRight = "PrtBlankRight";
inline constexpr const char* PrtJudgOut = "PrtJudgOut";
inline constexpr const char* PrtApproval = "PrtApproval"; // 1: the approval on the printed report
// [Approval]
inline constexpr const char* ApproverName = "Name"; // the approver's name last entered
// [DefCnd]
inline constexpr const char* CabKind = "CabKind";
inline constexpr const char* Shindan = "Shindan";
inline constexpr const char* CurrentR = "CurrentR";
inline constexpr const char* CurrentS = "CurrentS";
inline constexpr const char* CurrentT = "CurrentT";
inline constexpr const char* ShisuZetuen = "ShisuZetuen";
inline constexpr const char* CabSectionalArea = "CabSectionalArea";
inline constexpr const char* CabLength = "CabLength";
inline constexpr const char* SeikyokuMin = "SeikyokuMin";
inline constexpr const char* SeikyokuMax = "SeikyokuMax";
inline constexpr const char* JyakutenMin = "JyakutenMin";
inline constexpr const char* JyakutenMax = "JyakutenMax";
inline constexpr const char* LastCurrentMin = "LastCurrentMin";
inline constexpr const char* LastCurrentMax = "LastCurrentMax";
// [Debug]
inline constexpr const char* DebugComm = "通信(0:リリース,1:デバック)";
inline constexpr const char* CommLog = "通信ログ出力(0:しない,1:する)";
// [Received]
inline constexpr const char* KeepFiles = "KeepFiles";
inline constexpr const char* KeepMB = "KeepMB";
// [check]
inline constexpr const char* RunningNum = "RunningNum";
inline constexpr const char* Version = "Version";
// system.ini [Param]
inline constexpr const char* TriggValidSec = "TriggValidSec";
// system.ini [title]
inline constexpr const char* TitleCustomer = "Customer";
inline constexpr const char* TitleCable = "Cable";
inline constexpr const char* TitleMeasurement = "Measurement";
inline constexpr const char* Customer1WidRate = "Customer1WidRate";
inline constexpr const char* Customer2WidRate = "Customer2WidRate";
inline constexpr const char* Cable1WidRate = "Cable1WidRate";
inline constexpr const char* Cable2WidRate = "Cable2WidRate";
inline constexpr const char* Measurement1WidRate = "Measurement1WidRate";
inline constexpr const char* Measurement2WidRate = "Measurement2WidRate";
// system.ini [Analysis]
inline constexpr const char* UnbalanceLimit = "UnbalanceLimit";     // %
inline constexpr const char* SpikeFactor = "SpikeFactor";           // × local median
inline constexpr const char* SpikeWindowSec = "SpikeWindowSec";     // s
inline constexpr const char* SpikeMinDelta = "SpikeMinDelta";       // μA
inline constexpr const char* RiseMinutes = "RiseMinutes";           // min
inline constexpr const char* RiseSlopePercent = "RiseSlopePercent"; // % of the median per min
inline constexpr const char* KneeFactor = "KneeFactor";             // × the line's prediction
// system.ini [Company]: the job report's cover (written only once the user sets them)
inline constexpr const char* CompanyName = "Name";
inline constexpr const char* CompanyAddress = "Address";
inline constexpr const char* CompanyPhone = "Phone";
inline constexpr const char* CompanyLogo = "Logo"; // image file path
} // namespace inikey

// "RunningNum" after a normal exit; any other value at start-up means the last run was killed.
inline constexpr int kRunningNumNormalExit = 15685;
// The archive of serial receptions, below the application folder.
inline constexpr const char* kReceivedFolder = "DATA/received";
// File name of the installation settings, in the application folder.
inline constexpr const char* kSystemIniName = "system.ini";
