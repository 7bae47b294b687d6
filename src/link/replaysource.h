// ReplaySource: a recorded transfer read back from a text file of hex lines.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "link/transfersource.h"

// One block or line per text line, written as hex digits; lines may end in CRLF or LF and
// surrounding blanks are ignored. Note lines (replaynotes.h) are set aside for takeNotes and
// the pass goes on with the next line. At the end of the file every pass gets 0xFF x 6. A text line
// of more than kLineBufferSize bytes is not kept: it is reported as "受信データ異常<%s>" with
// the bytes that fitted.
class ReplaySource : public ITransferSource {
public:
    ReplaySource() = default;
    ~ReplaySource() override;
    ReplaySource(const ReplaySource&) = delete;
    ReplaySource& operator=(const ReplaySource&) = delete;

    // Takes an already opened file (closed by this object) or, for tests and benchmarks, the
    // whole text in memory.
    void attach(std::FILE* file);
    void attachText(std::string text);
    void close();

    SourceKind kind() const override { return SourceKind::Replay; }
    void beginPass() override;
    std::string readHeader(const DecodeContext&) override { return m_bytes; }
    std::string readDate(const DecodeContext&) override { return m_bytes; }
    std::string readDataLine(const DecodeContext&) override { return m_bytes; }
    std::string readTrailerLine(const DecodeContext&) override { return m_bytes; }
    bool atEnd() const override { return m_atEnd; }
    std::vector<std::string> takeNotes() override { return std::exchange(m_notes, {}); }

private:
    int nextChar();

    std::FILE* m_file = nullptr;
    std::string m_text; // in-memory input
    std::size_t m_pos = 0;
    bool m_useText = false;
    bool m_atEnd = false;
    std::string m_line;  // hex characters of the current text line
    std::string m_bytes; // the bytes of the current pass
    std::vector<std::string> m_notes;
};
