// ReportView: the notifier's changes reach the screen report, the lists' scroll bars follow the data, the wheel
// scrolls the measurement list, and the view grabs to a picture of the report.
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "support/scriptedmessages.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "model/format.h"
#include "report/screenreport.h"
#include "samplerecords.h"
#include "support/mainwindowsetup.h"
#include "support/widgetgrab.h"
#include "ui/pages/reportview.h"

namespace {

CMeasRecord longRecord(int points, int triggers)
{
    std::vector<std::pair<double, double>> pv;
    for (int i = 0; i < points; ++i)
        pv.push_back({i * 0.2, 4.0 * std::exp(-i / 80.0) + 0.3});
    CMeasRecord r = recordWithPoints(pv);
    sample::addTriggers(r, triggers, 2.0, 20.0, 20.6);
    return r;
}

void show(DocumentNotifier& notifier, const CMeasRecord& r, double width, double axis)
{
    emit notifier.selectionShown(SelectionNames{cp932::lit("顧客Ａ"), "CV-1", "S"});
    emit notifier.recordsCleared();
    emit notifier.recordAdded(r);
    emit notifier.startTimeChanged(0.0);
    emit notifier.widthChanged(width);
    emit notifier.axisChanged(axis);
}

} // namespace

TEST(ViewGraph, ToldChangesFillTheReportAndTheEmptyRecordShowsLabelsOnly)
{
    ReportView view;
    DocumentNotifier notifier;
    view.Connect(notifier);
    view.resize(1024, 720);
    show(notifier, CMeasRecord{}, 1, 10);
    EXPECT_FALSE(view.HasRecord());
    EXPECT_EQ(view.Report().measSheet().dataRows(), 1);
    EXPECT_FALSE(view.MeasScrollBar()->isVisibleTo(&view));

    show(notifier, longRecord(300, 2), 2, 5);
    ASSERT_TRUE(view.HasRecord());
    ScreenReport& report = view.Report();
    EXPECT_EQ(report.measSheet().dataRows(), 301);
    EXPECT_EQ(report.triggSheet().dataColumns(), 3);
    EXPECT_EQ(report.grid().findBlock("title1")->grid()->cell(1, 0).text, QStringLiteral("顧客Ａ"));
    EXPECT_EQ(report.graph().xMax(), 2.0);
    EXPECT_EQ(report.graph().yMax(), 5.0);
    EXPECT_FALSE(report.graph().series().front().points.empty());
}

TEST(ViewGraph, ScrollBarsAndWheelMoveTheListsAndResizeKeepsThemInRange)
{
    ReportView view;
    DocumentNotifier notifier;
    view.Connect(notifier);
    view.resize(1024, 720);
    const CMeasRecord r = longRecord(2000, 60);
    show(notifier, r, 16, 5);
    QScrollBar* meas = view.MeasScrollBar();
    QScrollBar* trigg = view.TriggScrollBar();
    ASSERT_TRUE(meas->isEnabled());
    ASSERT_TRUE(trigg->isEnabled());
    EXPECT_EQ(meas->maximum(), 2000 - view.Report().measSheet().visibleCount());

    meas->setValue(100);
    const LayoutGrid& m = view.Report().measSheet().table();
    EXPECT_EQ(m.cell(0, 1).text.toStdString(), mxrfmt::PointTimeText(r.Points[100]));
    EXPECT_EQ(m.cell(0, 0).text, QStringLiteral("測定時間\n(分:秒)"));

    QWheelEvent down(QPointF(50, 300), QPointF(50, 300), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &down);
    EXPECT_EQ(meas->value(), 103);

    emit notifier.axisChanged(10.0); // a new scale keeps the list where it is
    EXPECT_EQ(meas->value(), 103);

    trigg->setValue(trigg->maximum());
    EXPECT_EQ(view.Report().triggSheet().table().cell(0, 0).text, QStringLiteral("発生(分:秒)"));

    // A taller window shows more rows, so the range shrinks and the position stays valid.
    meas->setValue(meas->maximum());
    view.resize(1024, 1400);
    QResizeEvent resize(QSize(1024, 1400), QSize(1024, 720));
    QCoreApplication::sendEvent(&view, &resize);
    EXPECT_LE(meas->value(), meas->maximum());
    EXPECT_EQ(meas->maximum(), 2000 - view.Report().measSheet().visibleCount());
    EXPECT_TRUE(guitest::grabToPng(&view, guitest::grabDir() + "/viewgraph.png"));

    show(notifier, longRecord(500, 1), 16, 5); // another record starts at the top
    EXPECT_EQ(meas->value(), 0);
}

TEST(ViewGraph, MainWindowShowsTheSelectedMeasurement)
{
    guitest::MainWindowSetup window;
    MeasurementDocument& doc = window.doc;
    MainWindow& frame = window.frame();

    CMeasRecord r = longRecord(900, 3);
    r.TestVoltage = 10.0;
    r.Condition.Weather = cp932::lit("晴");
    r.Condition.Temperature = 21.5;
    r.Condition.Humidity = 48.0;
    r.StartTime = OleDateTime{46100.4375, OleDateTime::Valid};
    doc.Store() = storeWith({r});
    doc.Selection() = {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), 0};
    doc.LoadSelectedMeasurement();
    frame.show();
    frame.resize(1024, 720);
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame.ViewGraph()->HasRecord());
    EXPECT_EQ(frame.ViewGraph()->Report().measSheet().dataRows(), 901);
    EXPECT_TRUE(guitest::grabToPng(&frame, guitest::grabDir() + "/mainwindow_report.png"));
}

TEST(ViewGraph, PrintsEveryPageOfTheShownRecordIntoAPdfPrinter)
{
    ReportView view;
    DocumentNotifier notifier;
    view.Connect(notifier);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("report.pdf"));
    EXPECT_EQ(view.PrintPageCount(), 0);
    EXPECT_FALSE(view.PrintReport(printer, 1, 9)); // nothing shown: nothing printed
    EXPECT_FALSE(QFile::exists(dir.filePath("report.pdf")));

    show(notifier, longRecord(700, 4), 1, 10); // 139.8 s: one graph page, two table pages
    ASSERT_EQ(view.PrintPageCount(), 3);
    ASSERT_TRUE(view.PrintReport(printer, 1, 99));
    QFile pdf(dir.filePath("report.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page "),
              3);
}

namespace {

// What the view paints, without its child scroll bars.
QImage painted(ReportView& view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return image;
}

// The report drawn afresh, all of it, as it stands now.
QImage drawnAfresh(ReportView& view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    view.Report().draw(p, LayoutContext{ReportMapping::forDevice(view), &view});
    return image;
}

} // namespace

TEST(ViewGraph, RepaintsFromItsPictureUntilRecordScaleScrollOrSizeChange)
{
    ReportView view;
    DocumentNotifier notifier;
    view.Connect(notifier);
    view.resize(1000, 700);
    show(notifier, longRecord(18000, 60), 16, 10);
    QImage before = painted(view);
    EXPECT_EQ(before, drawnAfresh(view));

    // Nothing changed: the picture is copied, not drawn again.
    const int draws = view.Report().pictureDraws();
    EXPECT_EQ(painted(view), before);
    EXPECT_EQ(view.Report().pictureDraws(), draws);

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"start time", [&] { emit notifier.startTimeChanged(1.0); }},
        {"width", [&] { emit notifier.widthChanged(2.0); }},
        {"axis", [&] { emit notifier.axisChanged(5.0); }},
        {"measurement scroll", [&] { view.MeasScrollBar()->setValue(40); }},
        {"trigger scroll", [&] { view.TriggScrollBar()->setValue(1); }},
        {"size",
         [&] {
             view.resize(900, 640);
             QResizeEvent resize(QSize(900, 640), QSize(1000, 700));
             QCoreApplication::sendEvent(&view, &resize);
         }},
        {"record",
         [&] {
             emit notifier.recordsCleared();
             emit notifier.recordAdded(longRecord(900, 2));
             emit notifier.refreshRequested();
         }},
    };
    for (const auto& [what, change] : changes) {
        change();
        const QImage after = painted(view);
        EXPECT_NE(after, before) << what << ": the change must show";
        EXPECT_EQ(after, drawnAfresh(view)) << what << ": a stale picture was shown";
        before = after;
    }
}
