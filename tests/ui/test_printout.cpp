// Print preview and PDF output from the main window: the PDF matches mxrtool's, a cancelled
// PDF leaves nothing behind, the proposed file name, and the preview dialog.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "mxrtoolrun.h"
#include "store/store.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/dialogs/printout.h"
#include "ui/common/uitext.h"
#include "ui/pages/reportview.h"

namespace {

// A record of `points` points a fifth of a second apart (552 points fill one table page).
CMeasRecord decayRecord(int points)
{
    std::vector<std::pair<double, double>> pv;
    for (int i = 1; i <= points; ++i)
        pv.push_back({i * 0.2, 0.3 + 4.0 * std::exp(-i / 100.0)});
    CMeasRecord r = recordWithPoints(pv);
    r.TestVoltage = 10.0;
    r.StartTime = *OleDateTime::fromCalendar({2026, 3, 19, 10, 30, 0});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

// Runs a poppler tool; empty output when it is missing or fails.
QByteArray poppler(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

int pdfPages(const QString& file)
{
    for (const QByteArray& line : poppler("pdfinfo", {file}).split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

class PrintOutTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings();
        doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        frame = std::make_unique<MainWindow>(&doc);
        frame->SetSettings(&settings);
        frame->Printer()->setPageSize(QPageSize(QPageSize::A4));
        doc.OnNewDocument();
    }
    void showRecord(const CMeasRecord& r)
    {
        doc.Store() = storeWith({r});
        doc.Selection() = {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), 0};
        doc.LoadSelectedMeasurement();
        ASSERT_TRUE(frame->ViewGraph()->HasRecord());
    }
    // The files in the folder other than the INI files the settings may have written.
    QStringList pdfFolderFiles(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    MeasurementDocument doc;
    std::unique_ptr<MainWindow> frame;
};

} // namespace

TEST(PdfFileProposal, JoinsThePartsAndKeepsNamesUsable)
{
    struct Case {
        const char *customer, *cable, *set, *date, *expected;
    };
    const Case cases[] = {
        {"東工業", "CV-1", "2026春", "20260319", "東工業_CV-1_2026春_20260319.pdf"},
        {"A/B", "C:\\D", "E*F?", "20260319", "A_B_C__D_E_F__20260319.pdf"},
        {"\"x\"<y>|", "k\tl", "s", "", "_x__y___k_l_s.pdf"},
        {" .hidden", "c", "s. ", "20260101", "__hidden_c_s. _20260101.pdf"},
        {"..", "", "", "", "____.pdf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printout::PdfFileProposal(QString::fromUtf8(c.customer),
                                            QString::fromUtf8(c.cable), QString::fromUtf8(c.set),
                                            QString::fromUtf8(c.date)),
                  QString::fromUtf8(c.expected))
            << c.customer;
}

TEST_F(PrintOutTest, PdfFromTheMenuHasThePagesAndTextOfMxrtool)
{
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty() ||
        QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdfinfo/pdftotext (poppler-utils) not installed";
    const CMeasRecord r = decayRecord(1500);
    showRecord(r);
    ASSERT_TRUE(frame->Action(commandid::PdfOut)->isEnabled());

    const QString outDir = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QString target = outDir + "/report.pdf";
    messages->pushPath(target);
    messages->pushAnswer(MessageInterface::Answer::No); // do not open it
    frame->Action(commandid::PdfOut)->trigger();
    ASSERT_TRUE(QFile::exists(target)) << messages->texts().join('\n').toStdString();
    // The proposal: the names and the start date, in the documents folder at first; then the
    // folder used is remembered.
    ASSERT_EQ(messages->proposedPaths().size(), 1);
    EXPECT_TRUE(messages->proposedPaths()[0].endsWith("/顧客Ａ_CV-1_2024春_20260319.pdf"))
        << messages->proposedPaths()[0].toStdString();
    EXPECT_EQ(ui::toQ(settings.PdfOutDir), outDir);
    EXPECT_EQ(pdfFolderFiles(outDir), QStringList{"report.pdf"}); // no temporary left
    QFile::remove(guitest::grabDir() + "/menu_report.pdf");       // kept to be looked at
    QFile::copy(target, guitest::grabDir() + "/menu_report.pdf");

    const QString store = dir.filePath("tool.DAT");
    ASSERT_TRUE(SaveStore(doc.Store(), store.toStdString()).ok);
    const QString toolPdf = dir.filePath("tool.pdf");
    const ToolRun run =
        mxrtool({"--home", dir.path(), "report", store, "--customer", "顧客Ａ", "--cable", "CV-1",
                 "--set", "2024春", "--index", "0", "--pdf", toolPdf});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    const int pages = pdfPages(toolPdf);
    EXPECT_GE(pages, 4); // graph page(s) and three table pages
    EXPECT_EQ(pdfPages(target), pages);
    const QByteArray text = poppler("pdftotext", {"-layout", target, "-"});
    EXPECT_TRUE(text.contains("顧客Ａ")) << text.left(400).toStdString();
    // The same words in the same places; the spacing differs by a column here and there, as
    // the window writes at the printer's resolution and mxrtool at its own.
    EXPECT_EQ(QString::fromUtf8(text).simplified(),
              QString::fromUtf8(poppler("pdftotext", {"-layout", toolPdf, "-"})).simplified());
}

TEST_F(PrintOutTest, CancelledPdfLeavesTheFolderAsItWas)
{
    showRecord(decayRecord(6000)); // a dozen pages
    const QString target = dir.filePath("out/report.pdf");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("out")));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier file");
    }
    messages->pushPath(target);
    // The progress window exists from the first page on; cancel it as the user would.
    int pagesSeen = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* progress = frame->findChild<QProgressDialog*>("pageProgress")) {
            pagesSeen = progress->value();
            progress->cancel();
        }
    });
    poll.start(0);
    const auto result =
        printout::RunPdfOut(frame.get(), *frame->ViewGraph(), *frame->Printer(), settings);
    poll.stop();
    EXPECT_EQ(result, printout::PdfResult::Cancelled);
    EXPECT_GE(pagesSeen, 1);
    EXPECT_EQ(messages->entries().size(), 1u); // the chooser only: no error, no question
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "earlier file");
    EXPECT_EQ(pdfFolderFiles(dir.filePath("out")), QStringList{"report.pdf"});
}

// The progress window is gone once the PDF is written, whether it had appeared (a long job)
// or not yet (a short one, whose window used to appear half a second later over the question
// and block it until its キャンセル was clicked).
TEST_F(PrintOutTest, ProgressIsGoneWhenThePdfQuestionIsAsked)
{
    // Answers like the scripted messages and notes the progress windows left at the question.
    struct Watcher : CScriptedMessages {
        QWidget* window = nullptr;
        int progressLeft = -1;
        Answer questionYesNo(QWidget* parent, const QString& text, Answer focus) override
        {
            progressLeft = static_cast<int>(window->findChildren<QProgressDialog*>().size());
            return CScriptedMessages::questionYesNo(parent, text, focus);
        }
    };
    for (const int points : {100, 6000}) {
        showRecord(decayRecord(points));
        auto owned = std::make_unique<Watcher>();
        Watcher& watcher = *owned;
        watcher.window = frame.get();
        auto previous = ui::installMessages(std::move(owned));
        watcher.pushPath(dir.filePath(QStringLiteral("report%1.pdf").arg(points)));
        watcher.pushAnswer(MessageInterface::Answer::No);
        // A long job shows its window (made to appear at once, as on a slow machine).
        bool shown = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* progress = frame->findChild<QProgressDialog*>("pageProgress");
                progress && points > 100) {
                progress->show();
                shown = true;
            }
        });
        poll.start(0);
        const auto result =
            printout::RunPdfOut(frame.get(), *frame->ViewGraph(), *frame->Printer(), settings);
        poll.stop();
        const auto mine = ui::installMessages(std::move(previous)); // keeps the watcher
        EXPECT_EQ(result, printout::PdfResult::Written) << points;
        EXPECT_EQ(shown, points > 100);
        EXPECT_EQ(watcher.progressLeft, 0) << points << " points";
    }
}

TEST_F(PrintOutTest, PdfIntoAMissingFolderFailsWithAMessage)
{
    showRecord(decayRecord(100));
    messages->pushPath(dir.filePath("missing/report.pdf"));
    EXPECT_EQ(printout::RunPdfOut(frame.get(), *frame->ViewGraph(), *frame->Printer(), settings),
              printout::PdfResult::Failed);
    ASSERT_EQ(messages->entries().size(), 2u); // the chooser, then the error
    EXPECT_EQ(messages->entries()[1].kind, CScriptedMessages::Kind::Error);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/report.pdf")));
}

TEST_F(PrintOutTest, PreviewShowsThePrintedPages)
{
    showRecord(decayRecord(1500));
    const int pages = frame->ViewGraph()->PrintPageCount();
    std::unique_ptr<QPrintPreviewDialog> preview(
        printout::CreatePreview(frame.get(), *frame->ViewGraph(), *frame->Printer()));
    int painted = 0;
    QObject::connect(preview.get(), &QPrintPreviewDialog::paintRequested,
                     [&painted](QPrinter*) { ++painted; });
    preview->resize(900, 700);
    preview->show();
    QCoreApplication::processEvents();
    EXPECT_GE(painted, 1);
    EXPECT_GT(pages, 1);
    EXPECT_TRUE(guitest::grabToPng(preview.get(), guitest::grabDir() + "/print_preview.png"));
    preview->hide();
}
