// ReceptionArchive: what a serial reception read, kept as a replay file (one line of hex per
// block or line as the decoder took it) in the folder of received dumps, and the rotation that
// bounds that folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/transfersource.h"

// How many archived receptions are kept: the newest files while both bounds hold. The file of
// the running reception is always kept, whatever its size.
struct ArchiveLimits {
    int keepFiles = 200;
    uint64_t keepBytes = 200ull * 1024 * 1024;
};

// The limits from the settings' file count and megabytes; a count or size below 1 keeps 1.
ArchiveLimits ArchiveLimitsFrom(int keepFiles, int keepMB);

class ReceptionArchive {
public:
    // Called once, with a CP932 text, when the archive cannot be written; later writes of
    // this reception are then skipped and the file written so far is removed, so that no file
    // with a gap or an empty one stands for the reception.
    using FailureFn = std::function<void(const std::string& text)>;

    // folder: where the file goes (created with its parents on the first line); start: the
    // reception's local start time, which names the file "YYYYMMDD-HHMMSS.txt".
    ReceptionArchive(std::string folder, std::time_t start, FailureFn onFailure);
    ~ReceptionArchive();
    ReceptionArchive(const ReceptionArchive&) = delete;
    ReceptionArchive& operator=(const ReceptionArchive&) = delete;

    // One block or line: its bytes as upper-case hex and CR LF, written straight to the file
    // (no buffering in the program), so a killed program leaves every line that arrived.
    void addLine(std::string_view bytes);
    // Bytes read outside a block (the recovery's hunt for the marker): one line per
    // carriage-return-terminated piece, a trailing piece without one as a line of its own.
    void addRaw(std::string_view bytes);

    // A note line (replaynotes.h) as it is, into a file already begun: a reception that read
    // nothing leaves no file for a note alone.
    void addNote(const std::string& note);

    void close();
    // The lines written so far (blocks, raw pieces and notes alike), which is also the number
    // of the last line written, counting from 1.
    int lineCount() const { return m_lines; }
    // The file written (native path); empty while nothing was written and after a failure.
    const std::string& path() const { return m_failed ? m_none : m_path; }
    bool failed() const { return m_failed; }
    // After a failure: the file (or the folder) that could not be written, which does not
    // exist; empty otherwise.
    const std::string& missingPath() const { return m_failed ? m_missing : m_none; }

private:
    bool open();
    void fail(const std::string& what, int error);

    std::string m_folder;
    std::time_t m_start;
    FailureFn m_onFailure;
    std::string m_path;
    std::string m_missing;
    const std::string m_none;
    int m_fd = -1;
    int m_lines = 0;
    bool m_failed = false;
};

// Removes the oldest archive files of folder beyond the limits; keep (a path) is never
// removed. Only names of the archive's own form are looked at. Returns the number removed.
int PruneReceptionArchive(const std::string& folder, const ArchiveLimits& limits,
                          const std::string& keep = {});

// A source that hands on what another source reads and archives every block and line it
// hands on. The serial line's extra header byte and ninth date byte, and lines the serial
// source drops, are not in a replay file's form and so are not archived.
class ArchivingSource : public ITransferSource {
public:
    ArchivingSource(std::unique_ptr<ITransferSource> inner, ReceptionArchive& archive)
        : m_owned(std::move(inner)), m_inner(*m_owned), m_archive(archive)
    {
    }
    SourceKind kind() const override { return m_inner.kind(); }
    void beginPass() override { m_inner.beginPass(); }
    std::string readHeader(const DecodeContext& ctx) override
    {
        return keep(m_inner.readHeader(ctx));
    }
    void afterHeader() override { m_inner.afterHeader(); }
    std::string readDate(const DecodeContext& ctx) override { return keep(m_inner.readDate(ctx)); }
    std::string readDataLine(const DecodeContext& ctx) override
    {
        return keep(m_inner.readDataLine(ctx));
    }
    std::string readTrailerLine(const DecodeContext& ctx) override
    {
        return keep(m_inner.readTrailerLine(ctx));
    }
    bool atEnd() const override { return m_inner.atEnd(); }
    std::vector<std::string> takeNotes() override { return m_inner.takeNotes(); }

private:
    std::string keep(std::string bytes)
    {
        m_archive.addLine(bytes);
        return bytes;
    }
    std::unique_ptr<ITransferSource> m_owned;
    ITransferSource& m_inner;
    ReceptionArchive& m_archive;
};
