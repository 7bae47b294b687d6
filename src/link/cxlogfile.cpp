// CxLogFile: week-slot file naming, the open-append-close write under a per-file lock, the
// time-stamp prefix and the received-data dump.
#include "link/cxlogfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Tick count of the last time-stamped line of any log in this process (milliseconds since
// boot, 32 bits like the Windows tick count). kNoTick until the first line is written.
constexpr uint64_t kNoTick = ~uint64_t{0};
std::atomic<uint64_t> g_previousTick{kNoTick};

uint32_t tickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uint64_t monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// 1998-01-01 00:00:00 local time, the origin of the week slots.
std::time_t referenceTime()
{
    std::tm t{};
    t.tm_year = 98;
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Week index of time t: (whole days since the reference - 1) / daysPerFile, both divisions
// truncated toward zero as the original integer arithmetic does.
long long weekIndex(std::time_t t, int daysPerFile)
{
    const long long days = (static_cast<long long>(t) - referenceTime()) / 86400;
    return (days - 1) / (daysPerFile > 0 ? daysPerFile : 1);
}

// The in-process half of the writer lock: one mutex per lock file, so threads of this
// process queue here and only one of them at a time holds the flock.
std::mutex& processMutexFor(const std::string& lockPath)
{
    static std::mutex mapMutex; // protects mutexes
    static std::map<std::string, std::unique_ptr<std::mutex>> mutexes;
    std::lock_guard guard(mapMutex);
    auto& slot = mutexes[lockPath];
    if (!slot)
        slot = std::make_unique<std::mutex>();
    return *slot;
}

// Serialises the writers of one log across threads and processes: the in-process mutex, then
// an flock on a lock file beside the log (the stand-in for the system-wide named mutex).
// Without a usable lock file the in-process mutex still holds.
class WriterLock {
public:
    explicit WriterLock(const std::string& lockPath) : m_guard(processMutexFor(lockPath))
    {
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~WriterLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the flock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    std::lock_guard<std::mutex> m_guard;
    int m_fd = -1;
};

bool statRegular(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Opens for appending, creating the file, never truncating. The exclusive non-blocking flock
// on the file itself stands for the Windows share mode that denies writing to others: a
// program holding such a lock makes the open fail, as a locked file does there.
int openForAppend(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void writeAll(int fd, const std::string& bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a log never reports an error
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Text mode of the original: every line feed is stored as carriage return and line feed.
void appendTextMode(std::string& out, std::string_view text)
{
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
}

std::string timeStampPrefix(std::time_t t)
{
    std::tm lt{};
    localtime_r(&t, &lt);
    const uint32_t tick = tickCount();
    const uint64_t previous = g_previousTick.exchange(tick);
    const uint32_t sincePrevious =
        previous == kNoTick ? 0u : static_cast<uint32_t>(tick - static_cast<uint32_t>(previous));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d:%02d[%08lu](%8lu)", lt.tm_mon + 1,
                  lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec, static_cast<unsigned long>(tick),
                  static_cast<unsigned long>(sincePrevious));
    return buf;
}

const char* controlMnemonic(unsigned char b)
{
    switch (b) {
    case 0x02: return "@SX";
    case 0x03: return "@EX";
    case 0x04: return "@ET";
    case 0x05: return "@EQ";
    case 0x06: return "@AK";
    case 0x0A: return "@LF";
    case 0x0D: return "@CR";
    case 0x10: return "@DE";
    case 0x15: return "@NK";
    case 0x17: return "@EB";
    default: return nullptr;
    }
}

} // namespace

void CxLogFile::Setup(const std::string& basePath, int daysPerFile, int fileCount, uint32_t retryMs,
                      uint64_t maxSize)
{
    m_basePath = basePath;
    m_rotate = true;
    m_daysPerFile = daysPerFile > 0 ? daysPerFile : 1;
    m_fileCount = fileCount > 0 ? fileCount : 1;
    m_retryMs = retryMs;
    m_maxSize = maxSize;
}

void CxLogFile::SetClock(std::function<std::time_t()> now)
{
    m_now = std::move(now);
}

std::time_t CxLogFile::now() const
{
    return m_now ? m_now() : std::time(nullptr);
}

std::string CxLogFile::FilePathAt(std::time_t t) const
{
    if (m_basePath.empty())
        return {};
    if (!m_rotate)
        return m_basePath;
    long long slot = weekIndex(t, m_daysPerFile) % m_fileCount;
    if (slot < 0) // a clock before 1998
        slot += m_fileCount;
    return m_basePath + std::to_string(slot) + ".LOG";
}

std::string CxLogFile::FallbackPath() const
{
    return m_basePath.empty() ? std::string() : m_basePath + "E.LOG";
}

void CxLogFile::append(std::string_view text, bool stamped, bool endLine)
{
    if (m_basePath.empty())
        return;
    const std::time_t t = now();
    const std::string path = FilePathAt(t);
    WriterLock lock(m_basePath + ".log.lck");

    struct stat st {};
    if (m_rotate && statRegular(path, st)) {
        if (weekIndex(st.st_mtime, m_daysPerFile) != weekIndex(t, m_daysPerFile) ||
            static_cast<uint64_t>(st.st_size) > m_maxSize)
            ::unlink(path.c_str());
    }

    bool regular = true;
    int fd = -1;
    const uint64_t firstAttempt = monotonicMs();
    for (;;) {
        fd = openForAppend(path);
        if (fd >= 0 || monotonicMs() - firstAttempt > m_retryMs)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (fd < 0) {
        regular = false;
        const std::string fallback = FallbackPath();
        if (statRegular(fallback, st) && static_cast<uint64_t>(st.st_size) > m_maxSize)
            ::unlink(fallback.c_str());
        fd = openForAppend(fallback);
        if (fd < 0)
            return; // the text is lost; a log never stops the program
    }

    std::string bytes;
    bytes.reserve(text.size() + 48);
    if (stamped)
        bytes = timeStampPrefix(t);
    appendTextMode(bytes, text);
    if (endLine)
        bytes += "\r\n";
    writeAll(fd, bytes);
    if (regular) {
        const timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
        ::futimens(fd, times);
    }
    ::close(fd);
}

void CxLogFile::Write(std::string_view text)
{
    append(text, true, true);
}

void CxLogFile::WriteNoNewline(std::string_view text)
{
    append(text, true, false);
}

void CxLogFile::WriteRaw(std::string_view text)
{
    append(text, false, true);
}

void CxLogFile::Printf(const char* format, ...)
{
    if (m_basePath.empty())
        return;
    // Numbers as in the C locale, whatever the process's LC_NUMERIC.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    locale_t old = uselocale(cLocale);
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    uselocale(old);
    Write(text);
}

void CxLogFile::DumpReceived(const unsigned char* bytes, std::size_t count)
{
    if (m_basePath.empty() || bytes == nullptr || count == 0)
        return;
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    std::string chars(36, ' ');
    hex.reserve(count * 3);
    chars.reserve(36 + count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        hex += kHex[b >> 4];
        hex += kHex[b & 0x0F];
        hex += ' ';
        if ((b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF)) {
            chars += ' ';
            chars += static_cast<char>(b);
            chars += ' ';
        } else if (const char* m = controlMnemonic(b)) {
            chars += m;
        } else {
            chars += "   ";
        }
    }
    // The stamped "**>" + hex line and the character line go out in one locked write, so a
    // line of another writer can never land between the two halves of an entry.
    append("**>" + hex + "\n" + chars, true, true);
}
