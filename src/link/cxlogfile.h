// CxLogFile: rotating, time-stamped text logs (the application log and the communication log).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

class CxLogFile {
public:
    CxLogFile() = default;
    virtual ~CxLogFile() = default;

    // Sets the parameters and turns rotation on. An empty base path disables the log.
    void Setup(const std::string& basePath, int daysPerFile = 7, int fileCount = 4,
               uint32_t retryMs = 10000, uint64_t maxSize = 0x500000);
    bool IsEnabled() const { return !m_basePath.empty(); }
    const std::string& BasePath() const { return m_basePath; }

    // Time stamp, text (CP932 bytes), line end.
    void Write(std::string_view text);
    // Time stamp and text; the next WriteRaw continues the same line.
    void WriteNoNewline(std::string_view text);
    // Text and line end, no time stamp.
    void WriteRaw(std::string_view text);
    // printf-style, then as Write.
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The received-data dump: a hex line and a character line under it.
    void DumpReceived(const unsigned char* bytes, std::size_t count);

    // Replaces the wall clock (seconds since the epoch) that picks the week slot, stamps the
    // lines and dates the files; the system clock by default. Tests use it to write in a
    // chosen week.
    void SetClock(std::function<std::time_t()> now);
    // The regular file a write at time t goes to (the week slot with rotation on); the file
    // "E.LOG" used when it cannot be opened. Both empty while the log is disabled.
    std::string FilePathAt(std::time_t t) const;
    std::string FallbackPath() const;

private:
    // One locked open-append-close of the regular (or fallback) file; text may hold line
    // feeds, which are stored as CR LF like every line end.
    void append(std::string_view text, bool stamped, bool endLine);
    std::time_t now() const;

    std::string m_basePath;
    bool m_rotate = false;
    int m_daysPerFile = 7;
    int m_fileCount = 4;
    uint32_t m_retryMs = 10000;
    uint64_t m_maxSize = 0x500000;
    std::function<std::time_t()> m_now; // empty: the system clock
};
