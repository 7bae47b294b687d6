// MainWindow: building the menus, bars and status bar, and the commands it handles itself.
#include "ui/frame/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/analysis/analysiscommands.h"
#include "ui/analysis/jobreportdialog.h"
#include "ui/frame/approvalcommands.h"
#include "ui/document/documentapprovals.h"
#include "ui/frame/commandids.h"
#include "ui/dialogs/csvexportdialog.h"
#include "ui/dialogs/restorebackupdialog.h"
#include "ui/dialogs/shareddbsyncdialog.h"
#include "ui/dialogs/dataexportdialog.h"
#include "ui/dialogs/dataimportdialog.h"
#include "ui/dialogs/journalcommand.h"
#include "settings/appsettings.h"
#include "settings/backupsettings.h"
#include "shareddb/dbsettings.h"
#include "ui/frame/scalebar.h"
#include "ui/frame/framestate.h"
#include "ui/frame/lockindicators.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/customertreepage.h"
#include "ui/dialogs/printout.h"
#include "ui/dialogs/settingsdialog.h"
#include "ui/dialogs/serialsettingsdialog.h"
#include "ui/frame/toolicons.h"
#include "ui/frame/undocommands.h"
#include "ui/common/uitext.h"
#include "ui/pages/reportview.h"

#ifndef MXR_VERSION_TEXT
#define MXR_VERSION_TEXT "0.0.0.0"
#endif

namespace {

// Commands that work from the start; the others wait for their handlers.
bool builtIn(int id)
{
    return id == commandid::PrintSetup || id == commandid::AppExit || id == commandid::ViewToolBar ||
           id == commandid::ViewStatusBar || id == commandid::AppAbout;
}

} // namespace

CAppSettings& MainWindow::Settings() const
{
    return m_settings ? *m_settings : AppSettings();
}

MainWindow::MainWindow(MeasurementDocument* doc, QWidget* parent) : QMainWindow(parent), m_doc(doc)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(ui::appTitle());
    setWindowIcon(ui::drawnToolIcon(commandid::ShowData));
    // The printer's own resolution, so the report's lines and fonts keep their sizes in
    // 0.1 mm instead of being drawn in screen pixels.
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);

    // The report view fills the client area (the second splitter column is always hidden).
    m_viewGraph = new ReportView(this);
    setCentralWidget(m_viewGraph);
    m_analysis =
        new AnalysisCommands(*this, *m_doc, *m_viewGraph, *m_printer,
                             [this]() -> CAppSettings& { return Settings(); });

    m_undo = new UndoCommands(*m_doc, this);
    CreateMenus();
    CreateStatusBar();
    CreateToolBars();

    m_doc->SetMessageParent(this);
    // The view follows the document first, then the frame: the command states and the
    // analysis marks read what the view shows.
    DocumentNotifier& notifier = m_doc->Notifier();
    m_viewGraph->Connect(notifier);
    // The scale lists do not depend on the store.
    m_dialogBar->FillLists();
    m_dialogBar->Connect(notifier);
    // Every change of what the view shows may change which commands apply to it.
    connect(&notifier, &DocumentNotifier::selectionShown, this, &MainWindow::UpdateCommandStates);
    connect(&notifier, &DocumentNotifier::recordsCleared, this, &MainWindow::UpdateCommandStates);
    connect(&notifier, &DocumentNotifier::recordAdded, this, &MainWindow::UpdateCommandStates);
    for (auto scale : {&DocumentNotifier::startTimeChanged, &DocumentNotifier::widthChanged,
                       &DocumentNotifier::axisChanged})
        connect(&notifier, scale, this, &MainWindow::UpdateCommandStates);
    connect(&notifier, &DocumentNotifier::refreshRequested, this,
            &MainWindow::UpdateCommandStates);
    // A new record (or none) ends with a refresh; start, width and axis change no sign, and the
    // overlay repaints with the view.
    connect(&notifier, &DocumentNotifier::refreshRequested, this, [this] { m_analysis->Refresh(); });
    // While the store is read in the background the window shows it and offers only the
    // commands that do not touch the store.
    connect(&notifier, &DocumentNotifier::loadingChanged, this, [this](bool loading) {
        m_messagePane->setText(loading ? QStringLiteral("データファイルを読み込んでいます...")
                                       : QStringLiteral("レディ"));
        if (loading)
            setCursor(Qt::BusyCursor);
        else
            unsetCursor();
        UpdateCommandStates();
    });
    // The title tells while the data file is not written without asking.
    connect(&notifier, &DocumentNotifier::readOnlyChanged, this, &MainWindow::UpdateTitle);
    // Notes of the document (the journal found an outside change ...) stay for a while.
    connect(&notifier, &DocumentNotifier::statusNote, this,
            [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    // "通信設定(&C)...": edits a copy of the store's line settings; OK saves the store.
    SetCommandHandler(commandid::CommSettings, [this] { RunCommSettings(this, *m_doc); });
    // "需要家情報の編集(&C)..." and "測定データの転送(&M)..." on a copy of the store,
    // "測定データの表示(&S)..." on the store itself.
    SetCommandHandler(commandid::EditCustomer, [this] {
        RunEditCustomer(this, *m_doc, Settings());
    });
    SetCommandHandler(commandid::TransferData, [this] {
        RunTransferData(this, *m_doc, Settings());
    });
    SetCommandHandler(commandid::ShowData, [this] {
        RunShowData(this, *m_doc, Settings());
    });
    // "印刷...": the shown record as the printed report (enabled only while the view holds one).
    SetCommandHandler(commandid::FilePrint, [this] { m_viewGraph->OnFilePrint(*m_printer); });
    // "印刷プレビュー(&V)" and "PDF出力(&D)...": the same pages as printing.
    SetCommandHandler(commandid::PrintPreview,
                      [this] { printout::RunPreview(this, *m_viewGraph, *m_printer); });
    SetCommandHandler(commandid::PdfOut, [this] {
        printout::RunPdfOut(this, *m_viewGraph, *m_printer,
                            Settings());
    });
    // "試験成績書の作成(&J)...": one document for a customer's visit; it only reads the store.
    SetCommandHandler(commandid::JobReport, [this] {
        RunJobReport(this, m_doc->Store(), m_doc->Selection().customer, Settings(), *m_printer);
    });
    // "テキスト出力(&O)...": the shown record as CSV (enabled only while the view holds one).
    SetCommandHandler(commandid::TextOut, [this] {
        RunTextOut(this, *m_viewGraph, Settings(), m_doc->Log());
    });
    // "環境設定(&E)...": print margins and judgments; kept in the settings saved at exit.
    SetCommandHandler(commandid::EnvSettings,
                      [this] { RunEnvSettings(this, Settings()); });
    // "測定データをファイルへ保存する(&O)..." and "測定データをファイルから取り込む(&I)...": export
    // files; an import replaces the store as a whole, saves it and reloads the selection.
    SetCommandHandler(commandid::ExportData, [this] { RunDataExport(this, m_doc->Store()); });
    SetCommandHandler(commandid::ImportData, [this] { RunDataImport(this, *m_doc); });
    SetCommandHandler(commandid::RestoreBackup, [this] { RunRestoreBackup(this, *m_doc); });
    // "変更履歴(&J)...": the journal of the store's workspace; it only reads.
    SetCommandHandler(commandid::ShowJournal,
                      [this] { ShowJournalWindow(this, *m_doc, *m_printer, Settings()); });
    // "元に戻す" and "やり直し": a step of this run as a new change of the store; the menu
    // names the step.
    SetCommandHandler(commandid::EditUndo, [this] { m_undo->Undo(); });
    SetCommandHandler(commandid::EditRedo, [this] { m_undo->Redo(); });
    connect(m_undo, &UndoCommands::changed, this, &MainWindow::UpdateCommandStates);
    // "解析(&A)": windows for the selected cable or data set; they read the store only.
    SetCommandHandler(commandid::AnalysisHistory, [this] { m_analysis->ShowHistory(); });
    SetCommandHandler(commandid::AnalysisPhase, [this] { m_analysis->ShowPhase(); });
    SetCommandHandler(commandid::AnalysisStep, [this] { m_analysis->ShowStep(); });
    SetCommandHandler(commandid::AnalysisFleet, [this] { m_analysis->ShowFleet(); });
    SetCommandHandler(commandid::ViewJudgmentBasis, [this] {
        m_analysis->SetPanelVisible(!m_analysis->PanelVisible());
        UpdateCommandStates();
    });
    // The panel's own close button unticks the menu item.
    connect(m_analysis->Panel(), &QDockWidget::visibilityChanged, this,
            [this] { UpdateCommandStates(); });
    SetCommandHandler(commandid::ViewAnalysisOverlay, [this] {
        m_analysis->SetOverlay(!m_analysis->OverlayOn());
        UpdateCommandStates();
    });
    // "共有データベースと同期(&Y)...": the store file with the shared database, then reloaded.
    SetCommandHandler(commandid::SharedDbSync, [this] {
        RunSharedDbSync(this, *m_doc, m_settings ? m_settings->IniPath() : "MXRView.INI");
    });
    // "承認(&P)...", "承認の取り消し(&W)..." and "承認を印刷する(&P)".
    approvalcommands::Wire(*this, [this]() -> CAppSettings& { return Settings(); });
    // An undo or redo never changes an approved set.
    m_undo->SetLockQuery(
        [this](const cmd::TreePath& set) { return docapprovals::Locks(*m_doc).IsLocked(set); });
    UpdateCommandStates();
}

MainWindow::~MainWindow()
{
    // The panel is destroyed with the window's children, after this window's members: its
    // last visibility change must not reach them.
    if (m_analysis)
        disconnect(m_analysis->Panel(), nullptr, this, nullptr);
}

QAction* MainWindow::AddCommand(QMenu* menu, int commandId, const QString& text,
                                const QString& prompt, const QString& toolTip)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("cmd%1").arg(commandId));
    action->setData(commandId);
    action->setStatusTip(prompt);
    if (!toolTip.isEmpty())
        action->setToolTip(toolTip);
    menu->addAction(action);
    m_actions[commandId] = action;
    connect(action, &QAction::triggered, this, [this, commandId] { OnCommand(commandId); });
    return action;
}

void MainWindow::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    AddCommand(file, commandid::TextOut, QStringLiteral("テキスト出力(&O)..."),
               QStringLiteral("表示中の測定データをテキスト ファイルに出力します"),
               QStringLiteral("テキスト出力"));
    // The shortcut shown after the tab is live: Ctrl+P prints once printing is wired.
    QAction* print =
        AddCommand(file, commandid::FilePrint, QStringLiteral("印刷...\tCtrl+P(&P)"),
                   QStringLiteral("表示中の測定データを印刷します"), QStringLiteral("印刷"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    AddCommand(file, commandid::PrintPreview, QStringLiteral("印刷プレビュー(&V)"),
               QStringLiteral("印刷イメージを全ページ表示します"),
               QStringLiteral("印刷プレビュー"));
    AddCommand(file, commandid::PdfOut, QStringLiteral("PDF出力(&D)..."),
               QStringLiteral("表示中の測定データを PDF ファイルに出力します"),
               QStringLiteral("PDF出力"));
    AddCommand(file, commandid::JobReport, QStringLiteral("試験成績書の作成(&J)..."),
               QStringLiteral("需要家の試験日ごとの測定データをまとめた試験成績書を作成します"));
    AddCommand(file, commandid::PrintSetup, QStringLiteral("プリンタの設定(&R)..."),
               QStringLiteral("プリンタおよび印刷オプションを変更します"));
    AddCommand(file, commandid::RestoreBackup, QStringLiteral("バックアップから復元(&B)..."),
               QStringLiteral("データファイルを以前のバックアップの状態に戻します"));
    AddCommand(file, commandid::SharedDbSync, QStringLiteral("共有データベースと同期(&Y)..."),
               QStringLiteral("測定データを会社の共有データベースと送受信します"));
    file->addSeparator();
    AddCommand(file, commandid::AppExit, QStringLiteral("アプリケーションの終了(&X)"),
               QStringLiteral("アプリケーションを終了します"));

    // The shortcuts belong to this window only: in a dialog, and in a text field of this window
    // that takes them, Ctrl+Z and Ctrl+Y stay the field's.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    AddCommand(edit, commandid::EditUndo, m_undo->UndoText(),
               QStringLiteral("直前の変更を取り消します"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    AddCommand(edit, commandid::EditRedo, m_undo->RedoText(),
               QStringLiteral("取り消した変更をやり直します"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));

    QMenu* data = menuBar()->addMenu(QStringLiteral("測定データ(&M)"));
    AddCommand(data, commandid::EditCustomer, QStringLiteral("需要家情報の編集(&C)..."),
               QStringLiteral("需要家、ケーブル、測定データの情報を編集します"),
               QStringLiteral("需要家情報の編集"));
    AddCommand(data, commandid::TransferData, QStringLiteral("測定データの転送(&M)..."),
               QStringLiteral("測定器から測定データを受信して登録します"),
               QStringLiteral("測定データの転送"));
    AddCommand(data, commandid::ShowData, QStringLiteral("測定データの表示(&S)..."),
               QStringLiteral("登録されている測定データを選んで表示します"),
               QStringLiteral("測定データの表示"));
    data->addSeparator();
    AddCommand(data, commandid::ImportData, QStringLiteral("測定データをファイルから取り込む(&I)..."),
               QStringLiteral("保存ファイルから測定データを取り込みます"));
    AddCommand(data, commandid::ExportData, QStringLiteral("測定データをファイルへ保存する(&O)..."),
               QStringLiteral("選んだ測定データをファイルへ保存します"));
    data->addSeparator();
    AddCommand(data, commandid::ShowJournal, QStringLiteral("変更履歴(&J)..."),
               QStringLiteral("データファイルの変更の記録を表示します"));
    AddCommand(data, commandid::ApproveSet, QStringLiteral("承認(&P)..."),
               QStringLiteral("表示中の測定データを承認し、変更できないようにします"));
    AddCommand(data, commandid::WithdrawApproval, QStringLiteral("承認の取り消し(&W)..."),
               QStringLiteral("表示中の測定データの承認を取り消します"));

    QMenu* analysis = menuBar()->addMenu(QStringLiteral("解析(&A)"));
    AddCommand(analysis, commandid::AnalysisHistory, QStringLiteral("経年変化(&H)..."),
               QStringLiteral("選んだケーブルの測定データを年ごとに比べます"));
    AddCommand(analysis, commandid::AnalysisPhase, QStringLiteral("相間比較(&P)..."),
               QStringLiteral("選んだ測定データのＲ相・Ｓ相・Ｔ相の最終値を比べます"));
    AddCommand(analysis, commandid::AnalysisStep, QStringLiteral("電圧特性(&V)..."),
               QStringLiteral("選んだ測定データの試験電圧と最終値の関係を表示します"));
    analysis->addSeparator();
    AddCommand(analysis, commandid::AnalysisFleet, QStringLiteral("設備一覧・試験計画(&F)..."),
               QStringLiteral("すべてのケーブルの次回試験期限と健全度を一覧にします"));

    QMenu* settings = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    AddCommand(settings, commandid::EnvSettings, QStringLiteral("環境設定(&E)..."),
               QStringLiteral("印刷の余白と判定の出力を設定します"), QStringLiteral("環境設定"));
    AddCommand(settings, commandid::CommSettings, QStringLiteral("通信設定(&C)..."),
               QStringLiteral("測定器と通信するポートと通信条件を設定します"));
    settings->addSeparator();
    AddCommand(settings, commandid::PrintApproval, QStringLiteral("承認を印刷する(&P)"),
               QStringLiteral("印刷とPDFに測定データの承認（承認者、承認日）を入れます"))
        ->setCheckable(true);

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    QAction* toolBar = AddCommand(view, commandid::ViewToolBar, QStringLiteral("ツール バー(&T)"),
                                  QStringLiteral("ツール バーの表示/非表示を切り替えます"));
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    QAction* statusBar = AddCommand(view, commandid::ViewStatusBar, QStringLiteral("ステータス バー(&S)"),
                                    QStringLiteral("ステータス バーの表示/非表示を切り替えます"));
    statusBar->setCheckable(true);
    statusBar->setChecked(true);
    view->addSeparator();
    AddCommand(view, commandid::ViewJudgmentBasis, QStringLiteral("判定根拠(&J)"),
               QStringLiteral("表示中の測定データの判定の根拠と波形の兆候を表示します"))
        ->setCheckable(true);
    AddCommand(view, commandid::ViewAnalysisOverlay, QStringLiteral("解析マーク(&K)"),
               QStringLiteral("グラフにトリガー区間と波形の兆候を重ねて表示します"))
        ->setCheckable(true);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    AddCommand(help, commandid::AppAbout, QStringLiteral("バージョン情報(&A)..."),
               QStringLiteral("プログラムの情報とバージョンを表示します"),
               QStringLiteral("バージョン情報"));

    for (QMenu* menu : {file, edit, data, analysis, settings, view, help})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandStates);
}

void MainWindow::CreateToolBars()
{
    m_toolBar = addToolBar(QStringLiteral("ツール バー"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    for (int id : commandid::ToolBarLayout) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = m_actions.at(id);
        action->setIcon(ui::toolIcon(id));
        m_toolBar->addAction(action);
    }
    // Menu entries keep their texts only, as in the menus of the bar's own style.
    for (auto& [id, action] : m_actions)
        action->setIconVisibleInMenu(false);

    m_dialogBand = addToolBar(QStringLiteral("ダイアログ バー"));
    m_dialogBand->setObjectName(QStringLiteral("dialogBar"));
    m_dialogBar = new ScaleBar(m_dialogBand);
    m_dialogBand->addWidget(m_dialogBar);
}

void MainWindow::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    // The idle text sits under the prompts: a status tip covers it and uncovers it again.
    m_messagePane = new QLabel(QStringLiteral("レディ"), bar);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_messagePane, 1);
    m_indicators = new LockIndicators(bar);
}

QAction* MainWindow::Action(int commandId) const
{
    const auto it = m_actions.find(commandId);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::SetCommandHandler(int commandId, std::function<void()> handler)
{
    m_handlers[commandId] = std::move(handler);
    UpdateCommandStates();
}

void MainWindow::SetCommandEnabler(int commandId, std::function<bool()> enabler)
{
    m_enablers[commandId] = std::move(enabler);
    UpdateCommandStates();
}

void MainWindow::UpdateCommandStates()
{
    for (auto& [id, action] : m_actions) {
        bool enabled = builtIn(id) || (m_handlers.count(id) != 0 && !m_doc->IsLoading());
        if (const auto e = m_enablers.find(id); enabled && e != m_enablers.end())
            enabled = e->second();
        if (id == commandid::TextOut || id == commandid::FilePrint || id == commandid::PrintPreview ||
            id == commandid::PdfOut)
            enabled = enabled && m_viewGraph->HasRecord();
        if (id == commandid::AnalysisHistory)
            enabled = enabled && m_analysis->HasCable();
        if (id == commandid::AnalysisPhase || id == commandid::AnalysisStep)
            enabled = enabled && m_analysis->HasSet();
        if (id == commandid::EditUndo)
            enabled = enabled && m_undo->CanUndo();
        if (id == commandid::EditRedo)
            enabled = enabled && m_undo->CanRedo();
        action->setEnabled(enabled);
    }
    m_actions.at(commandid::EditUndo)->setText(m_undo->UndoText());
    m_actions.at(commandid::EditRedo)->setText(m_undo->RedoText());
    m_actions.at(commandid::ViewToolBar)->setChecked(m_toolBar && m_toolBar->isVisibleTo(this));
    m_actions.at(commandid::ViewStatusBar)->setChecked(statusBar()->isVisibleTo(this));
    m_actions.at(commandid::ViewJudgmentBasis)->setChecked(m_analysis->PanelVisible());
    m_actions.at(commandid::ViewAnalysisOverlay)->setChecked(m_analysis->OverlayOn());
    m_actions.at(commandid::PrintApproval)->setChecked(Settings().PrtApproval != 0);
}

void MainWindow::OnCommand(int commandId)
{
    switch (commandId) {
    case commandid::AppExit: close(); return;
    case commandid::AppAbout: OnAbout(); return;
    case commandid::PrintSetup: OnPrintSetup(); return;
    case commandid::ViewToolBar: {
        // The toolbar and the dialog bar are one band group: shown and hidden together.
        const bool show = !m_toolBar->isVisibleTo(this);
        m_toolBar->setVisible(show);
        m_dialogBand->setVisible(show);
        UpdateCommandStates();
        return;
    }
    case commandid::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisibleTo(this));
        UpdateCommandStates();
        return;
    default: break;
    }
    const auto it = m_handlers.find(commandId);
    if (it != m_handlers.end() && it->second)
        it->second();
}

QString MainWindow::VersionText()
{
    return QStringLiteral("Version：%1").arg(QStringLiteral(MXR_VERSION_TEXT));
}

QDialog* MainWindow::CreateAboutDialog()
{
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("aboutDialog"));
    dialog->setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(dialog);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(dialog);
    icon->setPixmap(ui::drawnToolIcon(commandid::ShowData).pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    // The product name and description of the version information, then the file version.
    texts->addWidget(new QLabel(QStringLiteral("MXRView"), dialog));
    texts->addWidget(new QLabel(ui::appTitle(), dialog));
    texts->addWidget(new QLabel(VersionText(), dialog));
    row->addLayout(texts, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    return dialog;
}

void MainWindow::OnAbout()
{
    QDialog* dialog = CreateAboutDialog();
    dialog->exec();
    delete dialog;
}

void MainWindow::OnPrintSetup()
{
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

void MainWindow::RestorePlacement()
{
    // A first start gets two thirds of the screen, at least 800 × 600.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize avail = screen->availableGeometry().size();
        resize(std::max(800, avail.width() * 2 / 3), std::max(600, avail.height() * 2 / 3));
    }
    if (m_settings && framestate::ApplyPlacement(*this, *m_settings))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::UpdateTitle()
{
    QString title = ui::appTitle();
    if (m_doc->IsViewing())
        title += QStringLiteral(" - ") +
                 QFileInfo(QFile::decodeName(m_doc->DataFilePath().c_str())).fileName();
    if (m_doc->IsReadOnly())
        title += QStringLiteral(" [読み取り専用]");
    setWindowTitle(title);
}

void MainWindow::EnterViewingMode()
{
    // Nothing the viewer does may change the viewed file or the installation's settings.
    for (int id : {commandid::EditCustomer, commandid::TransferData, commandid::ImportData,
                   commandid::RestoreBackup, commandid::CommSettings, commandid::EnvSettings,
                   commandid::SharedDbSync, commandid::EditUndo, commandid::EditRedo,
                   commandid::ApproveSet, commandid::WithdrawApproval, commandid::PrintApproval})
        m_handlers.erase(id);
    UpdateCommandStates();
    auto* mark = new QLabel(
        QStringLiteral("読み取り専用で表示中: %1")
            .arg(QDir::toNativeSeparators(QFile::decodeName(m_doc->DataFilePath().c_str()))),
        statusBar());
    mark->setObjectName(QStringLiteral("viewFileMark"));
    statusBar()->insertWidget(0, mark);
    UpdateTitle();
}

MainWindow* MainWindow::CreateWithDocument(CAppSettings& settings, CxLogFile* appLog,
                                           const std::string& viewFile)
{
    auto* doc = new MeasurementDocument;
    if (viewFile.empty())
        doc->SetDataFilePath(settings.DataFile);
    else
        doc->SetViewFile(viewFile);
    doc->SetBackupPolicy(ReadBackupPolicy(settings.IniPath()));
    // The journal names this workstation as the shared database does.
    doc->Journal().SetActor(
        ws::CurrentActor(shareddb::ReadDbSettings(settings.IniPath()).workstation));
    doc->SetLog(appLog);
    auto* frame = new MainWindow(doc);
    doc->setParent(frame);
    frame->SetSettings(&settings);
    frame->RestorePlacement();
    doc->SetLoadInBackground(true);
    doc->OnNewDocument();
    if (doc->IsViewing()) {
        frame->EnterViewingMode();
        doc->SelectFirstMeasurement();
    }
    return frame;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Placement into the settings (written at exit), the store to its file, then the
    // splitter state, as the window goes away. The window stays open when the user keeps it
    // (a dismissed question, or a failed save they do not want to leave behind). The save
    // shows its own wait cursor, never over a question.
    if (m_settings)
        framestate::StorePlacement(*this, *m_settings);
    if (!m_doc->SaveForClose()) {
        event->ignore();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A viewing copy leaves the installation's settings file as it found it.
    if (m_settings && !m_doc->IsViewing())
        framestate::WriteSplitterState(m_settings->IniPath(), *m_viewGraph);
    QApplication::restoreOverrideCursor();
    event->accept();
}
