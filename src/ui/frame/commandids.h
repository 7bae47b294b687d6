// Command ids of the main window's menus and toolbar, and the control ids of the dialog bar.
#pragma once

namespace commandid {

// "ファイル(&F)"
inline constexpr int TextOut = 32807;      // "テキスト出力(&O)..."
inline constexpr int FilePrint = 57607;    // "印刷...\tCtrl+P(&P)"
inline constexpr int PrintPreview = 57609; // "印刷プレビュー(&V)"
inline constexpr int PdfOut = 32831;       // "PDF出力(&D)..."
inline constexpr int PrintSetup = 57606;   // "プリンタの設定(&R)..."
inline constexpr int AppExit = 57665;      // "アプリケーションの終了(&X)"
// "編集(&E)": new in this program, with the ids the framework gives these commands
inline constexpr int EditUndo = 57643; // "元に戻す(&U)\tCtrl+Z", the step's name after "元に戻す: "
inline constexpr int EditRedo = 57644; // "やり直し(&R)\tCtrl+Y"
// "測定データ(&M)"
inline constexpr int EditCustomer = 32796; // "需要家情報の編集(&C)..."
inline constexpr int TransferData = 32798; // "測定データの転送(&M)..."
inline constexpr int ShowData = 32800;     // "測定データの表示(&S)..."
inline constexpr int ImportData = 32819; // "測定データをファイルから取り込む(&I)..."
inline constexpr int ExportData = 32817; // "測定データをファイルへ保存する(&O)..."
// "測定データ(&M)": new in this program
inline constexpr int ApproveSet = 33130;       // "承認(&P)..."
inline constexpr int WithdrawApproval = 33131; // "承認の取り消し(&W)..."
// "設定(&S)": new in this program
inline constexpr int PrintApproval = 33132; // "承認を印刷する(&P)": checkable
// "ファイル(&F)": new in this program, outside the range the older commands use
inline constexpr int RestoreBackup = 33100; // "バックアップから復元(&B)..."
inline constexpr int SharedDbSync = 33101;  // "共有データベースと同期(&Y)..."
inline constexpr int JobReport = 33105;     // "試験成績書の作成(&J)..."
// "解析(&A)": new in this program
inline constexpr int AnalysisHistory = 33110; // "経年変化(&H)..."
inline constexpr int AnalysisPhase = 33111;   // "相間比較(&P)..."
inline constexpr int AnalysisStep = 33112;    // "電圧特性(&V)..."
inline constexpr int AnalysisFleet = 33115;   // "設備一覧・試験計画(&F)..."
// "測定データ(&M)": new in this program
inline constexpr int ShowJournal = 33120; // "変更履歴(&J)..."
// "設定(&S)"
inline constexpr int EnvSettings = 32814;  // "環境設定(&E)..."
inline constexpr int CommSettings = 32803; // "通信設定(&C)..."
// "表示(&V)"
inline constexpr int ViewToolBar = 59392;       // "ツール バー(&T)"
inline constexpr int ViewStatusBar = 59393;     // "ステータス バー(&S)"
inline constexpr int ViewJudgmentBasis = 33113; // "判定根拠(&J)": new, a panel beside the report
inline constexpr int ViewAnalysisOverlay = 33114; // "解析マーク(&K)": new, marks on the graph
// "ヘルプ(&H)"
inline constexpr int AppAbout = 57664; // "バージョン情報(&A)..."

// Toolbar order; 0 stands for a separator.
inline constexpr int ToolBarLayout[] = {
    EditCustomer, ShowData, 0, TransferData, 0, TextOut, FilePrint,
    PrintPreview, PdfOut,   0, EnvSettings,  0, AppAbout};

} // namespace commandid

namespace ctl {

inline constexpr int AxisList = 1016;      // "測定値軸：" … "μA"
inline constexpr int StartTimeList = 1017; // "表示開始時間：" … "分"
inline constexpr int WidthList = 1015;     // "幅：" … "分"

} // namespace ctl
