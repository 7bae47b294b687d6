// decode | receive | emulate: the reception's decoder on replay files and serial lines, and
// the tester emulator.
#include <QFile>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include <cerrno>
#include <cstring>

#include <termios.h>
#include <unistd.h>

#include "settings/appfolder.h"
#include "settings/appsettings.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "link/emulator.h"
#include "link/emulatorport.h"
#include "link/receptionworker.h"
#include "model/cp932text.h"
#include "appinuse.h"
#include "jsonout.h"
#include "receivefiling.h"
#include "storejson.h"
#include "storesetup.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_stop{false};

void onSignal(int)
{
    g_stop.store(true);
}

// SIGINT and SIGTERM end a reception as the dialog's cancel does, and stop the emulator.
void installStopSignals()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

std::string nativePath(const QString& arg)
{
    return QFile::encodeName(arg).toStdString();
}

// The settings the reception takes from the application folder (read only).
struct LinkSettings {
    int triggValidSec = 10;
    bool commLog = false;
    PortMap ports;
    std::string folder;
    std::string archiveDir; // empty when the application folder does not exist
    ArchiveLimits archiveLimits;
};

LinkSettings readSettings(const ToolContext& ctx)
{
    LinkSettings s;
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return s;
    s.folder = *folder;
    CIniFile system(*folder + "/" + kSystemIniName);
    s.triggValidSec = system.GetInt(inisec::Param, inikey::TriggValidSec, 10, false);
    const std::string iniPath = *folder + "/MXRView.INI";
    CIniFile ini(iniPath);
    s.commLog = ini.GetInt(inisec::Debug, cp932::lit(inikey::CommLog), 0, false) == 1;
    s.ports = PortOverrides(iniPath);
    // A reception is archived as the program's would be, into an application folder that
    // exists (the tool creates no application folder of its own).
    std::error_code ec;
    if (std::filesystem::is_directory(*folder, ec)) {
        s.archiveDir = *folder + "/" + kReceivedFolder;
        s.archiveLimits =
            ArchiveLimitsFrom(ini.GetInt(inisec::Received, inikey::KeepFiles, 200, false),
                              ini.GetInt(inisec::Received, inikey::KeepMB, 200, false));
    }
    return s;
}

// Collects the reception's texts as the dialog's list would show them, with the error and
// warning texts apart.
class Collector : public IReceptionListener {
public:
    ReceptionWorker* worker = nullptr;
    std::vector<std::string> lines;    // CP932
    std::vector<std::string> errors;   // CP932
    std::vector<std::string> warnings; // CP932
    std::atomic<bool> finished{false};
    bool success = false;

    void PostLine(const std::string& text, int) override { add(text, nullptr); }
    void PostError(const std::string& text, int) override { add(text, &errors); }
    void PostWarning(const std::string& text, int) override { add(text, &warnings); }
    void Finished(bool ok) override
    {
        success = ok;
        finished.store(true);
    }

private:
    void add(const std::string& text, std::vector<std::string>* also)
    {
        {
            std::lock_guard lock(m_mutex);
            lines.push_back(text);
            if (also)
                also->push_back(text);
        }
        worker->TextHandled();
    }
    std::mutex m_mutex;
};

// Notes when the port last delivered bytes, for --silence-s.
class WatchedPort : public ISerialPort {
public:
    explicit WatchedPort(std::unique_ptr<CxSerialPort> port) : m_port(std::move(port)) {}
    std::atomic<Clock::rep> lastActivity{Clock::now().time_since_epoch().count()};

    void SetParam(const CCommSetting& s) override { m_port->SetParam(s); }
    bool Open() override { return m_port->Open(); }
    bool Close() override { return m_port->Close(); }
    bool SetCommTimeout(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) override
    {
        return m_port->SetCommTimeout(a, b, c, d, e);
    }
    void SetTimeout(uint32_t ms) override { m_port->SetTimeout(ms); }
    int Read(unsigned char* buffer, std::size_t count, std::size_t& received) override
    {
        const int r = m_port->Read(buffer, count, received);
        if (received > 0)
            lastActivity.store(Clock::now().time_since_epoch().count());
        return r;
    }
    uint32_t GetErrorCode() const override { return m_port->GetErrorCode(); }
    std::string ErrorText() const override { return m_port->ErrorText(); }
    bool IsOpen() const override { return m_port->IsOpen(); }
    void SetupLog(const std::string& basePath) override { m_port->SetupLog(basePath); }

private:
    std::unique_ptr<CxSerialPort> m_port;
};

void writeTexts(JsonOut::Scope&& a, const std::vector<std::string>& cp932Texts)
{
    for (const std::string& t : cp932Texts)
        a.cp932(t);
}

// The reception's document on standard output: {"ok", "lines", "records" (each with its
// "LineCount" and "announced" count), "warnings", "errors" (how many error texts were shown),
// "errorTexts", and "archive" with the file a serial reception was archived to, when one was
// written, or "archiveMissing" with the file that could not be written (there is none then)}. Exit 0 when the reception succeeded; else 1 with its error texts (or the
// cancel) on standard error. A cancelled reception hands nothing over, as the dialog's cancel.
int printResult(const Collector& c, const std::vector<ReceivedRecord>& records, bool cancelled,
                const std::string& archive, const std::string& archiveMissing,
                const FilingResult* filing = nullptr)
{
    const bool ok = c.success && !cancelled && (!filing || filing->ok);
    using Layout = JsonOut::Layout;
    JsonOut out;
    out.unicodeControlEscapes = true;
    {
        JsonOut::Scope doc = out.object(Layout::Lines);
        doc.boolean("ok", ok);
        writeTexts(doc.array("lines", Layout::Lines), c.lines);
        {
            JsonOut::Scope list = doc.array("records", Layout::Lines);
            for (const ReceivedRecord& r : records) {
                JsonOut::Scope rec = list.object(Layout::Wrapped);
                rec.joinLine();
                rec.integer("LineCount", r.LineCount);
                rec.integer("announced", r.Announced);
                rec.wrap();
                WriteRecordMembers(std::move(rec), r);
            }
        }
        writeTexts(doc.array("warnings", Layout::Lines), c.warnings);
        doc.integer("errors", static_cast<long long>(c.errors.size()));
        writeTexts(doc.array("errorTexts", Layout::Lines), c.errors);
        if (!archive.empty()) // where a serial reception's bytes were kept
            doc.string("archive", QFile::decodeName(archive.c_str()).toStdString());
        if (!archiveMissing.empty())
            doc.string("archiveMissing", QFile::decodeName(archiveMissing.c_str()).toStdString());
        if (filing) { // receive --register: what was filed (nothing unless ok)
            JsonOut::Scope f = doc.object("registered", Layout::Inline);
            f.boolean("ok", filing->ok);
            f.integer("records", filing->records);
            f.integer("linked", filing->linked);
            f.boolean("setMade", filing->setMade);
        }
    }
    out.text += '\n';
    std::fwrite(out.text.data(), 1, out.text.size(), stdout);
    std::fflush(stdout);
    if (ok)
        return 0;
    // Every error text, so that the cause (e.g. why the port did not open) is not hidden
    // behind the read failure that follows it.
    // A reception that ended but was not whole was told as incomplete before.
    if (!c.errors.empty() && !(filing && c.success && !cancelled))
        ToolNote(ToolMsg::ReceptionFailed);
    for (const std::string& e : c.errors)
        std::fprintf(stderr, "%s\n", cp932::toUtf8(e).c_str());
    if (cancelled)
        ToolNote(ToolMsg::ReceptionCancelled);
    return 1;
}

// Runs one reception to its end; with silenceMs > 0 it is cancelled as the dialog's button
// would after that long without a byte, and so is it by SIGINT or SIGTERM. With target, a
// reception that ended complete and clean is filed into the target's set.
int runReception(ReceptionOptions options, std::unique_ptr<ISerialPort> port, WatchedPort* watched,
                 int64_t silenceMs, const ToolContext* ctx = nullptr,
                 const FilingTarget* target = nullptr)
{
    Collector collector;
    ReceptionWorker worker(collector, std::move(port));
    collector.worker = &worker;
    worker.Start(options);
    bool cancelled = false;
    while (!collector.finished.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (cancelled)
            continue;
        bool cancel = g_stop.load();
        if (watched && silenceMs > 0) {
            const auto last = Clock::time_point(Clock::duration(watched->lastActivity.load()));
            cancel = cancel || Clock::now() - last > std::chrono::milliseconds(silenceMs);
        }
        if (cancel) {
            cancelled = true;
            worker.StopWorker();
        }
    }
    // A signal that came while the end was being reported still cancels.
    cancelled = cancelled || g_stop.load();
    std::vector<ReceivedRecord> records = worker.TakeRecords();
    if (cancelled)
        records.clear();
    if (!target)
        return printResult(collector, records, cancelled, worker.ArchivePath(),
                           worker.ArchiveMissing());
    // Only a whole reception is filed: one that failed, was cancelled, lost a record to a
    // recovery or brought a record with lost lines or an unreadable date files nothing.
    FilingResult filing;
    const bool whole = collector.success && !cancelled && worker.Summary().clean();
    if (whole && !records.empty())
        FileReceived(*ctx, *target, records, worker.RecordSpans(), worker.ArchivePath(), filing);
    else if (whole)
        filing.ok = true; // nothing arrived: nothing to file
    else if (collector.success && !cancelled)
        ToolNote(ToolMsg::IncompleteReception);
    return printResult(collector, records, cancelled, worker.ArchivePath(), worker.ArchiveMissing(),
                       &filing);
}

int decode(const ToolContext& ctx, const QStringList& args)
{
    if (args.size() != 1)
        return usageError(ToolMsg::DecodeNeedsFile);
    installStopSignals();
    const LinkSettings settings = readSettings(ctx);
    ReceptionOptions o;
    o.mode = ReceptionMode::Replay;
    o.replayPath = nativePath(args[0]);
    o.triggValidSec = settings.triggValidSec;
    o.pauses = {0, 0, 0, 2000, 0}; // no waiting on the command line
    return runReception(o, nullptr, nullptr, 0);
}

int receive(const ToolContext& ctx, const QStringList& args)
{
    int port = -1;
    std::string device;
    double silence = 0;
    bool registering = false;
    QString customer, cable, set;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--register") {
            registering = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(ToolMsg::NeedsValue, {a});
        bool ok = true;
        if (a == "--port")
            port = args[++i].toInt(&ok);
        else if (a == "--device")
            device = nativePath(args[++i]);
        else if (a == "--silence-s")
            silence = args[++i].toDouble(&ok);
        else if (a == "--customer")
            customer = args[++i];
        else if (a == "--cable")
            cable = args[++i];
        else if (a == "--set")
            set = args[++i];
        else
            return usageError(ToolMsg::UnknownOption, {a});
        if (!ok)
            return usageError(ToolMsg::BadValue, {a});
    }
    if ((port < 1) == device.empty())
        return usageError(ToolMsg::ReceiveNeedsPort);
    if (silence < 0)
        return usageError(ToolMsg::BadValue, {QStringLiteral("--silence-s")});
    FilingTarget target;
    if (registering || !customer.isEmpty() || !cable.isEmpty() || !set.isEmpty()) {
        if (!registering || customer.isEmpty() || cable.isEmpty() || set.isEmpty())
            return usageError(ToolMsg::RegisterNeedsNames);
        const auto c = cp932::fromUtf8(customer.toStdString());
        const auto k = cp932::fromUtf8(cable.toStdString());
        const auto s = cp932::fromUtf8(set.toStdString());
        if (!c || !k || !s)
            return usageError(ToolMsg::NameNotUsable, {!c ? customer : !k ? cable : set});
        target = {*c, *k, *s};
        // Checked before the tester sends anything: the filing would fail after the reception.
        const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
        if (!setup)
            return ToolFailure(ToolMsg::NoAppFolder);
        if (MxrViewHoldsFolder(setup->folder))
            return ToolFailure(ToolMsg::FolderInUse, {QFile::decodeName(setup->folder.c_str())});
    }

    installStopSignals();
    const LinkSettings settings = readSettings(ctx);
    auto serial = std::make_unique<CxSerialPort>();
    serial->SetPortMap(settings.ports);
    if (!device.empty())
        serial->SetDevicePath(device);
    if (settings.commLog && !settings.folder.empty())
        serial->SetupLog(settings.folder + "/COMM_");
    auto watched = std::make_unique<WatchedPort>(std::move(serial));
    WatchedPort* w = watched.get();

    ReceptionOptions o;
    o.mode = ReceptionMode::Serial;
    o.comm.port = port > 0 ? port : 1;
    o.triggValidSec = settings.triggValidSec;
    o.pauses.endMs = 0; // nobody watches a closing dialog here
    o.archiveDir = settings.archiveDir;
    o.archiveLimits = settings.archiveLimits;
    return runReception(o, std::move(watched), w, static_cast<int64_t>(silence * 1000), &ctx,
                        registering ? &target : nullptr);
}

int emulate(const QStringList& args)
{
    std::string device, replayOut;
    bool pty = false, repeat = false;
    EmulatorOptions eo;
    int baud = 38400;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--pty") {
            pty = true;
            continue;
        }
        if (a == "--repeat") {
            repeat = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError(ToolMsg::NeedsValue, {a});
        bool ok = true;
        if (a == "--device")
            device = nativePath(args[++i]);
        else if (a == "--replay-out")
            replayOut = nativePath(args[++i]);
        else if (a == "--seed")
            eo.seed = args[++i].toUInt(&ok);
        else if (a == "--records")
            eo.records = args[++i].toInt(&ok);
        else if (a == "--baud")
            baud = args[++i].toInt(&ok);
        else
            return usageError(ToolMsg::UnknownOption, {a});
        if (!ok)
            return usageError(ToolMsg::BadValue, {a});
    }
    if (int(pty) + int(!device.empty()) + int(!replayOut.empty()) != 1)
        return usageError(ToolMsg::EmulateNeedsOutput);
    if (eo.records < 0 || eo.records > 9999 || baud < 0)
        return usageError(ToolMsg::RecordsOrBaud);

    const TesterEmulator emu(eo);
    if (!replayOut.empty()) {
        std::ofstream out(replayOut, std::ios::binary | std::ios::trunc);
        out << emu.replayText();
        out.close();
        if (!out) {
            return ToolFailure(ToolMsg::CannotWrite, {QFile::decodeName(replayOut.c_str())});
        }
        return 0;
    }
    installStopSignals();
    if (!device.empty()) {
        const int fd = openSendDevice(device, baud);
        if (fd < 0) {
            return ToolFailure(ToolMsg::CannotOpen, {QFile::decodeName(device.c_str()),
                                                     QString::fromLocal8Bit(std::strerror(errno))});
        }
        const bool ok = sendPaced(fd, emu.serialChunks(), baud, &g_stop, false);
        ::tcdrain(fd);
        ::close(fd);
        return ok ? 0 : 1;
    }
    EmulatorPty p;
    std::string error;
    if (!p.create(error)) {
        return ToolFailure(ToolMsg::CannotCreatePty, {QString::fromLocal8Bit(error.c_str())});
    }
    std::printf("%s\n", p.slavePath().c_str());
    std::fflush(stdout);
    do {
        // The reader sets its line up and empties its queue right after opening.
        if (!p.waitForReader(g_stop, 200))
            break;
        p.send(emu.serialChunks(), baud, &g_stop);
        if (!p.waitForReaderGone(g_stop))
            break;
    } while (repeat);
    return 0;
}

} // namespace

int runDecodeCommand(const ToolContext& ctx, const QStringList& args)
{
    return decode(ctx, args);
}
int runReceiveCommand(const ToolContext& ctx, const QStringList& args)
{
    return receive(ctx, args);
}
int runEmulateCommand(const ToolContext&, const QStringList& args)
{
    return emulate(args);
}
