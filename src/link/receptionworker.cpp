// The transfer as the reception's worker thread runs it, in steps: prepare the source chain,
// the read loop (open, decode, recover and restart), the recorded end, closing, the archive's
// end note, and the end code.
#include "link/receptionworker.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/replaynotes.h"
#include "link/replaysource.h"
#include "link/serialsource.h"
#include "link/simulationsource.h"
#include "link/transferdecoder.h"
#include "model/cp932text.h"
#include "model/cxexception.h"
#include "model/number.h"
#include "model/oledate.h"

namespace {

using Clock = std::chrono::steady_clock;

// A file system path as a CP932 text for messages (kept as it is when it has no CP932 form).
std::string pathText(const std::string& path)
{
    return cp932::fromUtf8(path).value_or(path);
}

// Opens a replay file for reading. Only a regular file is read: a FIFO would block the worker
// in its open and a device (or a FIFO) can feed it without end, beyond the reach of a cancel.
// Opening does not block (O_NONBLOCK), and the type is checked on the opened descriptor.
// Nothing with special set when the path is not a regular file.
std::FILE* openRegularFile(const std::filesystem::path& path, bool& special)
{
    special = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        special = true;
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

// How an archive says its reception ended, from its last line: a reception cancelled in the
// middle of a data line leaves that line cut, which the decoder refuses before it reaches the
// end note.
std::optional<ReceptionEnd> recordedEndOfFile(const std::string& path)
{
    // Only a regular file: opening a FIFO or a device would wait for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    char buf[128];
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    const long from =
        size > static_cast<long>(sizeof buf) ? size - static_cast<long>(sizeof buf) : 0;
    std::fseek(f, from, SEEK_SET);
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    std::string_view tail(buf, n);
    while (!tail.empty() && (tail.back() == '\r' || tail.back() == '\n' || tail.back() == ' '))
        tail.remove_suffix(1);
    const std::size_t nl = tail.find_last_of("\r\n");
    if (nl != std::string_view::npos)
        tail.remove_prefix(nl + 1);
    const std::optional<ReplayNote> note = ParseNote(tail);
    if (!note || note->kind != ReplayNote::Kind::End)
        return std::nullopt;
    return note->end;
}

} // namespace

ReceptionWorker::ReceptionWorker(IReceptionListener& listener, std::unique_ptr<ISerialPort> port)
    : m_listener(listener), m_port(port ? std::move(port) : std::make_unique<CxSerialPort>())
{
}

ReceptionWorker::~ReceptionWorker()
{
    StopWorker();
    join();
}

void ReceptionWorker::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ReceptionWorker::Start(const ReceptionOptions& options)
{
    StopWorker();
    join();
    m_options = options;
    m_records.clear();
    m_spans.clear();
    m_archivePath.clear();
    m_archiveMissing.clear();
    m_errors.store(0);
    m_warnings.store(0);
    m_lost.store(0);
    m_receivedCount.store(0);
    m_showData.store(options.showData);
    // Counted before the thread exists, so that a StopWorker right after Start waits for it.
    m_pending.store(1);
    m_running.store(true);
    m_thread = std::thread(&ReceptionWorker::threadMain, this);
}

void ReceptionWorker::StopWorker(const std::function<void(uint32_t)>& pump)
{
    m_port->SetCommTimeout(1, 1, 1, 1, 1);
    m_port->SetTimeout(1);
    m_running.store(false);
    const Clock::time_point start = Clock::now();
    while (m_pending.load() != 0) {
        if (Clock::now() - start >= std::chrono::milliseconds(60000))
            break;
        if (pump)
            pump(100);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<ReceivedRecord> ReceptionWorker::TakeRecords()
{
    join();
    return std::move(m_records);
}

ReceptionSummary ReceptionWorker::Summary() const
{
    ReceptionSummary s;
    s.received = m_receivedCount.load();
    s.errors = m_errors.load();
    s.warnings = m_warnings.load();
    s.lost = m_lost.load();
    return s;
}

void ReceptionWorker::postLine(const std::string& text)
{
    m_pending.fetch_add(1);
    m_listener.PostLine(text, 1);
}

void ReceptionWorker::postError(const std::string& text)
{
    m_errors.fetch_add(1);
    m_pending.fetch_add(1);
    m_listener.PostError(text, 1);
}

void ReceptionWorker::postWarning(const std::string& text)
{
    m_warnings.fetch_add(1);
    m_pending.fetch_add(1);
    m_listener.PostWarning(text, 1);
}

void ReceptionWorker::sleepMs(uint32_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ReceptionWorker::threadMain()
{
    sleepMs(m_options.pauses.startMs);
    transfer();
    m_pending.fetch_sub(1);
}

void ReceptionWorker::openPort(bool restart)
{
    // After a recovery the stream goes on: bytes that followed the marker are already on
    // their way, and reopening would throw them away, so a port still open stays open.
    if (!(restart && m_port->IsOpen())) {
        m_port->SetParam(m_options.comm);
        if (!m_port->Open()) {
            const uint32_t code = m_port->GetErrorCode();
            const std::string detail =
                m_port->ErrorText() + formatC(cp932::lit("ｴﾗｰNo:hex(%X),dec(%lu)").c_str(), code,
                                              static_cast<unsigned long>(code));
            throw CxException(cp932::lit("シリアルポートのオープンに失敗,") + detail);
        }
    }
    m_port->SetTimeout(0xFFFFFFFF);
    if (!m_running.load()) {
        // A cancel came while the port was opening: keep its shortened time-outs.
        m_port->SetCommTimeout(1, 1, 1, 1, 1);
        m_port->SetTimeout(1);
    }
    sleepMs(m_options.pauses.openMs);
}

// The source chain of one reception: the source (wrapped by the archive on a serial line),
// the replay source when replaying, and the decoder reading from the chain.
struct ReceptionWorker::Pipeline {
    std::unique_ptr<ITransferSource> source;
    ReplaySource* replay = nullptr;
    std::unique_ptr<ReceptionArchive> archive;
    std::unique_ptr<CTransferDecoder> decoder;
    bool restart = false; // the source is opened again after a recovery
};

bool ReceptionWorker::transfer()
{
    Pipeline pipe = prepare();
    const bool success = readLoop(pipe);
    endAsRecorded(pipe, success);
    closeSource();
    if (success)
        postLine(cp932::lit("後処理中...しばらくお待ちください"));
    if (pipe.archive)
        closeArchive(*pipe.archive, success);
    finish(pipe, success);
    return success;
}

// Builds the source for the mode, the archive around a serial source, and the decoder.
ReceptionWorker::Pipeline ReceptionWorker::prepare()
{
    const ReceptionMode mode = m_options.mode;
    Pipeline pipe;
    if (mode == ReceptionMode::Serial) {
        pipe.source = std::make_unique<SerialSource>(*m_port);
    } else if (mode == ReceptionMode::Replay) {
        auto r = std::make_unique<ReplaySource>();
        pipe.replay = r.get();
        pipe.source = std::move(r);
    } else {
        pipe.source =
            std::make_unique<SimulationSource>(m_options.seed, OleDateTime::now(),
                                               static_cast<int>(m_options.pauses.simulationPassMs));
    }
    // A serial reception keeps what it read. A failing archive is reported once and never
    // stops the reception.
    if (mode == ReceptionMode::Serial && !m_options.archiveDir.empty()) {
        pipe.archive = std::make_unique<ReceptionArchive>(
            m_options.archiveDir, std::time(nullptr),
            [this](const std::string& text) { postWarning(text); });
        pipe.source = std::make_unique<ArchivingSource>(std::move(pipe.source), *pipe.archive);
    }
    pipe.decoder = std::make_unique<CTransferDecoder>(
        *pipe.source, m_records, [this](const std::string& text) { postLine(text); }, m_showData,
        m_options.triggValidSec);
    pipe.decoder->setWarningHandler([this](const std::string& text) { postWarning(text); });
    if (ReceptionArchive* archive = pipe.archive.get())
        pipe.decoder->setNoteHandler(
            [archive](const std::string& note) { archive->addNote(note); });
    return pipe;
}

// Opens the source and decodes until the end of the transfer, a cancel or an error that
// cannot be recovered from; a serial reception recovers from an error at the next marker.
bool ReceptionWorker::readLoop(Pipeline& pipe)
{
    for (;;) {
        try {
            openSource(pipe, pipe.restart);
            return decode(pipe);
        } catch (const CxException& e) {
            if (!recover(pipe, e))
                return false;
        } catch (const std::exception& e) {
            // Nothing else should reach here (e.g. memory exhaustion): report, end as failed.
            postError(cp932::lit("例外発生") + " " + e.what());
            return false;
        }
    }
}

void ReceptionWorker::openSource(Pipeline& pipe, bool restart)
{
    if (m_options.mode == ReceptionMode::Replay) {
        pipe.replay->attach(openReplayFile());
        return;
    }
    postLine(cp932::lit("シリアルポートオープン"));
    if (m_options.mode == ReceptionMode::Serial)
        openPort(restart);
    postLine(cp932::lit("機器からのデータ送信待ち"));
}

// The replay file, opened for reading; throws with the text to show when it cannot be.
std::FILE* ReceptionWorker::openReplayFile()
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(m_options.replayPath, ec);
    if (ec)
        path = m_options.replayPath;
    const std::string shown = pathText(path.string());
    postLine(cp932::lit("ファイルオープン:") + shown);
    if (!std::filesystem::exists(path, ec))
        throw CxException(cp932::lit("ファイルが存在しません:") + shown);
    std::FILE* file = nullptr;
    if (!std::filesystem::is_directory(path, ec)) {
        const Clock::time_point t0 = Clock::now();
        bool special = false;
        while (!(file = openRegularFile(path, special))) {
            if (special)
                throw CxException(cp932::lit("通常のファイルではありません:") + shown);
            if (Clock::now() - t0 >= std::chrono::milliseconds(m_options.pauses.replayOpenRetryMs))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    if (!file)
        throw CxException(cp932::lit("ファイルがオープン出来ません:") + shown);
    // An empty file is no reception at all (e.g. an archive a full disk left empty), not one
    // that ended at once.
    struct stat st {};
    if (::fstat(::fileno(file), &st) == 0 && st.st_size == 0) {
        std::fclose(file);
        throw CxException(cp932::lit("ファイルにデータがありません:") + shown);
    }
    return file;
}

// Runs the decoder to its end; whether the reception succeeded.
bool ReceptionWorker::decode(Pipeline& pipe)
{
    CTransferDecoder& decoder = *pipe.decoder;
    runDecoder(pipe);
    // A replayed archive whose reception was cancelled or failed ends as that reception did:
    // not successful, and a cancelled one hands nothing over.
    if (decoder.recordedEnd() == ReceptionEnd::Cancelled) {
        postError(cp932::lit("記録された受信は中断されています"));
        m_records.clear();
        m_spans.clear();
        return false;
    }
    if (decoder.recordedEnd() == ReceptionEnd::Failed) {
        postError(cp932::lit("記録された受信は失敗しています"));
        return false;
    }
    return true;
}

// The decoder's passes while the reception runs (CTransferDecoder::run), noting where in the
// archive each record's lines begin and end: a record begins with the line of the pass that
// started it, and ends with the last line its completing pass wrote (the end line, and the
// note of its time when its date was replaced).
void ReceptionWorker::runDecoder(Pipeline& pipe)
{
    CTransferDecoder& decoder = *pipe.decoder;
    const ReceptionArchive* archive = pipe.archive.get();
    int first = 0;
    while (m_running.load()) {
        const bool started = decoder.recordStarted();
        const std::size_t done = m_records.size();
        const int before = archive ? archive->lineCount() : 0;
        const bool more = decoder.pass();
        if (archive && !started && decoder.recordStarted())
            first = before + 1;
        if (archive && m_records.size() > done && first > 0) {
            m_spans.push_back({first, archive->lineCount() - first + 1});
            first = 0;
        }
        if (!more)
            return;
    }
}

// After an error: reports it and, on a serial line, skips to the next record's marker. True
// when the reception goes on with a restarted decoder.
bool ReceptionWorker::recover(Pipeline& pipe, const CxException& e)
{
    if (pipe.decoder->recordStarted())
        m_lost.fetch_add(1); // the recovery skips to the next record's marker
    if (e.HasMessage())
        postError(e.Message());
    if (m_options.mode == ReceptionMode::Replay)
        return false;
    std::string skipped;
    try {
        huntMarker(*m_port, pipe.archive ? &skipped : nullptr);
    } catch (const CxException& h) {
        if (pipe.archive)
            pipe.archive->addRaw(skipped);
        if (h.HasMessage())
            postError(h.Message());
        return false;
    }
    if (pipe.archive)
        pipe.archive->addRaw(skipped);
    pipe.restart = true;
    pipe.decoder->restart();
    return true;
}

// A replay that stopped on a line cut by the recorded cancel or failure ends as the recorded
// reception did.
void ReceptionWorker::endAsRecorded(const Pipeline& pipe, bool success)
{
    if (m_options.mode != ReceptionMode::Replay || success ||
        pipe.decoder->recordedEnd() != ReceptionEnd::Complete)
        return;
    const std::optional<ReceptionEnd> end = recordedEndOfFile(m_options.replayPath);
    if (end == ReceptionEnd::Cancelled) {
        postError(cp932::lit("記録された受信は中断されています"));
        m_records.clear();
        m_spans.clear();
    } else if (end == ReceptionEnd::Failed) {
        postError(cp932::lit("記録された受信は失敗しています"));
    }
}

void ReceptionWorker::closeSource()
{
    if (m_options.mode == ReceptionMode::Replay)
        return;
    postLine(cp932::lit("シリアルポートクローズ"));
    if (m_options.mode == ReceptionMode::Serial)
        m_port->Close();
}

// Ends the archive with a note saying how the reception ended, then prunes the folder.
void ReceptionWorker::closeArchive(ReceptionArchive& archive, bool success)
{
    // A cancelled or failed reception says so in its last line, so that its replay does not
    // pass for a complete one. The running flag is cleared only by a cancel so far.
    if (!m_running.load())
        archive.addNote(EndNote(ReceptionEnd::Cancelled));
    else if (!success)
        archive.addNote(EndNote(ReceptionEnd::Failed));
    archive.close();
    m_archivePath = archive.path();
    m_archiveMissing = archive.missingPath();
    PruneReceptionArchive(m_options.archiveDir, m_options.archiveLimits, m_archivePath);
}

// The end: the pause, the count for the summary, and Finished to the listener.
void ReceptionWorker::finish(Pipeline& pipe, bool success)
{
    sleepMs(m_options.pauses.endMs);
    m_receivedCount.store(static_cast<int>(m_records.size()));
    m_listener.Finished(success);
    if (pipe.replay)
        pipe.replay->close();
    m_running.store(false);
}
