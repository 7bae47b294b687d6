// ReceptionWorker: one reception from the tester (serial line, replay file or simulation) run
// on its own thread, with the texts it shows handed to a listener.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/customerdb.h" // CCommSetting
#include "link/receivedrecord.h"
#include "link/receptionarchive.h"
#include "link/serialport.h"

class CxException;

// Receives the worker's texts and its end on the worker's thread; a dialog forwards them to
// its own thread (queued invocation). Every PostLine and PostError counts as pending until the
// receiver calls ReceptionWorker::TextHandled() for it. Texts are CP932.
class IReceptionListener {
public:
    virtual ~IReceptionListener() = default;
    // A text for the list; with statusMark != 0 also for the status line.
    virtual void PostLine(const std::string& text, int statusMark) = 0;
    // An error text: as PostLine, and written to the application log.
    virtual void PostError(const std::string& text, int statusMark) = 0;
    // A warning text (a record arrived with another line count than announced): shown and
    // logged like an error, but the reception goes on. Counted as pending like the others.
    virtual void PostWarning(const std::string& text, int statusMark)
    {
        PostError(text, statusMark);
    }
    // The end of the transfer (not counted as pending).
    virtual void Finished(bool success) = 0;
};

enum class ReceptionMode { Serial, Replay, Simulation };

// Where one received record lies in its reception's archive: the lines from firstLine (counting
// from 1) on, lineCount of them: its header block, date block, data lines and end line, and
// the note with the time it was given when its date could not be read. Decoded on their own,
// these lines give the record again.
struct ArchiveSpan {
    int firstLine = 0;
    int lineCount = 0;

    bool operator==(const ArchiveSpan&) const = default;
};

// What a reception went through, for the summary at its end.
struct ReceptionSummary {
    int received = 0; // records in the received list
    int errors = 0;   // error texts posted (including those the reception recovered from)
    int warnings = 0; // warning texts posted
    int lost = 0;     // records whose reception an error cut off
    bool clean() const { return errors == 0 && warnings == 0; }
};

// The reception's waits. Production values; tests inject shorter ones.
struct ReceptionPauses {
    uint32_t startMs = 100;             // before the transfer starts
    uint32_t openMs = 300;              // after the port has opened
    uint32_t endMs = 3000;              // before the end is reported
    uint32_t replayOpenRetryMs = 60000; // retrying a replay file that cannot be opened
    uint32_t simulationPassMs = 10;     // pace of the simulation
};

struct ReceptionOptions {
    ReceptionMode mode = ReceptionMode::Serial;
    CCommSetting comm;      // the six line settings (serial line)
    std::string replayPath; // replay mode; a relative path is taken from the current folder
    int32_t seed = 0;       // the simulation's generator
    int triggValidSec = 10; // "TriggValidSec" of system.ini
    bool showData = true;   // show data and trailer lines ("収集データを表示する")
    ReceptionPauses pauses;
    // A serial reception writes what it read to a replay file in this folder (empty: no
    // archive) and then prunes the folder to the limits. Replay and simulation never archive.
    std::string archiveDir;
    ArchiveLimits archiveLimits;
};

class ReceptionWorker {
public:
    // The port defaults to a CxSerialPort; the worker owns it for its whole life.
    explicit ReceptionWorker(IReceptionListener& listener,
                             std::unique_ptr<ISerialPort> port = nullptr);
    ~ReceptionWorker();
    ReceptionWorker(const ReceptionWorker&) = delete;
    ReceptionWorker& operator=(const ReceptionWorker&) = delete;

    // The port, e.g. to set up its log or its device mapping before Start.
    ISerialPort& Port() { return *m_port; }

    // Empties the received list, stops a previous run and starts the worker thread.
    void Start(const ReceptionOptions& options);

    // Cancels: shortens the port's time-outs (a blocked read then fails with -2 within about
    // a second), clears the running flag, then waits until the worker has ended and every
    // posted text was handled, calling pump(maxMs) meanwhile so that the caller can process
    // its queued texts; gives up after 60 s. Without a pump it sleeps in short steps.
    void StopWorker(const std::function<void(uint32_t maxMs)>& pump = {});

    // The receiver has handled one posted text.
    void TextHandled() { m_pending.fetch_sub(1); }
    // The show-collected-data switch, read by the worker at every line.
    void SetShowData(bool on) { m_showData.store(on); }

    int Pending() const { return m_pending.load(); }
    bool IsRunning() const { return m_running.load(); }

    // The received records, moved out. Call after Finished; waits for the thread's end.
    std::vector<ReceivedRecord> TakeRecords();
    // The counts of the last reception; complete once Finished was posted.
    ReceptionSummary Summary() const;
    // The archive file of the last reception (empty when none was written). Read after the
    // worker has ended.
    const std::string& ArchivePath() const { return m_archivePath; }
    // For each record of TakeRecords, in its order, its lines in ArchivePath (empty when the
    // reception wrote no archive). Read after the worker has ended.
    const std::vector<ArchiveSpan>& RecordSpans() const { return m_spans; }
    // The archive file (or folder) that could not be written, so that the last reception has
    // no archive; empty when it has one or none was asked for. Read after the worker has ended.
    const std::string& ArchiveMissing() const { return m_archiveMissing; }

private:
    // The transfer's source chain and archive (defined with the steps).
    struct Pipeline;

    void threadMain();
    // One reception: prepare the source chain, run the read loop, finish with the summary.
    bool transfer();
    Pipeline prepare();
    bool readLoop(Pipeline& pipe);
    void openSource(Pipeline& pipe, bool restart);
    std::FILE* openReplayFile();
    bool decode(Pipeline& pipe);
    void runDecoder(Pipeline& pipe);
    bool recover(Pipeline& pipe, const CxException& e);
    void endAsRecorded(const Pipeline& pipe, bool success);
    void closeSource();
    void closeArchive(ReceptionArchive& archive, bool success);
    void finish(Pipeline& pipe, bool success);
    void postLine(const std::string& text);
    void postError(const std::string& text);
    void postWarning(const std::string& text);
    void sleepMs(uint32_t ms);
    void openPort(bool restart);
    void join();

    IReceptionListener& m_listener;
    std::unique_ptr<ISerialPort> m_port;
    ReceptionOptions m_options;
    std::thread m_thread;

    // Shared with the thread that started the reception.
    std::atomic<bool> m_running{false};
    std::atomic<int> m_pending{0}; // 1 while the thread runs + texts not yet handled
    std::atomic<bool> m_showData{true};
    // Counts of the running reception (written by the worker, read for the summary).
    std::atomic<int> m_errors{0}, m_warnings{0}, m_lost{0}, m_receivedCount{0};

    // Written only by the worker while it runs; read after it has ended.
    std::vector<ReceivedRecord> m_records;
    std::vector<ArchiveSpan> m_spans;
    std::string m_archivePath;
    std::string m_archiveMissing;
};
