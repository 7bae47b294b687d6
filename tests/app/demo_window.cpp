// Demo mode's main window: marked as a demonstration in the title and the status bar, showing
// a measurement of the sample store (and grabbed as the picture of the demo).
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPdfWriter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "settings/appsettings.h"
#include "link/cxlogfile.h"
#include "link/emulatorport.h"
#include "ui/dialogs/receptiondialog.h"
#include "app/demodata.h"
#include "app/demomode.h"
#include "model/cp932text.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/mainwindowsetup.h"
#include "support/widgetgrab.h"
#include "ui/analysis/analysiswindow.h"
#include "ui/analysis/chartpainter.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/reportview.h"

TEST(DemoWindow, SaysDemoInTitleAndStatusBarAndShowsSampleMeasurements)
{
    guitest::MainWindowSetup window;
    MeasurementDocument& doc = window.doc;
    MainWindow& frame = window.frame();
    DemoMode().Decorate(&frame);
    EXPECT_TRUE(frame.windowTitle().contains(QStringLiteral("デモ")));
    const auto* mark = frame.statusBar()->findChild<QLabel*>(QStringLiteral("demoMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->text().startsWith(QStringLiteral("デモ")));

    // A bad cable's latest inspection, at a step with a kick above the trigger setting.
    doc.Store() = demo::BuildStore();
    const std::string customer = cp932::lit("港南製鉄所");
    const std::string cable = cp932::lit("B系統 CVT 22kV");
    const std::string set = "2025" + cp932::lit("年 R相");
    const CCustomer& c = doc.Store().customers.At(doc.Store().customers.Find(customer));
    const CCable& k = c.cables.At(c.cables.Find(cable));
    const CMeasData& s = k.sets.At(k.sets.Find(set));
    int index = 0;
    for (std::size_t i = 0; i < s.RecordCount(); ++i)
        if (!s.RecordAt(i).Triggers.empty())
            index = static_cast<int>(i);
    doc.Selection() = {customer, cable, set, index};
    doc.LoadSelectedMeasurement();
    frame.show();
    frame.resize(1024, 720);
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame.ViewGraph()->HasRecord());
    EXPECT_TRUE(guitest::grabToPng(&frame, guitest::grabDir() + "/demo_main.png"));
}

// The demo's tester answers the reception dialog on the selected port at the line rate; the
// picture shows records arriving.
TEST(DemoWindow, TesterAnswersTheReceptionDialog)
{
    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    const TesterEmulator dump(demo::DumpOptions());
    EmulatorPtySender tester(dump.serialChunks(), 38400, 200, true);
    ASSERT_TRUE(tester.ok()) << tester.error();
    CxLogFile appLog;
    appLog.Setup(dir.filePath("MXRView").toStdString());
    CommReadEnvironment env;
    env.appDir = dir.path().toStdString();
    env.appLog = &appLog;
    env.ports = {{1, tester.path()}};
    ReceptionDialog dlg(CCommSetting{}, 12345, true);
    dlg.SetEnvironment(env);
    dlg.show();
    dlg.OnInitDialog();
    // A few records in: the list shows the headers and data lines as they come.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.ListTexts().size() > 400; }, 30000));
    EXPECT_TRUE(guitest::grabToPng(&dlg, guitest::grabDir() + "/demo_reception.png"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dlg.CurrentState() != ReceptionDialog::State::Receiving; }, 30000));
    EXPECT_EQ(dlg.CurrentState(), ReceptionDialog::State::Finished);
    EXPECT_EQ(dlg.TakeRecords(), dump.expected());
}

// The demo's sample store is read in the background; its first measurement is shown as soon as
// it is in place, without a click.
TEST(DemoWindow, ShowsTheFirstSampleMeasurementOnceTheStoreIsRead)
{
    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("DATA")));
    const std::string store = dir.filePath("DATA/MXR.DAT").toStdString();
    ASSERT_TRUE(SaveStore(demo::BuildStore(), store).ok);
    MeasurementDocument doc;
    doc.SetDataFilePath(store);
    MainWindow frame(&doc);
    doc.SetLoadInBackground(true);
    doc.OnNewDocument();
    DemoMode().Decorate(&frame);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc.IsLoading(); }, 30000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame.ViewGraph()->HasRecord());
    EXPECT_EQ(doc.Selection().index, 0);
    EXPECT_FALSE(doc.Selection().measData.empty());
}

// The analysis windows on the demo's ten-year cable, at the size of a 1280×720 screen: no two
// series of the history look alike, every chart names its series, and the pictures and the
// printed pages are kept beside the grabs.
TEST(DemoWindow, AnalysisWindowsOfTheTenYearCable)
{
    guitest::MainWindowSetup window;
    MeasurementDocument& doc = window.doc;
    MainWindow& frame = window.frame();
    doc.Store() = demo::BuildStore();
    const std::string customer = cp932::lit("南風台浄水場");
    const std::string cable = cp932::lit("送水ポンプ CV 6.6kV");
    doc.Selection() = {customer, cable, "2025" + cp932::lit("年 T相"), 0};
    doc.LoadSelectedMeasurement();
    frame.show();
    frame.resize(1280, 720);
    QCoreApplication::processEvents();

    const struct {
        int command;
        const char* title;
        const char* file;
    } windows[] = {{commandid::AnalysisHistory, "経年変化", "analysis_history"},
                   {commandid::AnalysisPhase, "相間比較", "analysis_phase"},
                   {commandid::AnalysisStep, "電圧特性", "analysis_step"}};
    for (const auto& w : windows) {
        SCOPED_TRACE(w.title);
        frame.Action(w.command)->trigger();
        QCoreApplication::processEvents();
        AnalysisWindow* a = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* x = qobject_cast<AnalysisWindow*>(top);
                x && x->isVisible() && x->Document().title == QString::fromUtf8(w.title))
                a = x;
        ASSERT_NE(a, nullptr);
        a->resize(1280, 720);
        QCoreApplication::processEvents();
        for (const auto* chart : a->Charts()) {
            const analysisui::Chart& c = chart->Chart();
            std::set<std::tuple<QRgb, int, int>> looks;
            bool legend = false;
            for (const auto& s : c.series) {
                legend = legend || !s.name.isEmpty();
                if (s.style == analysisui::SeriesStyle::LineAndPoints && !s.points.empty()) {
                    EXPECT_TRUE(looks
                                    .insert({s.colour.rgb(), static_cast<int>(s.marker),
                                             static_cast<int>(s.line)})
                                    .second)
                        << s.name.toStdString() << " looks like another series";
                }
            }
            EXPECT_TRUE(legend) << c.title.toStdString();
        }
        EXPECT_TRUE(guitest::grabToPng(a, guitest::grabDir() + "/" + w.file + ".png"));
        QPdfWriter pdf(guitest::grabDir() + "/" + w.file + ".pdf");
        pdf.setResolution(150);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        analysisui::AnalysisPages pages = a->Pages();
        ASSERT_TRUE(pages.print(pdf, 1, pages.totalPages()));
        a->close();
    }
}
