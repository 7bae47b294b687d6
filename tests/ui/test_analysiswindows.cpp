// The analysis windows on a cable with several years of data: the menu opens them for the
// selection, a chart point opens its measurement, they print and write CSV; the judgment-basis
// panel explains the shown record, and the graph's analysis marks leave the report untouched
// while they are off.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPdfWriter>
#include <QProcess>
#include <QScreen>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QDockWidget>

#include <gtest/gtest.h>

#include "analysisfixture.h"
#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/analysis/analysiscommands.h"
#include "ui/analysis/analysiscsv.h"
#include "ui/analysis/analysisviews.h"
#include "ui/analysis/analysiswindow.h"
#include "ui/analysis/chartpainter.h"
#include "ui/analysis/reportoverlay.h"
#include "ui/common/uitext.h"
#include "ui/document/measurementdocument.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/pages/reportview.h"

namespace {

namespace fx = analysisfixture;

class AnalysisWindowsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings();
        doc = std::make_unique<MeasurementDocument>();
        doc->SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        frame = std::make_unique<MainWindow>(doc.get());
        frame->SetSettings(&settings);
        doc->OnNewDocument();
        doc->Store() = fx::store();
        frame->resize(1200, 860);
    }
    void select(const std::string& set, int index)
    {
        doc->Selection() = {fx::customer(), fx::cable, set, index};
        doc->LoadSelectedMeasurement();
    }
    AnalysisWindow* run(int command)
    {
        frame->Action(command)->trigger();
        auto* w = qobject_cast<AnalysisWindow*>(QApplication::activeModalWidget());
        if (w)
            return w;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* a = qobject_cast<AnalysisWindow*>(top);
                a && a->isVisible() && a->Document().title == title(command))
                return a;
        return nullptr;
    }
    static QString title(int command)
    {
        return command == commandid::AnalysisHistory ? QStringLiteral("経年変化")
               : command == commandid::AnalysisPhase ? QStringLiteral("相間比較")
                                               : QStringLiteral("電圧特性");
    }
    // Prints every page into a PDF and keeps it beside the grabs.
    void printToPdf(AnalysisWindow& w, const QString& name)
    {
        const QString path = guitest::grabDir() + "/" + name;
        QPdfWriter pdf(path);
        pdf.setResolution(300);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        analysisui::AnalysisPages pages = w.Pages();
        ASSERT_GE(pages.totalPages(), 1);
        ASSERT_TRUE(pages.print(pdf, 1, pages.totalPages()));
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    std::unique_ptr<MeasurementDocument> doc;
    std::unique_ptr<MainWindow> frame;
};

QString cellText(QTableWidget* t, int row, int col)
{
    const QTableWidgetItem* item = t->item(row, col);
    return item ? item->text() : QString();
}

} // namespace

TEST(AnalysisChart, NiceTicksAndRanges)
{
    struct Case {
        double lo, hi;
        int count;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        {0, 10, 5, {0, 2, 4, 6, 8, 10}},
        {0, 1, 4, {0, 0.5, 1}},
        {0.3, 1.7, 5, {0.5, 1.0, 1.5}},
        {5, 5, 5, {}}, // empty range: no ticks, no endless loop
    };
    for (const Case& c : cases) {
        const std::vector<double> t = analysisui::niceTicks(c.lo, c.hi, c.count);
        ASSERT_EQ(t.size(), c.ticks.size()) << c.lo << ".." << c.hi;
        for (std::size_t i = 0; i < t.size(); ++i)
            EXPECT_NEAR(t[i], c.ticks[i], 1e-9);
    }
    double lo = 0, hi = 0;
    analysisui::fitRange({}, true, lo, hi); // nothing to show still gives a drawable range
    EXPECT_LT(lo, hi);
    analysisui::fitRange({0.0, 0.0}, true, lo, hi); // all zero currents
    EXPECT_EQ(lo, 0.0);
    EXPECT_GT(hi, 0.0);
    analysisui::fitRange({1.2, 7.9}, true, lo, hi);
    EXPECT_EQ(lo, 0.0);
    EXPECT_GE(hi, 7.9);
}

TEST(AnalysisCsv, Cp932LinesWithQuotedFields)
{
    analysisui::AnalysisDocument d;
    d.title = QStringLiteral("相間比較");
    d.customer = cp932::lit("顧客,Ａ");
    d.cable = "CV-1";
    d.notes << QStringLiteral("6.00 kV：不平衡率 245.0 % ≧ 200.0 % → 不良");
    d.header = {QStringLiteral("相"), QStringLiteral("備考")};
    d.rows = {{QStringLiteral("Ｒ相"), QStringLiteral("a \"b\", c")}};
    const std::string csv =
        analysisui::AnalysisCsv(d, cp932::lit("需要家名称"), cp932::lit("ケーブル名称"), "x");
    const std::string expected = cp932::lit("相間比較") + "\r\n" + cp932::lit("需要家名称") +
                                 ", \"" + cp932::lit("顧客,Ａ") + "\"\r\n" +
                                 cp932::lit("ケーブル名称") + ", CV-1\r\n" + cp932::lit("判定") +
                                 ", " + cp932::lit("6.00 kV：不平衡率 245.0 % ≧ 200.0 % → 不良") +
                                 "\r\n\r\n" + cp932::lit("相") + ", " + cp932::lit("備考") +
                                 "\r\n" + cp932::lit("Ｒ相") + ", \"a \"\"b\"\", c\"\r\n";
    EXPECT_EQ(csv, expected);
    // A character without a CP932 form costs only itself.
    d.rows = {{QStringLiteral("Ｒ相😀")}};
    d.header = {QStringLiteral("相")};
    EXPECT_NE(analysisui::AnalysisCsv(d, "a", "b", "c").find(cp932::lit("Ｒ相") + "?"),
              std::string::npos);
}

TEST_F(AnalysisWindowsTest, CommandsFollowTheSelection)
{
    for (int id : {commandid::AnalysisHistory, commandid::AnalysisPhase, commandid::AnalysisStep})
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    select("2022", 0);
    for (int id : {commandid::AnalysisHistory, commandid::AnalysisPhase, commandid::AnalysisStep})
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    // A cable selected without a set: the history only.
    doc->Selection() = {fx::customer(), fx::cable, "", -1};
    frame->UpdateCommandStates();
    EXPECT_TRUE(frame->Action(commandid::AnalysisHistory)->isEnabled());
    EXPECT_FALSE(frame->Action(commandid::AnalysisPhase)->isEnabled());
}

TEST_F(AnalysisWindowsTest, HistoryShowsEveryYearAndAPointOpensItsMeasurement)
{
    select("2021", 0);
    AnalysisWindow* w = run(commandid::AnalysisHistory);
    ASSERT_NE(w, nullptr);
    w->resize(1100, 820);
    const auto charts = w->Charts();
    ASSERT_EQ(charts.size(), 3u);
    const analysisui::Chart& c = charts[0]->Chart();
    // R was measured every year, S and T in 2024 only: one series per phase and voltage.
    ASSERT_EQ(c.series.size(), 9u);
    EXPECT_EQ(c.series[0].name, QStringLiteral("Ｒ相 2.00 kV"));
    EXPECT_EQ(c.bands.size(), 3u);
    ASSERT_EQ(c.series[0].points.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) // the years run from left to right, the current rises
        EXPECT_GT(c.series[0].points[i].x(), c.series[0].points[i - 1].x());
    EXPECT_GT(c.series[0].points[3].y(), c.series[0].points[0].y());
    EXPECT_EQ(w->Table()->rowCount(), 18);
    EXPECT_EQ(cellText(w->Table(), 0, 0), QStringLiteral("2021"));
    EXPECT_TRUE(guitest::grabToPng(w, guitest::grabDir() + "/analysis_history.png"));

    // The 6 kV point of the set "2024" opens that record in the main window.
    const auto& targets = w->PointTargets();
    int series = -1, index = -1;
    for (std::size_t s = 0; s < targets.size(); ++s)
        for (std::size_t i = 0; i < targets[s].size(); ++i)
            if (targets[s][i].measData == "2024" && targets[s][i].index == 2)
                series = static_cast<int>(s), index = static_cast<int>(i);
    ASSERT_GE(series, 0);
    QTest::mouseClick(charts[0], Qt::LeftButton, {},
                      charts[0]->PointPosition(series, index).toPoint());
    EXPECT_EQ(doc->Selection(), (DataSelection{fx::customer(), fx::cable, "2024", 2}));
    ASSERT_TRUE(frame->ViewGraph()->HasRecord());
    EXPECT_DOUBLE_EQ(frame->ViewGraph()->DisplayedRecord()->TestVoltage, 6.0);
    printToPdf(*w, "analysis_history.pdf");
}

TEST_F(AnalysisWindowsTest, PhaseTableJudgesTheUnbalanceAndWritesCsv)
{
    select("2024", 0);
    AnalysisWindow* w = run(commandid::AnalysisPhase);
    ASSERT_NE(w, nullptr);
    w->resize(1100, 760);
    // One row per test voltage of the day, R/S/T from the three sibling sets.
    ASSERT_EQ(w->Table()->rowCount(), 3);
    EXPECT_EQ(cellText(w->Table(), 0, 1), QStringLiteral("2.00"));
    EXPECT_EQ(cellText(w->Table(), 0, 2), QStringLiteral("0.440"));
    EXPECT_EQ(cellText(w->Table(), 0, 4), QStringLiteral("6.001"));
    EXPECT_EQ(cellText(w->Table(), 0, 6), QStringLiteral("不良")); // ≈ 240 %
    EXPECT_EQ(cellText(w->Table(), 2, 6), QStringLiteral("良"));   // ≈ 191 % at 6 kV
    EXPECT_TRUE(w->Notes()->text().contains(QStringLiteral("200.0")))
        << w->Notes()->text().toStdString();
    EXPECT_EQ(w->Charts().at(0)->Chart().series.size(), 3u);
    EXPECT_TRUE(guitest::grabToPng(w, guitest::grabDir() + "/analysis_phase.png"));

    const QString path = dir.filePath("phase.csv");
    messages->pushPath(path);
    ASSERT_TRUE(w->OnCsv());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string bytes = f.readAll().toStdString();
    EXPECT_EQ(bytes, w->CsvBytes());
    EXPECT_EQ(bytes.rfind(cp932::lit("相間比較") + "\r\n", 0), 0u);
    EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1); // CR LF line ends
    EXPECT_NE(bytes.find(cp932::lit("不平衡率")), std::string::npos);
    EXPECT_TRUE(
        messages->texts().last().startsWith(QStringLiteral("テキストファイルへ正常に出力")));
    // The proposal names the window and the cable.
    EXPECT_TRUE(messages->proposedPaths().last().endsWith(QStringLiteral("PHASE_CV-1_2024.CSV")));

    // A folder that cannot be written: an error, nothing reported as written.
    messages->pushPath(QStringLiteral("/proc/no/such/phase.csv"));
    EXPECT_FALSE(w->OnCsv());
    EXPECT_EQ(messages->entries().back().kind, CScriptedMessages::Kind::Error);
    printToPdf(*w, "analysis_phase.pdf");

    // The PDF from the window carries the window's title, not the report's.
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        GTEST_SKIP() << "pdfinfo (poppler-utils) not installed";
    const QString pdf = dir.filePath("phase.pdf");
    messages->pushPath(pdf);
    messages->pushAnswer(MessageInterface::Answer::No); // do not open it
    w->OnPdf();
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Title: +相間比較\\n"))));
}

// A double-click on a row of the phase table opens the row's record of the set the table was
// opened for, whichever phase that set holds.
TEST(AnalysisViews, PhaseRowsOpenTheRecordOfTheSelectedSet)
{
    const CCustomerDB db = analysisfixture::store();
    const CCable& cable = db.customers.At(0).cables.At(0);
    for (const std::string& set : {std::string("2024"), cp932::lit("2024Ｔ相")}) {
        const analysisui::AnalysisView v = analysisui::BuildPhaseView(
            analysisfixture::customer(), cable.name, cable, set, AnalysisThresholds{});
        ASSERT_EQ(v.rowTargets.size(), 3u);
        for (const DataSelection& row : v.rowTargets) {
            EXPECT_EQ(row.measData, set);
            EXPECT_GE(row.index, 0);
        }
    }
}

// Phases by hue, voltages by marker and line; every chart with a legend; each point dated by
// its own record; conditions never entered (0 MΩ) shown as no value.
TEST(AnalysisViews, HistoryTellsSeriesApartAndDatesPointsFromTheirRecords)
{
    CCable cable;
    cable.name = "CV-2";
    CMeasRecord r2021 = analysisfixture::record(2021, CabKindR, 2, 0.3);
    CMeasRecord r2022 = analysisfixture::record(2022, CabKindR, 6, 0.9);
    analysisfixture::addSet(cable, "mixed", {r2021, r2022});
    CMeasRecord tLow = analysisfixture::record(2022, CabKindT, 2, 0.3);
    CMeasRecord tHigh = analysisfixture::record(2022, CabKindT, 6, 0.9);
    tLow.Condition.ShisuZetuen = tHigh.Condition.ShisuZetuen = 0.0; // not entered
    analysisfixture::addSet(cable, "T", {tLow, tHigh});
    const analysisui::AnalysisView v = analysisui::BuildHistoryView(
        analysisfixture::customer(), cable.name, cable, AnalysisThresholds{});
    ASSERT_EQ(v.doc.charts.size(), 3u);
    // The large chart names each series; the small ones give the key of hues (phases) and
    // markers (voltages).
    for (const auto& s : v.doc.charts[0].series)
        EXPECT_FALSE(s.name.isEmpty());
    for (std::size_t k = 1; k < 3; ++k) {
        QStringList legend;
        for (const auto& s : v.doc.charts[k].series)
            if (!s.name.isEmpty())
                legend << s.name;
        EXPECT_EQ(legend, (QStringList{QStringLiteral("Ｒ相"), QStringLiteral("Ｔ相"),
                                       QStringLiteral("2.00 kV"), QStringLiteral("6.00 kV")}))
            << v.doc.charts[k].title.toStdString();
    }
    const auto& series = v.doc.charts[0].series;
    auto find = [&](const QString& name) -> const analysisui::ChartSeries& {
        for (const auto& s : series)
            if (s.name == name)
                return s;
        ADD_FAILURE() << name.toStdString();
        return series.front();
    };
    const auto& r2 = find(QStringLiteral("Ｒ相 2.00 kV"));
    const auto& r6 = find(QStringLiteral("Ｒ相 6.00 kV"));
    const auto& t2 = find(QStringLiteral("Ｔ相 2.00 kV"));
    const auto& t6 = find(QStringLiteral("Ｔ相 6.00 kV"));
    EXPECT_EQ(r2.colour, r6.colour);
    EXPECT_EQ(t2.colour, t6.colour);
    EXPECT_NE(r2.colour, t2.colour);
    EXPECT_EQ(r2.marker, t2.marker);
    EXPECT_NE(r2.marker, r6.marker);
    EXPECT_NE(r2.line, r6.line);
    // The set "mixed" starts in 2021, but its 6 kV record is of 2022: so are its point and row.
    const double day2022 = std::floor(r2022.StartTime.date);
    ASSERT_EQ(r6.points.size(), 1u);
    EXPECT_DOUBLE_EQ(r6.points[0].x(), day2022);
    EXPECT_EQ(v.doc.rows.at(1).at(1), QStringLiteral("2022/06/01"));
    EXPECT_EQ(v.doc.rows.at(0).at(1), QStringLiteral("2021/06/01"));
    // Dates within two years carry year and day.
    EXPECT_EQ(v.doc.charts[0].xText(day2022), QStringLiteral("2022/06/01"));
    EXPECT_EQ(v.doc.rows.at(2).at(10), QStringLiteral("---")) << "0 MΩ is not a measurement";
}

TEST(AnalysisChart, DateLabelsThatWouldOverlapAreThinned)
{
    struct Case {
        const char* name;
        std::vector<double> centres;
        std::vector<bool> shown;
    };
    // Labels 60 wide, gap 10: centres closer than 70 collide.
    const Case cases[] = {
        {"apart", {0, 100, 200}, {true, true, true}},
        // Two dates a year apart in a ten-year span: the newer one is kept.
        {"close pair at the end", {0, 100, 200, 240}, {true, true, false, true}},
        {"close pair inside", {0, 100, 130, 300}, {true, true, false, true}},
        // A crowd: the first and the newest, nothing between them that collides.
        {"crowd", {0, 20, 40, 60, 80, 100}, {true, false, false, false, false, true}},
        {"single", {50}, {true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> widths(c.centres.size(), 60.0);
        const std::vector<bool> shown = analysisui::visibleLabels(c.centres, widths, 10.0);
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(AnalysisViews, StepTableListsTheLineTheChartDraws)
{
    CCable cable;
    cable.name = "CV-3";
    analysisfixture::addSet(cable, "s",
                            {analysisfixture::record(2024, CabKindR, 2, 0.6),
                             analysisfixture::record(2024, CabKindR, 4, 1.3),
                             analysisfixture::record(2024, CabKindR, 6, 2.1),
                             analysisfixture::record(2024, CabKindR, 8, 3.3)});
    const analysisui::AnalysisView v = analysisui::BuildStepView(
        analysisfixture::customer(), cable.name, cable, "s", AnalysisThresholds{});
    const analysisui::Chart& c = v.doc.charts.at(0);
    const analysisui::ChartSeries* line = nullptr;
    for (const auto& s : c.series)
        if (s.style == analysisui::SeriesStyle::DashedLine)
            line = &s;
    ASSERT_NE(line, nullptr);
    ASSERT_EQ(line->points.size(), 2u);
    const double slope = line->points[1].y() / line->points[1].x();
    ASSERT_EQ(v.doc.rows.size(), 4u);
    for (const QStringList& row : v.doc.rows) {
        const double kv = row.at(1).toDouble();
        EXPECT_EQ(row.at(3), QString::number(slope * kv, 'f', 3)) << kv;
    }
}

TEST(AnalysisViews, PhaseWordsFollowTheReport)
{
    // The report calls the μA value 最終値 and the shield currents (mA) 漏れ電流.
    const CCustomerDB db = analysisfixture::store();
    const CCable& cable = db.customers.At(0).cables.At(0);
    const analysisui::AnalysisView v = analysisui::BuildPhaseView(
        analysisfixture::customer(), cable.name, cable, "2024", AnalysisThresholds{});
    for (const QString& h : v.doc.header)
        if (h.contains(QStringLiteral("漏れ電流"))) {
            EXPECT_TRUE(h.contains(QStringLiteral("(mA)")) ||
                        h.contains(QStringLiteral("不平衡率")))
                << h.toStdString();
        }
    ASSERT_FALSE(v.doc.notes.isEmpty());
    for (const QString& n : v.doc.notes) {
        EXPECT_TRUE(n.contains(QStringLiteral("最終値の不平衡率"))) << n.toStdString();
        EXPECT_FALSE(n.contains(QStringLiteral("遮へい"))) << n.toStdString();
    }
}

TEST_F(AnalysisWindowsTest, StepPlotMarksTheKnee)
{
    select("2024", 0);
    AnalysisWindow* w = run(commandid::AnalysisStep);
    ASSERT_NE(w, nullptr);
    w->resize(1000, 720);
    const analysisui::Chart& c = w->Charts().at(0)->Chart();
    ASSERT_EQ(c.markers.size(), 1u);
    EXPECT_DOUBLE_EQ(c.markers[0].at.x(), 6.0);
    ASSERT_EQ(w->Table()->rowCount(), 3);
    EXPECT_EQ(cellText(w->Table(), 2, 6), QStringLiteral("屈曲点"));
    EXPECT_TRUE(cellText(w->Table(), 1, 6).isEmpty());
    EXPECT_TRUE(guitest::grabToPng(w, guitest::grabDir() + "/analysis_step.png"));
    printToPdf(*w, "analysis_step.pdf");

    // A set without steady steps (one record only) shows an empty plot with its reason.
    CCable& k = doc->Store().customers.At(0).cables.At(0);
    CMeasData& one = k.sets.At(k.sets.FindOrInsert("single"));
    one.AppendRecord(fx::record(2024, CabKindR, 2, 0.5));
    select("single", 0);
    w = run(commandid::AnalysisStep);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Charts().at(0)->Chart().markers.empty());
    EXPECT_FALSE(w->Notes()->text().isEmpty());
}

// Choosing a window's menu entry while the window is open reuses the window for the new
// selection (the history used to free its rows of charts twice and crash), and every window
// opens within the screen's available area, whatever size it would like.
TEST_F(AnalysisWindowsTest, OpeningAgainReusesTheWindowWithinTheScreen)
{
    CCustomer& customer = doc->Store().customers.At(0);
    CCable& other = customer.cables.At(customer.cables.FindOrInsert("CV-2"));
    fx::addSet(other, "2030",
               {fx::record(2023, CabKindR, 2, 0.3), fx::record(2023, CabKindR, 4, 0.6)});
    const QRect screen = frame->screen()->availableGeometry();
    for (int command : {commandid::AnalysisHistory, commandid::AnalysisPhase, commandid::AnalysisStep}) {
        select("2023", 0);
        AnalysisWindow* first = run(command);
        ASSERT_NE(first, nullptr) << command;
        EXPECT_TRUE(screen.contains(first->frameGeometry()))
            << command << ": " << first->width() << "x" << first->height() << " on "
            << screen.width() << "x" << screen.height();
        const std::size_t charts = first->Charts().size();
        for (const std::string& cable : {std::string("CV-2"), fx::cable}) { // twice: back again
            doc->Selection() = {fx::customer(), cable, cable == fx::cable ? "2024" : "2030", 0};
            doc->LoadSelectedMeasurement();
            AnalysisWindow* again = run(command);
            ASSERT_EQ(again, first) << command;
            EXPECT_EQ(again->Document().cable, cable) << command;
            EXPECT_EQ(again->Charts().size(), charts) << command;
            EXPECT_TRUE(again->isVisible());
        }
    }
}

TEST_F(AnalysisWindowsTest, JudgmentBasisPanelExplainsTheShownRecord)
{
    select(cp932::lit("2024Ｔ相"), 2);
    QAction* item = frame->Action(commandid::ViewJudgmentBasis);
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(frame->Analysis()->Panel()->isVisibleTo(frame.get()));
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    const QString text = frame->Analysis()->PanelText();
    EXPECT_TRUE(text.contains(QStringLiteral("最終値"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("→"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("漸増"))) << text.toStdString();
    frame->show();
    EXPECT_TRUE(guitest::grabToPng(frame.get(), guitest::grabDir() + "/analysis_basis_panel.png"));
    // Another record replaces the text.
    select("2021", 0);
    EXPECT_NE(frame->Analysis()->PanelText(), text);
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    // A window destroyed while it shows the panel goes quietly.
    item->trigger();
    ASSERT_TRUE(frame->Analysis()->Panel()->isVisible());
    frame.reset();
}

TEST_F(AnalysisWindowsTest, OverlayOffLeavesTheReportAsDrawnAndOnMarksTheGraph)
{
    // A record with trigger events and a spike, shown in the main window …
    CMeasRecord r = fx::record(2024, CabKindT, 6, 3.0, 0.3);
    r.TriggerLevel = 5.0;
    for (int i = 200; i < 204; ++i)
        r.Points[i].value = CDataValue(9.0);
    r.Points[400].value = CDataValue(4.5);
    r.RecalcFinalAndTriggers(-1, 10);
    ASSERT_FALSE(r.Triggers.empty());
    CCable& k = doc->Store().customers.At(0).cables.At(0);
    k.sets.At(k.sets.FindOrInsert("kicks")).AppendRecord(r);
    select("kicks", 0);
    ReportView* view = frame->ViewGraph();
    frame->show();
    view->resize(1100, 700);
    QApplication::processEvents();

    // … and the same in a bare report view, which knows nothing of the analysis.
    ReportView bare;
    bare.resize(view->size());
    DocumentNotifier notifier;
    bare.Connect(notifier);
    emit notifier.selectionShown(view->Names());
    emit notifier.recordsCleared();
    emit notifier.recordAdded(*view->DisplayedRecord());
    emit notifier.startTimeChanged(view->StartTime());
    emit notifier.widthChanged(view->Width());
    emit notifier.axisChanged(view->Axis());
    const QImage plain = bare.grab().toImage();

    EXPECT_FALSE(frame->Action(commandid::ViewAnalysisOverlay)->isChecked());
    EXPECT_EQ(view->grab().toImage(), plain);
    frame->Action(commandid::ViewAnalysisOverlay)->trigger();
    EXPECT_TRUE(frame->Analysis()->OverlayOn());
    EXPECT_FALSE(frame->Analysis()->Overlay()->Signs().signs.empty());
    const QImage marked = view->grab().toImage();
    EXPECT_NE(marked, plain);
    marked.save(guitest::grabDir() + "/analysis_overlay.png");
    frame->Action(commandid::ViewAnalysisOverlay)->trigger();
    EXPECT_EQ(view->grab().toImage(), plain);
    // The switch is not kept in the settings file shared with the older program.
    settings.SaveSettings();
    QFile ini(QString::fromStdString(settings.IniPath()));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains("Overlay"));
}
