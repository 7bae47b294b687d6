// mxrtool decode and receive, run as separate processes: the reception's document with its
// announced counts, warnings and errors; files that are not files; the open failure's own
// text; a reception interrupted by a signal.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/emulator.h"
#include "link/emulatorport.h"
#include "linktestutil.h"
#include "smalltmpfs.h"

using namespace std::chrono;

namespace {

// Runs mxrtool with a time limit (a blocked process is killed and reported as exit -1).
ToolRun mxrtoolWithin(const QStringList& args, int limitMs)
{
    QProcess p;
    p.setProcessEnvironment(englishMessages());
    p.setProgram(MXRTOOL_PATH);
    p.setArguments(args);
    p.start();
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, p.readAllStandardOutput(), p.readAllStandardError()};
    }
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QJsonObject json(const ToolRun& r)
{
    return QJsonDocument::fromJson(r.out).object();
}

class LinkCli : public ::testing::Test {
protected:
    QString write(const char* name, const std::string& bytes) const
    {
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << bytes;
        return path;
    }
    QStringList home() const { return {"--home", dir.path()}; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(LinkCli, DecodeReportsAnnouncedCountsWarningsAndErrors)
{
    const TesterEmulator emu(smallDump(21, 3));
    std::string text = emu.replayText();
    // Record 1 without one of its data lines: header, date block, then 80 lines each.
    std::size_t at = 0;
    for (int i = 0; i < 1 * (2 + 80 + 4) + 2 + 5; ++i)
        at = text.find("\r\n", at) + 2;
    text.erase(at, text.find("\r\n", at) + 2 - at);

    const ToolRun lost = mxrtool(home() + QStringList{"decode", write("lost.txt", text)});
    ASSERT_EQ(lost.exitCode, 0) << lost.err.toStdString();
    QJsonObject doc = json(lost);
    EXPECT_TRUE(doc["ok"].toBool());
    const QJsonArray records = doc["records"].toArray();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0]["announced"].toInt(), 80);
    EXPECT_EQ(records[0]["LineCount"].toInt(), 80);
    EXPECT_EQ(records[1]["announced"].toInt(), 80);
    EXPECT_EQ(records[1]["LineCount"].toInt(), 79);
    EXPECT_EQ(doc["warnings"].toArray(), QJsonArray{QString::fromUtf8("データ数不一致 80/79")});
    EXPECT_TRUE(doc["lines"].toArray().contains(QString::fromUtf8("データ数不一致 80/79")));
    EXPECT_EQ(doc["errors"].toInt(-1), 0);
    EXPECT_EQ(doc["errorTexts"].toArray(), QJsonArray());

    // A damaged replay line fails the reception: counted, listed, and on standard error.
    std::string bad = emu.replayText();
    bad.insert(bad.find("\r\n", 40) + 2, "0102\r\n");
    const ToolRun failed = mxrtool(home() + QStringList{"decode", write("bad.txt", bad)});
    EXPECT_EQ(failed.exitCode, 1);
    doc = json(failed);
    EXPECT_FALSE(doc["ok"].toBool(true));
    EXPECT_EQ(doc["errors"].toInt(), 1);
    EXPECT_EQ(doc["errorTexts"].toArray(), QJsonArray{QString::fromUtf8("受信データ異常<0102>")});
    EXPECT_TRUE(QString::fromUtf8(failed.err).contains(QString::fromUtf8("受信データ異常<0102>")));
}

TEST_F(LinkCli, DecodeRefusesWhatIsNotARegularFile)
{
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        const ToolRun r = mxrtoolWithin(home() + QStringList{"decode", path}, 15000);
        ASSERT_EQ(r.exitCode, 1) << path.toStdString() << " (-1: still running after 15 s)";
        EXPECT_FALSE(json(r)["ok"].toBool(true));
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(
            QString::fromUtf8("通常のファイルではありません:") + path))
            << r.err.toStdString();
    }
}

TEST_F(LinkCli, ReceiveArchivesIntoTheHomeFolderAndTheArchiveDecodesAlike)
{
    // One archive is kept ("KeepFiles"): an older one goes, a file of another name stays.
    std::ofstream(dir.filePath("MXRView.INI").toStdString(), std::ios::binary)
        << "[Received]\r\nKeepFiles=1\r\n";
    const QString received = dir.filePath("DATA/received");
    ASSERT_TRUE(QDir().mkpath(received));
    std::ofstream((received + "/20000101-000000.txt").toStdString()) << "FFFF\r\n";
    std::ofstream((received + "/readme.txt").toStdString()) << "kept";

    const TesterEmulator emu(smallDump(41, 3));
    EmulatorPtySender tester(emu.serialChunks(), 0);
    if (!tester.ok())
        GTEST_SKIP() << "no pseudo-terminal: " << tester.error();
    const ToolRun live = mxrtoolWithin(
        home() + QStringList{"receive", "--device", QString::fromStdString(tester.path())}, 30000);
    ASSERT_EQ(live.exitCode, 0) << live.err.toStdString();
    const QString archive = json(live)["archive"].toString();
    ASSERT_TRUE(archive.startsWith(received + "/")) << archive.toStdString();
    EXPECT_EQ(QDir(received).entryList(QDir::Files),
              (QStringList{QFileInfo(archive).fileName(), "readme.txt"}));

    const ToolRun replayed = mxrtool(home() + QStringList{"decode", archive});
    ASSERT_EQ(replayed.exitCode, 0) << replayed.err.toStdString();
    EXPECT_EQ(json(replayed)["records"], json(live)["records"]);
    EXPECT_EQ(json(live)["records"].toArray().size(), 3);
    EXPECT_FALSE(json(replayed).contains("archive")) << "a replay is not archived";
}

TEST_F(LinkCli, ReceiveNamesTheOpenFailureOnStandardError)
{
    const ToolRun r = mxrtoolWithin(
        home() + QStringList{"receive", "--device", "/dev/mxr-cli-no-such-port"}, 15000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(json(r)["ok"].toBool(true));
    const QString err = QString::fromUtf8(r.err);
    EXPECT_TRUE(err.contains(QString::fromUtf8("シリアルポートのオープンに失敗")))
        << r.err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8("通信異常 [-1]")));
}

// SIGTERM or SIGINT while the tester is still sending ends the reception as the dialog's
// cancel does: nothing handed over, "ok": false, exit 1.
TEST_F(LinkCli, ReceiveInterruptedBySignalHandsNothingOver)
{
    const TesterEmulator emu(smallDump(22, 4, 40));
    const std::vector<EmulatorChunk>& chunks = emu.serialChunks();
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        EmulatorPty pty;
        std::string error;
        if (!pty.create(error))
            GTEST_SKIP() << "no pseudo-terminal: " << error;
        std::atomic<bool> stop{false}, firstSent{false};
        std::thread tester([&] {
            if (!pty.waitForReader(stop, 50))
                return;
            pty.send({chunks[0]}, 9600, &stop);
            firstSent = true;
            pty.send(std::vector<EmulatorChunk>(chunks.begin() + 1, chunks.end()), 9600, &stop);
        });

        QProcess p;
        p.setProcessEnvironment(englishMessages());
        p.setProgram(MXRTOOL_PATH);
        p.setArguments(home() +
                       QStringList{"receive", "--device", QString::fromStdString(pty.slavePath())});
        p.start();
        ASSERT_TRUE(p.waitForStarted());
        // The first record has been sent and read (nothing left in the line's queue) while
        // the second is still on its way.
        const auto limit = steady_clock::now() + 30s;
        while (!firstSent && steady_clock::now() < limit)
            std::this_thread::sleep_for(5ms);
        const int probe = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        int queued = 1;
        while (probe >= 0 && steady_clock::now() < limit &&
               ::ioctl(probe, FIONREAD, &queued) == 0 && queued > 0)
            std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(firstSent);
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const bool ended = p.waitForFinished(15000);
        stop = true;
        tester.join();
        if (probe >= 0)
            ::close(probe);
        ASSERT_TRUE(ended);

        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        const QJsonObject doc = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_FALSE(doc["ok"].toBool(true));
        EXPECT_EQ(doc["records"].toArray(), QJsonArray());
        EXPECT_GT(doc["lines"].toArray().size(), 80) << "the first record was received";
        EXPECT_TRUE(p.readAllStandardError().contains("mxrtool: the reception was cancelled\n"));

        // Its archive replays as it ended: cancelled, nothing handed over. On a loaded machine
        // the whole dump may have arrived before the signal was handled: the worker then ended
        // complete (its last line says so) and so does the archive.
        const QString archive = doc["archive"].toString();
        ASSERT_FALSE(archive.isEmpty());
        bool workerCompleted = false;
        for (const QJsonValue& line : doc["lines"].toArray())
            workerCompleted = workerCompleted ||
                              line.toString().contains(QString::fromUtf8("後処理中"));
        if (workerCompleted)
            continue;
        const ToolRun replayed = mxrtool(home() + QStringList{"decode", archive});
        EXPECT_EQ(replayed.exitCode, 1);
        EXPECT_FALSE(json(replayed)["ok"].toBool(true));
        // Under load the signal's cancel can reach the worker as a failed read before its
        // running flag: the archive then says the reception failed; either way it never
        // replays as a complete one.
        const QString err = QString::fromUtf8(replayed.err);
        const bool failed = err.contains(QString::fromUtf8("記録された受信は失敗しています"));
        EXPECT_TRUE(failed || err.contains(QString::fromUtf8("記録された受信は中断されています")))
            << err.toStdString();
        if (!failed)
            EXPECT_EQ(json(replayed)["records"].toArray(), QJsonArray());
    }
}

// A full disk: the reception hands its records over with a warning, leaves no empty archive
// and names the one it could not write; an empty file (as an earlier version left) does not
// decode as a reception.
TEST_F(LinkCli, ReceiveOnAFullDiskNamesTheMissingArchive)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    disk.fill();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("DATA")));
    const QString received = dir.filePath("DATA/received");
    ASSERT_TRUE(QFile::link(QString::fromStdString(disk.path()), received));
    const TesterEmulator emu(smallDump(43, 2));
    EmulatorPtySender tester(emu.serialChunks(), 0);
    if (!tester.ok())
        GTEST_SKIP() << "no pseudo-terminal: " << tester.error();
    const ToolRun live = mxrtoolWithin(
        home() + QStringList{"receive", "--device", QString::fromStdString(tester.path())}, 30000);
    ASSERT_EQ(live.exitCode, 0) << live.err.toStdString();
    const QJsonObject doc = json(live);
    EXPECT_EQ(doc["records"].toArray().size(), 2);
    EXPECT_FALSE(doc.contains("archive"));
    EXPECT_TRUE(doc["archiveMissing"].toString().startsWith(received + "/"))
        << live.out.toStdString();
    ASSERT_EQ(doc["warnings"].toArray().size(), 1);
    EXPECT_TRUE(doc["warnings"][0].toString().startsWith(QString::fromUtf8("受信データを保存できません:")));
    EXPECT_EQ(QDir(received).entryList(QDir::Files), QStringList{"filler"});

    const ToolRun empty = mxrtool(home() + QStringList{"decode", write("empty.txt", "")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_FALSE(json(empty)["ok"].toBool(true));
    EXPECT_TRUE(QString::fromUtf8(empty.err).contains(QString::fromUtf8("ファイルにデータがありません:")));
}
