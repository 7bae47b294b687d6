// MainWindow: menus, command states, bars, status bar, version texts, and what a close
// leaves behind (placement, splitter state, the store).
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>

#include <gtest/gtest.h>

#include "settings/appsettings.h"
#include "settings/inifile.h"
#include "fixtures.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/frame/framestate.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/reportview.h"

namespace {

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
    }
    // The settings as the start-up reads them, then a frame on a fresh document.
    void start()
    {
        settings.LoadSettings();
        doc = std::make_unique<MeasurementDocument>();
        doc->SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        frame = std::make_unique<MainWindow>(doc.get());
        frame->SetSettings(&settings);
        doc->OnNewDocument();
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    std::unique_ptr<MeasurementDocument> doc;
    std::unique_ptr<MainWindow> frame;
};

struct MenuItem {
    const char* text;
    int id;
};

} // namespace

TEST_F(MainWindowTest, MenusHoldEveryItemWithItsCommandId)
{
    start();
    const std::vector<std::pair<const char*, std::vector<MenuItem>>> expected = {
        {"ファイル(&F)",
         {{"テキスト出力(&O)...", commandid::TextOut},
          {"印刷...\tCtrl+P(&P)", commandid::FilePrint},
          {"印刷プレビュー(&V)", commandid::PrintPreview},
          {"PDF出力(&D)...", commandid::PdfOut},
          {"試験成績書の作成(&J)...", commandid::JobReport},
          {"プリンタの設定(&R)...", commandid::PrintSetup},
          {"バックアップから復元(&B)...", commandid::RestoreBackup},
          {"共有データベースと同期(&Y)...", commandid::SharedDbSync},
          {"アプリケーションの終了(&X)", commandid::AppExit}}},
        {"編集(&E)",
         {{"元に戻す(&U)\tCtrl+Z", commandid::EditUndo},
          {"やり直し(&R)\tCtrl+Y", commandid::EditRedo}}},
        {"測定データ(&M)",
         {{"需要家情報の編集(&C)...", commandid::EditCustomer},
          {"測定データの転送(&M)...", commandid::TransferData},
          {"測定データの表示(&S)...", commandid::ShowData},
          {"測定データをファイルから取り込む(&I)...", commandid::ImportData},
          {"測定データをファイルへ保存する(&O)...", commandid::ExportData},
          {"変更履歴(&J)...", commandid::ShowJournal},
          {"承認(&P)...", commandid::ApproveSet},
          {"承認の取り消し(&W)...", commandid::WithdrawApproval}}},
        {"解析(&A)",
         {{"経年変化(&H)...", commandid::AnalysisHistory},
          {"相間比較(&P)...", commandid::AnalysisPhase},
          {"電圧特性(&V)...", commandid::AnalysisStep},
          {"設備一覧・試験計画(&F)...", commandid::AnalysisFleet}}},
        {"設定(&S)",
         {{"環境設定(&E)...", commandid::EnvSettings},
          {"通信設定(&C)...", commandid::CommSettings},
          {"承認を印刷する(&P)", commandid::PrintApproval}}},
        {"表示(&V)",
         {{"ツール バー(&T)", commandid::ViewToolBar},
          {"ステータス バー(&S)", commandid::ViewStatusBar},
          {"判定根拠(&J)", commandid::ViewJudgmentBasis},
          {"解析マーク(&K)", commandid::ViewAnalysisOverlay}}},
        {"ヘルプ(&H)", {{"バージョン情報(&A)...", commandid::AppAbout}}},
    };
    const QList<QAction*> menus = frame->menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), QString::fromUtf8(expected[m].first));
        std::vector<QAction*> items;
        for (QAction* a : menus[m]->menu()->actions())
            if (!a->isSeparator())
                items.push_back(a);
        ASSERT_EQ(items.size(), expected[m].second.size()) << expected[m].first;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->text(), QString::fromUtf8(expected[m].second[i].text));
            EXPECT_EQ(items[i]->data().toInt(), expected[m].second[i].id);
            EXPECT_EQ(frame->Action(expected[m].second[i].id), items[i]);
            EXPECT_FALSE(items[i]->statusTip().isEmpty()) << expected[m].second[i].text;
        }
    }
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("マクセラテスタ"));
}

TEST_F(MainWindowTest, CommandsWaitForTheirDialogsAndTextOutForARecord)
{
    start();
    for (int id : {commandid::TextOut, commandid::FilePrint, commandid::PrintPreview, commandid::PdfOut})
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    for (int id : {commandid::PrintSetup, commandid::AppExit, commandid::ViewToolBar, commandid::ViewStatusBar,
                   commandid::AppAbout, commandid::CommSettings, commandid::EnvSettings, commandid::EditCustomer,
                   commandid::ShowData, commandid::TransferData, commandid::ImportData, commandid::ExportData})
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;

    int runs = 0;
    frame->SetCommandHandler(commandid::TextOut, [&runs] { ++runs; });
    frame->SetCommandHandler(commandid::EditCustomer, [] {});
    EXPECT_TRUE(frame->Action(commandid::EditCustomer)->isEnabled());
    EXPECT_FALSE(frame->Action(commandid::TextOut)->isEnabled()); // no record shown

    doc->Store() = storeWith({recordWithPoints({{0, 1.0}})});
    doc->Selection() = {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), 0};
    doc->LoadSelectedMeasurement();
    ASSERT_TRUE(frame->Action(commandid::TextOut)->isEnabled());
    frame->Action(commandid::TextOut)->trigger();
    EXPECT_EQ(runs, 1);

    // A selection that no longer matches: the empty record shown does not count.
    doc->Selection().index = 5;
    doc->LoadSelectedMeasurement();
    EXPECT_EQ(frame->ViewGraph()->Records().size(), 1u);
    EXPECT_FALSE(frame->Action(commandid::TextOut)->isEnabled());
}

TEST_F(MainWindowTest, ToolBarOrderAndTheBarsShowAndHide)
{
    start();
    std::vector<int> ids;
    for (QAction* a : frame->ToolBar()->actions()) {
        ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull());
            EXPECT_FALSE(a->toolTip().isEmpty());
        }
    }
    EXPECT_EQ(ids, std::vector<int>(std::begin(commandid::ToolBarLayout), std::end(commandid::ToolBarLayout)));

    frame->show();
    frame->Action(commandid::ViewToolBar)->trigger();
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(frame->DialogBarBand()->isVisible());
    EXPECT_FALSE(frame->Action(commandid::ViewToolBar)->isChecked());
    frame->Action(commandid::ViewToolBar)->trigger();
    EXPECT_TRUE(frame->ToolBar()->isVisible());
    EXPECT_TRUE(frame->DialogBarBand()->isVisible());

    frame->Action(commandid::ViewStatusBar)->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->Action(commandid::ViewStatusBar)->isChecked());
    frame->Action(commandid::ViewStatusBar)->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());
    frame->hide();
}

TEST_F(MainWindowTest, StatusBarShowsReadyPromptsAndLockIndicators)
{
    start();
    EXPECT_EQ(frame->MessagePane()->text(), QStringLiteral("レディ"));
    for (const char* name : {"indicatorCAP", "indicatorNUM", "indicatorSCRL"})
        EXPECT_NE(frame->statusBar()->findChild<QLabel*>(name), nullptr) << name;
    // Without X11 (offscreen) the states cannot be read: the texts stay, greyed.
    auto* caps = frame->statusBar()->findChild<QLabel*>("indicatorCAP");
    EXPECT_EQ(caps->text(), "CAP");
    EXPECT_FALSE(caps->isEnabled());

    // A menu prompt covers the idle text while the item is highlighted.
    frame->Action(commandid::EnvSettings)->showStatusText(frame->menuBar());
    EXPECT_EQ(frame->statusBar()->currentMessage(),
              QStringLiteral("印刷の余白と判定の出力を設定します"));
    frame->statusBar()->clearMessage();
    EXPECT_EQ(frame->MessagePane()->text(), QStringLiteral("レディ"));
}

TEST_F(MainWindowTest, VersionDialogShowsTheFileVersion)
{
    start();
    EXPECT_EQ(MainWindow::VersionText(), QStringLiteral("Version：1.0.0.1"));
    std::unique_ptr<QDialog> about(frame->CreateAboutDialog());
    QStringList texts;
    for (const QLabel* l : about->findChildren<QLabel*>())
        texts << l->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Version：1.0.0.1")));
}

TEST_F(MainWindowTest, PlacementIsAppliedOnlyWhenComplete)
{
    struct Case {
        const char* text;
        bool applied;
        bool maximized;
    } cases[] = {
        {"0 , 1 , -1 , -1 , -1 , -1 , 40 , 30 , 640 , 510", true, false},
        {"2 , 3 , -1 , -1 , -1 , -1 , 40 , 30 , 640 , 510", true, true},
        {"0 , 1 , -1 , -1 , -1 , -1 , 40 , 30 , 640", false, false}, // nine numbers
        {"0 , 1 , x , -1 , -1 , -1 , 40 , 30 , 640 , 510", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CIniFile(settings.IniPath()).SetString("Window", "Placement", c.text);
        settings.LoadSettings();
        MeasurementDocument d;
        MainWindow f(&d);
        const QRect before = f.geometry();
        EXPECT_EQ(framestate::ApplyPlacement(f, settings), c.maximized);
        EXPECT_EQ(f.geometry(), c.applied ? QRect(40, 30, 600, 480) : before);
    }
}

TEST_F(MainWindowTest, CloseStoresPlacementSplitterStateAndTheStore)
{
    start();
    frame->setGeometry(50, 60, 700, 500);
    frame->show();
    doc->Store() = storeWith({recordWithPoints({{0, 5.0}})});
    ASSERT_TRUE(frame->close());

    // The store reached its file.
    CCustomerDB reread;
    ASSERT_TRUE(LoadStore(reread, dir.filePath("DATA/MXR.DAT").toStdString()).ok);
    EXPECT_EQ(reread, doc->Store());
    // The splitter key, column 1 hidden, the view's size as the first pane's.
    const ReportView* view = frame->ViewGraph();
    EXPECT_EQ(CIniFile(settings.IniPath()).Find("SplitterWnd", "main_Panes_0"),
              framestate::SplitterStateText(1, view->width(), -1, view->height()));
    // The placement goes to the file with the settings at exit and comes back at the start.
    ASSERT_TRUE(settings.SaveSettings());
    CAppSettings next;
    next.SetPaths(settings.Paths());
    next.LoadSettings();
    ASSERT_TRUE(next.PlacementRead);
    EXPECT_EQ(next.Placement.showCmd, 1u);
    EXPECT_EQ(QRect(QPoint(next.Placement.left, next.Placement.top),
                    QPoint(next.Placement.right - 1, next.Placement.bottom - 1)),
              QRect(50, 60, 700, 500));
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(MainWindowTest, PrintsAtThePrintersOwnResolution)
{
    // Report lines and fonts are sized in 0.1 mm: at screen resolution a printed line would
    // be a quarter millimetre wide and small texts would lose their shapes.
    start();
    ASSERT_NE(frame->Printer(), nullptr);
    EXPECT_EQ(frame->Printer()->resolution(), QPrinter(QPrinter::HighResolution).resolution());
    EXPECT_GE(frame->Printer()->resolution(), 300);
}

TEST(SplitterState, TextOfTheFourValues)
{
    EXPECT_EQ(framestate::SplitterStateText(1, 812, -1, 533), "1 812 -1 533");
    EXPECT_EQ(framestate::SplitterStateText(1, -1, -1, -1), "1 100 -1 100");
}

using GrabMainFrame = MainWindowTest;
TEST_F(GrabMainFrame, WindowMenusAboutAndToolBar)
{
    start();
    frame->resize(900, 600);
    frame->show();
    const QString out = guitest::grabDir();
    EXPECT_TRUE(guitest::grabToPng(frame.get(), out + "/mainframe.png"));
    int n = 0;
    for (QAction* menuAction : frame->menuBar()->actions()) {
        QMenu* menu = menuAction->menu();
        menu->popup(frame->mapToGlobal(QPoint(0, 0)));
        EXPECT_TRUE(guitest::grabToPng(menu, out + QStringLiteral("/menu%1.png").arg(n++)));
        menu->hide();
    }
    // Every command wired, to see the icons as they look enabled.
    for (int id : commandid::ToolBarLayout)
        if (id != 0)
            frame->SetCommandHandler(id, [] {});
    std::unique_ptr<QDialog> about(frame->CreateAboutDialog());
    EXPECT_TRUE(guitest::grabToPng(about.get(), out + "/about.png"));
    frame->ToolBar()->setIconSize(QSize(32, 32));
    EXPECT_TRUE(guitest::grabToPng(frame->ToolBar(), out + "/toolbar32.png"));
    frame->hide();
}

TEST_F(MainWindowTest, TitleSaysReadOnlyWhileTheStoreIsNotWrittenWithoutAsking)
{
    QDir(dir.path()).mkpath("DATA");
    QFile damaged(dir.filePath("DATA/MXR.DAT"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a store");
    damaged.close();

    start();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("マクセラテスタ [読み取り専用]"));

    // Closing asks; closed without an answer the window stays.
    messages->pushChoice(-1);
    EXPECT_FALSE(frame->close());

    messages->pushChoice(0); // save to the data file anyway
    ASSERT_TRUE(doc->CommitStore());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("マクセラテスタ"));
}
