// ReceptionDialog end to end: the tester emulator on a pseudo-terminal reached through the port
// mapping, the texts in the list, closing by itself, the hand-over of the records, failures,
// cancelling while the tester is silent and the show-collected-data switch.
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QTableView>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "settings/appsettings.h"
#include "link/cxlogfile.h"
#include "link/emulator.h"
#include "link/emulatorport.h"
#include "model/cp932text.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/receptiondialog.h"
#include "smalltmpfs.h"

namespace {

const QString kOpen = QString::fromUtf8("シリアルポートオープン");
const QString kWait = QString::fromUtf8("機器からのデータ送信待ち");
const QString kClose = QString::fromUtf8("シリアルポートクローズ");
const QString kAfter = QString::fromUtf8("後処理中...しばらくお待ちください");
const QString kFailed = QString::fromUtf8("受信処理で問題が発生しました");

// Runs the event loop until cond holds; false when limitMs passed first.
template <class Cond> bool waitFor(Cond cond, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

QStringList texts(const ReceptionDialog& dlg)
{
    return dlg.ListTexts();
}

bool isHex(const QString& s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

// The emulator on its own pty: sends its chunks once the reception has opened the port.
struct PtyTester : EmulatorPtySender {
    explicit PtyTester(std::vector<EmulatorChunk> chunks, int baud = 0)
        : EmulatorPtySender(std::move(chunks), baud)
    {
        EXPECT_TRUE(ok()) << error();
    }
};

EmulatorOptions smallDump(uint32_t seed, int records)
{
    EmulatorOptions o;
    o.seed = seed;
    o.records = records;
    o.measureSeconds = 16;
    return o;
}

class ReceptionDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        appLog.Setup(dir.filePath("MXRView").toStdString());
        env.appDir = dir.path().toStdString();
        env.appLog = &appLog;
        env.pauses.startMs = 0;
        env.pauses.openMs = 20;
        env.pauses.endMs = 20;
        env.pauses.replayOpenRetryMs = 200;
        env.pauses.simulationPassMs = 0;
    }

    // The dialog on port 3, mapped to device, shown and started as the caller would.
    std::unique_ptr<ReceptionDialog> start(const std::string& device, const std::string& replay = {})
    {
        env.ports = {{3, device}};
        CCommSetting comm;
        comm.port = 3;
        auto dlg = std::make_unique<ReceptionDialog>(comm, 12345, true);
        dlg->SetEnvironment(env);
        if (!replay.empty())
            dlg->SetReplayFile(replay);
        dlg->show();
        dlg->OnInitDialog();
        return dlg;
    }
    static bool ended(const ReceptionDialog& dlg)
    {
        return dlg.CurrentState() != ReceptionDialog::State::Receiving;
    }
    QString appLogText() const
    {
        QString all;
        for (const QString& name : QDir(dir.path()).entryList({"MXRView*.LOG"})) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                all += QString::fromStdString(cp932::toUtf8(f.readAll().toStdString()));
        }
        return all;
    }

    QTemporaryDir dir;
    CxLogFile appLog;
    CommReadEnvironment env;
};

} // namespace

TEST_F(ReceptionDialogTest, NormalReceptionListsTheTextsClosesAndHandsOverEveryRecord)
{
    const TesterEmulator emu(smallDump(3, 4));
    PtyTester tester(emu.serialChunks());
    env.archiveDir = dir.filePath("DATA/received").toStdString();
    auto dlg = start(tester.path());
    EXPECT_EQ(dlg->BusyIndicator()->maximum(), 0); // running
    EXPECT_TRUE(dlg->ShowDataCheck()->isChecked());
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 20000));

    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Finished);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->BusyIndicator()->maximum(), 1); // stopped
    EXPECT_FALSE(dlg->CancelButton()->isEnabled());
    EXPECT_EQ(dlg->PendingTexts(), 0);
    const std::vector<ReceivedRecord> got = dlg->TakeRecords();
    EXPECT_EQ(got, emu.expected());
    EXPECT_TRUE(dlg->TakeRecords().empty()); // moved out
    // What was read is archived as its replay file.
    const QStringList archived = QDir(dir.filePath("DATA/received")).entryList(QDir::Files);
    ASSERT_EQ(archived.size(), 1);
    QFile archive(dir.filePath("DATA/received/" + archived[0]));
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    EXPECT_EQ(archive.readAll().toStdString(), emu.replayText());

    const QStringList lines = texts(*dlg);
    ASSERT_GT(lines.size(), 4 * 80);
    EXPECT_EQ(lines.mid(0, 2), (QStringList{kOpen, kWait}));
    EXPECT_EQ(lines.mid(lines.size() - 3), (QStringList{"FFFFFFFFFFFFFF", kClose, kAfter}));
    EXPECT_EQ(dlg->CurrentListRow(), lines.size() - 1);
    EXPECT_EQ(dlg->StatusLine()->text(), kAfter);
    EXPECT_FALSE(appLogText().contains(QString::fromUtf8("異常"))); // no error was logged
}

TEST_F(ReceptionDialogTest, OnlyTheEndOfTransferBlock)
{
    PtyTester tester({{std::string(8, '\xFF'), 0}});
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 10000));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(texts(*dlg), (QStringList{kOpen, kWait, "FFFFFFFFFFFFFF", kClose, kAfter}));
    EXPECT_TRUE(dlg->TakeRecords().empty());
}

TEST_F(ReceptionDialogTest, PortThatDoesNotExistFailsAndStaysOpen)
{
    env.commLog = true;
    auto dlg = start("/dev/mxr-test-no-such-port");
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 10000));
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Failed);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->StatusLine()->text(), kFailed);
    EXPECT_EQ(dlg->BusyIndicator()->maximum(), 1);
    const QString openFailed = QString::fromUtf8(
        "シリアルポートのオープンに失敗,No such file or directoryｴﾗｰNo:hex(2),dec(2)");
    EXPECT_EQ(texts(*dlg),
              (QStringList{kOpen, openFailed, QString::fromUtf8("通信異常 [-1]"), kClose}));
    // Both error texts went to the application log; the port wrote its communication log.
    const QString log = appLogText();
    EXPECT_TRUE(log.contains(openFailed));
    EXPECT_TRUE(log.contains(QString::fromUtf8("通信異常 [-1]")));
    EXPECT_FALSE(QDir(dir.path()).entryList({"COMM_*.LOG"}).isEmpty());

    // The user closes it: nothing is handed over.
    ASSERT_TRUE(dlg->CancelButton()->isEnabled());
    dlg->CancelButton()->click();
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Cancelled);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->TakeRecords().empty());
}

TEST_F(ReceptionDialogTest, CancelWhileWaitingClosesWithinAboutFourSecondsAndStaysResponsive)
{
    env.pauses = ReceptionPauses(); // the real waits: this is about the timing
    PtyTester tester({});
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return texts(*dlg).contains(kWait); }, 5000));
    waitFor([] { return false; }, 200); // let the worker block in its read

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer t;
    t.start();
    dlg->CancelButton()->click(); // returns once the worker has ended
    const qint64 ms = t.elapsed();
    ticker.stop();

    EXPECT_GT(ms, 2500); // the worker's final pause
    EXPECT_LT(ms, 5500);
    EXPECT_GT(ticks, 20); // the window kept handling events while it waited
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Cancelled);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->PendingTexts(), 0);
    const QString commError = QString::fromUtf8("通信異常 [-2]");
    EXPECT_EQ(texts(*dlg), (QStringList{kOpen, kWait, commError, commError, kClose}));
    EXPECT_EQ(dlg->StatusLine()->text(), kFailed); // code 4 was still handled
    EXPECT_TRUE(dlg->TakeRecords().empty());
}

TEST_F(ReceptionDialogTest, DestroyedWhileReceivingStopsTheWorkerCleanly)
{
    PtyTester tester({});
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return texts(*dlg).contains(kWait); }, 5000));
    QElapsedTimer t;
    t.start();
    dlg.reset(); // no cancel first: the worker's texts must neither hang nor reach a dead dialog
    EXPECT_LT(t.elapsed(), 3000);
    waitFor([] { return false; }, 50); // anything still queued is dropped
}

TEST_F(ReceptionDialogTest, DamageMidStreamHandsOverTheRecordsAroundIt)
{
    const TesterEmulator emu(smallDump(5, 3));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    // A data line of the second record whose current is not BCD, as line noise would leave it.
    chunks[1].bytes.insert(8 + 9 + 7 * 20, "\x12\x34\x56\xAB\xCD\xEF\r");
    PtyTester tester(chunks);
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 20000));
    const QStringList lines = texts(*dlg);
    const QString damaged = QString::fromUtf8("受信データ異常<123456ABCDEF>");
    ASSERT_TRUE(lines.contains(damaged));
    EXPECT_TRUE(dlg->IsErrorLine(lines.indexOf(damaged)));
    EXPECT_EQ(lines.count(kOpen), 2);
    EXPECT_EQ(lines.count(kWait), 2);
    EXPECT_GT(lines.lastIndexOf(kOpen), lines.indexOf(damaged)); // open again after the marker
    EXPECT_TRUE(appLogText().contains(damaged));

    // The error was shown, so the dialog waits with its summary instead of closing.
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Reviewing);
    EXPECT_TRUE(dlg->isVisible());
    const QString summary =
        QString::fromUtf8("受信終了: 受信 2 件, エラー 1 件, 欠落 1 件, 警告 0 件");
    EXPECT_EQ(dlg->StatusLine()->text(), summary);
    EXPECT_EQ(lines.back(), summary);
    EXPECT_TRUE(appLogText().contains(summary));
    EXPECT_TRUE(dlg->OkButton()->isVisible());
    EXPECT_FALSE(dlg->CancelButton()->isVisible());

    dlg->OkButton()->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Finished);
    EXPECT_FALSE(dlg->isVisible());
    const std::vector<ReceivedRecord> got = dlg->TakeRecords();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], emu.expected()[0]);
    EXPECT_EQ(got[1], emu.expected()[2]);
}

TEST_F(ReceptionDialogTest, LostLinesAreWarnedAndTheSummaryWaitsForOk)
{
    // Two data lines of the first record lost on the line, one of the third.
    const TesterEmulator emu(smallDump(6, 3));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    chunks[0].bytes.erase(8 + 9 + 7 * 30, 14);
    chunks[2].bytes[8 + 9 + 7 * 5 + 6] ^= 0x80; // a flipped carriage return joins two lines
    PtyTester tester(chunks);
    auto dlg = start(tester.path());
    int summaryShown = 0;
    QObject::connect(dlg.get(), &ReceptionDialog::summaryShown, [&] { ++summaryShown; });
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 20000));
    EXPECT_EQ(summaryShown, 1);
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Reviewing);

    const QStringList lines = texts(*dlg);
    const QString first = QString::fromUtf8("データ数不一致 80/78"); // and the third
    ASSERT_EQ(lines.count(first), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(dlg->IsWarningLine(lines.indexOf(first)));
    EXPECT_TRUE(appLogText().contains(first));
    EXPECT_EQ(dlg->StatusLine()->text(),
              QString::fromUtf8("受信終了: 受信 3 件, エラー 0 件, 欠落 0 件, 警告 2 件"));
    EXPECT_TRUE(guitest::grabToPng(dlg.get(), guitest::grabDir() + "/commread_summary.png"));

    // Esc under the summary hands the records over like OK: nothing is thrown away.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(dlg.get(), &esc);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    const std::vector<ReceivedRecord> got = dlg->TakeRecords();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].LineCount, 78);
    EXPECT_TRUE(got[0].LineCountMismatch());
    EXPECT_EQ(got[1], emu.expected()[1]);
    EXPECT_EQ(got[2].LineCount, 78);
}

// A record with an unreadable date and an archive that a full disk kept from being written:
// both are warnings in the summary, and the summary names the archive as missing (in the list
// and the application log).
TEST_F(ReceptionDialogTest, SummaryCountsAnUnreadableDateAndNamesAMissingArchive)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    disk.fill();
    env.archiveDir = disk.path() + "/received";
    const TesterEmulator emu(smallDump(7, 2));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    chunks[1].bytes[8 + 4] = 0x32; // day 32
    PtyTester tester(chunks);
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 20000));
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Reviewing);
    EXPECT_EQ(dlg->StatusLine()->text(),
              QString::fromUtf8("受信終了: 受信 2 件, エラー 0 件, 欠落 0 件, 警告 2 件"));
    const QStringList lines = texts(*dlg);
    const int date = lines.indexOf(QRegularExpression(QString::fromUtf8("^日付データ異常<.*>$")));
    ASSERT_GE(date, 0);
    EXPECT_TRUE(dlg->IsWarningLine(date));
    const QString missing = lines.last();
    EXPECT_TRUE(missing.startsWith(QString::fromUtf8("受信データは保存されていません:") +
                                   QString::fromStdString(env.archiveDir) + "/"))
        << missing.toStdString();
    EXPECT_TRUE(dlg->IsWarningLine(lines.size() - 1));
    EXPECT_TRUE(appLogText().contains(missing));
    EXPECT_TRUE(QDir(QString::fromStdString(env.archiveDir)).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(guitest::grabToPng(dlg.get(), guitest::grabDir() + "/commread_missing.png"));
    dlg->OnOk();
    const std::vector<ReceivedRecord> got = dlg->TakeRecords();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], emu.expected()[0]);
    EXPECT_TRUE(got[1].DateReplaced);
}

TEST_F(ReceptionDialogTest, UntickingStopsTheDataLinesAtOnce)
{
    const TesterEmulator emu(smallDump(8, 3));
    PtyTester tester(emu.serialChunks(), 9600); // paced, so the untick lands mid-stream
    auto dlg = start(tester.path());
    // Untick at the 10th data line of the first record (data lines show as 12 hex digits).
    int cut = -1;
    QObject::connect(dlg->List()->model(), &QAbstractItemModel::rowsInserted, dlg.get(), [&] {
        const QStringList lines = texts(*dlg);
        if (cut < 0 && lines.filter(QRegularExpression("^[0-9A-F]{12}$")).size() == 10) {
            dlg->ShowDataCheck()->setChecked(false);
            // Texts the worker posted before the switch changed are still shown: those queued
            // now (the pending count less the worker and this text), and one more that may be
            // on its way between reading the switch and posting.
            cut = lines.size() + (dlg->PendingTexts() - 2) + 1;
        }
    });
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 20000));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->ShowCollectedData());
    EXPECT_EQ(dlg->TakeRecords(), emu.expected());
    ASSERT_GT(cut, 0);

    const QStringList all = texts(*dlg);
    const QStringList after = all.mid(cut);
    EXPECT_GE(after.size(), 5) << "cut at " << cut;
    for (const QString& line : after) {
        // Header (7 bytes) and date (8 bytes) blocks only; no data or trailer lines.
        if (isHex(line)) {
            EXPECT_TRUE(line.size() == 14 || line.size() == 16) << line.toStdString();
        }
    }
    // Every header block was still shown: three records and the end block.
    EXPECT_EQ(all.filter(QRegularExpression("^[0-9A-F]{14}$")).size(), 4);
}

TEST_F(ReceptionDialogTest, ReplayKeepsTheNewest30001Lines)
{
    EmulatorOptions o = smallDump(2, 1);
    o.measureSeconds = 6020; // 30100 data lines
    const TesterEmulator emu(o);
    const QString file = dir.filePath("dump.txt");
    std::ofstream(file.toStdString(), std::ios::binary) << emu.replayText();
    auto dlg = start("", file.toStdString());
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 60000));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->TakeRecords(), emu.expected());
    const QStringList lines = texts(*dlg);
    EXPECT_EQ(lines.size(), ReceptionDialog::kMaxLines);
    EXPECT_FALSE(lines.front().startsWith(QString::fromUtf8("ファイルオープン:")));
    EXPECT_EQ(lines.back(), kAfter);
    EXPECT_FALSE(lines.contains(kClose)); // no port in replay mode
}

TEST_F(ReceptionDialogTest, SimulationNeedsNoPort)
{
    env.simulation = true;
    auto dlg = start("/dev/mxr-test-no-such-port");
    dlg->ShowDataCheck()->setChecked(false);
    ASSERT_TRUE(waitFor([&] { return ended(*dlg); }, 30000));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->TakeRecords().empty());
    EXPECT_EQ(texts(*dlg).front(), kOpen);
}

TEST(CommReadEnvironment, ComesFromTheSettings)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        std::ofstream ini(dir.filePath("MXRView.INI").toStdString(), std::ios::binary);
        ini << "[Debug]\r\n"
            << cp932::lit("通信(0:リリース,1:デバック)") << "=1\r\n"
            << cp932::lit("通信ログ出力(0:しない,1:する)") << "=1\r\n"
            << "[Ports]\r\nCOM3=/dev/pts/42\r\n"
            << "[Received]\r\nKeepFiles=12\r\nKeepMB=0\r\n";
        std::ofstream(dir.filePath("system.ini").toStdString(), std::ios::binary)
            << "[Param]\r\nTriggValidSec=7\r\n";
    }
    CAppSettings settings;
    settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
    settings.LoadSettings();
    const CommReadEnvironment env = CommReadEnvironment::FromSettings(settings);
    EXPECT_TRUE(env.simulation);
    EXPECT_TRUE(env.commLog);
    EXPECT_EQ(env.appDir, dir.path().toStdString());
    EXPECT_EQ(env.triggValidSec, 7);
    EXPECT_EQ(env.ports, (PortMap{{3, "/dev/pts/42"}}));
    EXPECT_EQ(env.archiveDir, dir.path().toStdString() + "/DATA/received");
    EXPECT_EQ(env.archiveLimits.keepFiles, 12);
    EXPECT_EQ(env.archiveLimits.keepBytes, 1024u * 1024u); // below 1 MB counts as 1
}

using GrabCommRead = ReceptionDialogTest;
TEST_F(GrabCommRead, DialogMidReception)
{
    const TesterEmulator emu(smallDump(11, 3));
    PtyTester tester(emu.serialChunks(), 9600);
    auto dlg = start(tester.path());
    ASSERT_TRUE(waitFor([&] { return texts(*dlg).size() >= 40; }, 10000));
    const QString out = guitest::grabDir();
    EXPECT_TRUE(guitest::grabToPng(dlg.get(), out + "/commread.png"));
    // On a real display also what the screen shows.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        waitFor([] { return false; }, 300);
        const QRect r = dlg->frameGeometry();
        QGuiApplication::primaryScreen()
            ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
            .save(out + "/screen_commread.png");
    }
    dlg->CancelButton()->click();
    EXPECT_EQ(dlg->CurrentState(), ReceptionDialog::State::Cancelled);
}
