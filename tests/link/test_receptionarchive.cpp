// The raw reception archive: what a serial reception read (emulator on a real pty) kept as a
// replay file that replays to the same records, kept also when the stream was damaged or the
// reception cancelled, a folder that cannot be written, and the rotation of the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "link/emulator.h"
#include "link/archivespan.h"
#include "link/emulatorport.h"
#include "link/receptionarchive.h"
#include "link/replaynotes.h"
#include "smalltmpfs.h"
#include "linktestutil.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& name)
        : path(fs::temp_directory_path() /
               ("mxr_archive_" + name + "_" + std::to_string(::getpid())))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> filesIn(const fs::path& dir)
{
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

const std::string kMarkerHex = "4B4152454E4F";

} // namespace

TEST(ReceptionArchive, EmulatorReceptionReplaysToTheSameRecords)
{
    TempDir dir("same");
    const fs::path received = dir.path / "DATA" / "received";
    const TesterEmulator emu(smallDump(31, 4));
    EmulatorPtySender tester(emu.serialChunks(), 0);
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, received.string());
    ASSERT_TRUE(live.listener.waitFinished(20s));
    ASSERT_TRUE(live.listener.success());
    const std::vector<ReceivedRecord> liveRecords = live.worker.TakeRecords();
    ASSERT_EQ(liveRecords, emu.expected());

    // One file named after the start time, holding exactly the replay form of the dump: no
    // extra header byte, no ninth date byte.
    const std::vector<fs::path> files = filesIn(received);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].string(), live.worker.ArchivePath());
    EXPECT_EQ(files[0].filename().string().size(), std::string("YYYYMMDD-HHMMSS.txt").size());
    EXPECT_EQ(readAll(files[0]), emu.replayText());

    // Replayed (with an archive folder given: a replay is not archived again).
    Reception replay("", ReceptionMode::Replay, files[0].string(), received.string());
    ASSERT_TRUE(replay.listener.waitFinished(10s));
    EXPECT_TRUE(replay.listener.success());
    EXPECT_EQ(replay.worker.TakeRecords(), liveRecords);
    EXPECT_EQ(filesIn(received).size(), 1u);
    EXPECT_TRUE(replay.worker.ArchivePath().empty());
}

TEST(ReceptionArchive, DamagedStreamIsKeptAndReplaysUpToTheDamage)
{
    TempDir dir("damaged");
    // Record 0 loses a data line's carriage return (the run-together line is dropped), a bit
    // error makes a current of record 1 unreadable (lost in the recovery), record 2 is intact.
    const TesterEmulator emu(smallDump(17, 3));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    const auto line = [](int n) { return std::size_t(8 + 9 + 7 * n); };
    chunks[0].bytes[line(10) + 6] ^= 0x80;
    chunks[1].bytes[line(30) + 3] ^= 0xF0;
    EmulatorPtySender tester(chunks, 0);
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, dir.path.string());
    ASSERT_TRUE(live.listener.waitFinished(20s));
    ASSERT_TRUE(live.listener.success());
    const std::vector<ReceivedRecord> liveRecords = live.worker.TakeRecords();
    ASSERT_EQ(liveRecords.size(), 2u);
    ASSERT_EQ(live.listener.errors().size(), 1u);

    // Everything from the damaged line through the rest of the record that the recovery
    // skipped to the end block is kept, one line per line as in the replay form; only the
    // run-together line that the serial line drops is not (it has no place in that form).
    std::vector<std::string> lines;
    const std::string& replayText = emu.replayText();
    for (std::size_t at = 0; at < replayText.size();) {
        const std::size_t end = replayText.find("\r\n", at);
        lines.push_back(replayText.substr(at, end - at));
        at = end + 2;
    }
    const std::size_t record1 =
        std::find(lines.begin(), lines.end(), kMarkerHex) - lines.begin() + 1;
    lines[record1 + 2 + 30] = hexText(chunks[1].bytes.substr(line(30), 6));
    lines.erase(lines.begin() + 2 + 10, lines.begin() + 2 + 12);
    std::string expected;
    for (const std::string& l : lines)
        expected += l + "\r\n";
    EXPECT_EQ(readAll(live.worker.ArchivePath()), expected);

    // A replay has no recovery: it gives the records before the damage and stops there with
    // the error the live reception showed.
    Reception replay("", ReceptionMode::Replay, live.worker.ArchivePath(), "");
    ASSERT_TRUE(replay.listener.waitFinished(10s));
    EXPECT_FALSE(replay.listener.success());
    EXPECT_EQ(replay.listener.errors(), live.listener.errors());
    EXPECT_EQ(replay.worker.TakeRecords(),
              std::vector<ReceivedRecord>(liveRecords.begin(), liveRecords.begin() + 1));
}

TEST(ReceptionArchive, CancelledReceptionKeepsWhatArrived)
{
    TempDir dir("cancel");
    const TesterEmulator emu(smallDump(5, 3));
    EmulatorPtySender tester({emu.serialChunks()[0]}, 0); // the tester stops after a record
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, dir.path.string());
    ASSERT_TRUE(live.listener.waitForLine(kMarkerHex, 20s));
    live.worker.StopWorker();
    ASSERT_TRUE(live.listener.waitFinished(5s));

    // What arrived, then a last line that says the reception was cancelled.
    const std::string text = readAll(live.worker.ArchivePath());
    const std::string firstRecord =
        emu.replayText().substr(0, emu.replayText().find(kMarkerHex) + kMarkerHex.size() + 2);
    EXPECT_EQ(text, firstRecord + "#MXRVIEW END CANCELLED\r\n");
    // Its replay ends as the live reception did: not successful, nothing handed over.
    Reception replay("", ReceptionMode::Replay, live.worker.ArchivePath(), "");
    ASSERT_TRUE(replay.listener.waitFinished(10s));
    EXPECT_FALSE(replay.listener.success());
    EXPECT_TRUE(replay.worker.TakeRecords().empty());
    EXPECT_EQ(replay.listener.errors(), std::vector<std::string>{"記録された受信は中断されています"});

    // An archive an earlier version wrote (no last line) replays as it always did.
    const fs::path old = dir.path / "old.txt";
    std::ofstream(old, std::ios::binary) << firstRecord;
    Reception oldReplay("", ReceptionMode::Replay, old.string(), "");
    ASSERT_TRUE(oldReplay.listener.waitFinished(10s));
    EXPECT_TRUE(oldReplay.listener.success());
    EXPECT_EQ(oldReplay.worker.TakeRecords(), std::vector<ReceivedRecord>{emu.expected()[0]});
}

// Replays of archives by their last lines and notes, and of an empty file.
TEST(ReceptionArchive, ReplayEndsAsTheRecordedReceptionEnded)
{
    TempDir dir("ends");
    const TesterEmulator emu(smallDump(9, 2));
    const std::string& full = emu.replayText();
    const std::string firstRecord =
        full.substr(0, full.find(kMarkerHex) + kMarkerHex.size() + 2);
    const std::string midSecond = full.substr(0, full.find("\r\n", firstRecord.size() + 200) + 2);
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        std::size_t records;
        std::vector<std::string> errors;
    };
    const std::vector<Case> cases = {
        {"failed after a record", firstRecord + "#MXRVIEW END FAILED\r\n", false, 1,
         {"記録された受信は失敗しています"}},
        {"cancelled within a record", midSecond + "#MXRVIEW END CANCELLED\r\n", false, 0,
         {"記録された受信は中断されています"}},
        {"a note of a later version is passed over",
         firstRecord.substr(0, firstRecord.size() - kMarkerHex.size() - 2) +
             "#MXRVIEW SOMETHING NEW 1\r\n" + full.substr(firstRecord.size() - kMarkerHex.size() - 2),
         true, 2, {}},
        {"an empty file is no reception", "", false, 0,
         {"ファイルにデータがありません:" + (dir.path / "case.txt").string()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(dir.path / "case.txt", std::ios::binary | std::ios::trunc) << c.text;
        Reception replay("", ReceptionMode::Replay, (dir.path / "case.txt").string(), "");
        ASSERT_TRUE(replay.listener.waitFinished(10s));
        EXPECT_EQ(replay.listener.success(), c.ok);
        EXPECT_EQ(replay.worker.TakeRecords().size(), c.records);
        EXPECT_EQ(replay.listener.errors(), c.errors);
    }
    // A note never passes for a block with a reader that does not know notes: as hex it is
    // longer than any block, so it is an error wherever a block is due.
    for (const std::string& note : {TimeNote(*OleDateTime::parse("2026/1/1 0:0:0")),
                                    EndNote(ReceptionEnd::Complete),
                                    EndNote(ReceptionEnd::Cancelled), EndNote(ReceptionEnd::Failed)})
        EXPECT_GT(bytesFromHex(note).size(), 8u) << note;
}

// A date block that cannot be read gives the record the current time: a warning of that record,
// and the archive keeps the time so that its replay gives the same record.
TEST(ReceptionArchive, UnreadableDateIsAWarningAndReplaysWithTheLiveTime)
{
    TempDir dir("date");
    const TesterEmulator emu(smallDump(12, 2));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    chunks[0].bytes[8 + 3] = 0x13; // month 13
    EmulatorPtySender tester(chunks, 0);
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, dir.path.string());
    ASSERT_TRUE(live.listener.waitFinished(20s));
    ASSERT_TRUE(live.listener.success());
    const std::vector<ReceivedRecord> liveRecords = live.worker.TakeRecords();
    ASSERT_EQ(liveRecords.size(), 2u);
    EXPECT_TRUE(liveRecords[0].DateReplaced);
    EXPECT_EQ(liveRecords[0].StartTime.status, OleDateTime::Valid);
    EXPECT_EQ(liveRecords[1], emu.expected()[1]);
    const std::string dateHex = hexText(chunks[0].bytes.substr(8, 8));
    EXPECT_EQ(live.listener.warnings(), std::vector<std::string>{"日付データ異常<" + dateHex + ">"});
    EXPECT_EQ(live.worker.Summary().warnings, 1);
    EXPECT_EQ(live.listener.count("現在時刻をセットします"), 1);
    const std::string text = readAll(live.worker.ArchivePath());
    EXPECT_NE(text.find("#MXRVIEW TIME " + liveRecords[0].StartTime.format("%Y/%m/%d %H:%M:%S") +
                        "\r\n"),
              std::string::npos);

    // Replayed in a later second than the live reception's: the same records all the same.
    const auto limit = steady_clock::now() + 5s;
    while (OleDateTime::now() == liveRecords[0].StartTime && steady_clock::now() < limit)
        std::this_thread::sleep_for(20ms);
    Reception replay("", ReceptionMode::Replay, live.worker.ArchivePath(), "");
    ASSERT_TRUE(replay.listener.waitFinished(10s));
    EXPECT_TRUE(replay.listener.success());
    EXPECT_EQ(replay.worker.TakeRecords(), liveRecords);
    EXPECT_EQ(replay.listener.warnings(), live.listener.warnings());
    EXPECT_EQ(replay.worker.Summary().warnings, 1);
}

// Each received record knows its lines in the archive, and those lines alone decode to that
// record: across a record lost to a recovery (its skipped bytes archived as raw lines) and a
// record whose date was replaced (its time note belongs to its lines).
TEST(ReceptionArchive, EachRecordsLinesDecodeAloneToThatRecord)
{
    TempDir dir("spans");
    const TesterEmulator emu(smallDump(17, 4));
    std::vector<EmulatorChunk> chunks = emu.serialChunks();
    const auto line = [](int n) { return std::size_t(8 + 9 + 7 * n); };
    chunks[0].bytes[8 + 3] = 0x13;         // month 13: the time is replaced
    chunks[1].bytes[line(30) + 3] ^= 0xF0; // lost: the recovery skips to the next marker
    EmulatorPtySender tester(chunks, 0);
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, dir.path.string());
    ASSERT_TRUE(live.listener.waitFinished(20s));
    ASSERT_TRUE(live.listener.success());
    const std::vector<ReceivedRecord> records = live.worker.TakeRecords();
    const std::vector<ArchiveSpan>& spans = live.worker.RecordSpans();
    ASSERT_EQ(records.size(), 3u);
    ASSERT_EQ(spans.size(), records.size());
    EXPECT_EQ(spans[0].firstLine, 1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        std::string text;
        ASSERT_EQ(ReadArchiveLines(live.worker.ArchivePath(), spans[i].firstLine,
                                   spans[i].lineCount, text),
                  SpanRead::Ok);
        const std::optional<ReceivedRecord> again = DecodeArchivedRecord(text, 10);
        ASSERT_TRUE(again);
        EXPECT_EQ(*again, records[i]);
    }
    // The replaced time's note is the last line of its record's lines.
    std::string first;
    ReadArchiveLines(live.worker.ArchivePath(), spans[0].firstLine, spans[0].lineCount, first);
    EXPECT_NE(first.find("#MXRVIEW TIME "), std::string::npos);

    // Lines that miss the record's header give no record; lines beyond the file's end are
    // refused.
    std::string cut;
    ReadArchiveLines(live.worker.ArchivePath(), spans[2].firstLine + 1, spans[2].lineCount - 1,
                     cut);
    EXPECT_FALSE(DecodeArchivedRecord(cut, 10));
    EXPECT_EQ(ReadArchiveLines(live.worker.ArchivePath(), spans[2].firstLine, 100000, cut),
              SpanRead::Short);
    EXPECT_EQ(ReadArchiveLines((dir.path / "none.txt").string(), 1, 1, cut), SpanRead::Missing);
}

// A full disk: the reception goes on and hands its records over, but no empty or cut-short
// file stands for it; the file that could not be written is named as missing.
TEST(ReceptionArchive, FullDiskLeavesNoArchiveAndNamesTheMissingFile)
{
    SmallTmpfs disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    const fs::path received = fs::path(disk.path()) / "received";
    fs::create_directories(received);
    for (const bool fullAtOnce : {true, false}) {
        SCOPED_TRACE(fullAtOnce ? "full before the first line" : "full on the way");
        std::error_code ec;
        fs::remove(fs::path(disk.path()) / "filler", ec);
        const TesterEmulator emu(smallDump(14, fullAtOnce ? 2 : 8));
        if (fullAtOnce) {
            disk.fill();
        } else {
            // Room for a few records' lines only.
            disk.fill();
            fs::resize_file(fs::path(disk.path()) / "filler",
                            fs::file_size(fs::path(disk.path()) / "filler") - 4 * 1024);
        }
        EmulatorPtySender tester(emu.serialChunks(), 0);
        ASSERT_TRUE(tester.ok()) << tester.error();
        Reception live(tester.path(), ReceptionMode::Serial, {}, received.string());
        ASSERT_TRUE(live.listener.waitFinished(20s));
        EXPECT_TRUE(live.listener.success());
        EXPECT_EQ(live.worker.TakeRecords(), emu.expected());
        const auto warnings = live.listener.warnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind("受信データを保存できません:", 0), 0u) << warnings[0];
        EXPECT_TRUE(live.worker.ArchivePath().empty());
        EXPECT_EQ(fs::path(live.worker.ArchiveMissing()).parent_path(), received);
        EXPECT_TRUE(filesIn(received).empty()) << filesIn(received)[0];
    }
}

TEST(ReceptionArchive, FolderThatCannotBeWrittenIsReportedOnceAndTheReceptionGoesOn)
{
    TempDir dir("blocked");
    const fs::path blocker = dir.path / "DATA";
    std::ofstream(blocker) << "a file where the folder should be";
    const TesterEmulator emu(smallDump(8, 2));
    EmulatorPtySender tester(emu.serialChunks(), 0);
    ASSERT_TRUE(tester.ok()) << tester.error();
    Reception live(tester.path(), ReceptionMode::Serial, {}, (blocker / "received").string());
    ASSERT_TRUE(live.listener.waitFinished(20s));
    EXPECT_TRUE(live.listener.success());
    EXPECT_EQ(live.worker.TakeRecords(), emu.expected());
    const auto warnings = live.listener.warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("受信データを保存できません:", 0), 0u) << warnings[0];
    EXPECT_TRUE(live.worker.ArchivePath().empty());
}

TEST(ReceptionArchive, PruneKeepsTheNewestWithinBothLimits)
{
    struct File {
        const char* name;
        int size;
    };
    // Oldest first; "_2" is the second reception within the same second.
    const std::vector<File> files = {
        {"20261201-080000.txt", 100},   {"20261202-080000.txt", 100}, {"20261203-080000.txt", 100},
        {"20261203-080000_2.txt", 100}, {"20261204-080000.txt", 300}, {"notes.txt", 5000},
        {"20261205-0800.txt", 5000},
    };
    struct Case {
        const char* what;
        int keepFiles;
        uint64_t keepBytes;
        const char* keep;
        std::vector<std::string> removed;
    };
    const std::vector<Case> cases = {
        {"within both", 10, 10000, "", {}},
        {"by count", 3, 10000, "", {"20261201-080000.txt", "20261202-080000.txt"}},
        {"by size, stops at the first that does not fit",
         10,
         550,
         "",
         {"20261201-080000.txt", "20261202-080000.txt"}},
        {"the running file counts first and stays",
         2,
         10000,
         "20261201-080000.txt",
         {"20261202-080000.txt", "20261203-080000.txt", "20261203-080000_2.txt"}},
        {"a running file beyond the size limit alone stays",
         10,
         50,
         "20261204-080000.txt",
         {"20261201-080000.txt", "20261202-080000.txt", "20261203-080000.txt",
          "20261203-080000_2.txt"}},
        {"a count below one keeps one",
         0,
         10000,
         "",
         {"20261201-080000.txt", "20261202-080000.txt", "20261203-080000.txt",
          "20261203-080000_2.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir("prune");
        for (const File& f : files)
            std::ofstream(dir.path / f.name) << std::string(static_cast<std::size_t>(f.size), 'A');
        const std::string keep = *c.keep ? (dir.path / c.keep).string() : std::string();
        const int n = PruneReceptionArchive(dir.path.string(), {c.keepFiles, c.keepBytes}, keep);
        EXPECT_EQ(n, static_cast<int>(c.removed.size()));
        for (const File& f : files) {
            const bool gone =
                std::find(c.removed.begin(), c.removed.end(), f.name) != c.removed.end();
            EXPECT_EQ(fs::exists(dir.path / f.name), !gone) << f.name;
        }
    }
}
