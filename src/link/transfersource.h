// ITransferSource: where the transfer decoder takes its blocks and lines from (serial line,
// replay file or simulation), and the helpers shared by the sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class SourceKind { Serial, Replay, Simulation };

// What a source may need to know about the decoder to produce the next block.
struct DecodeContext {
    int lineCount = 0;         // data lines of the current record so far (n)
    int timeCount = 0;         // tenths of a second of the next point (t)
    int announcedLines = 0;    // the count of the current record's date block
    std::size_t completed = 0; // records completed in this reception
};

// One source of the stream. Every read either returns the bytes of one block or line, or
// throws a CxException with the message the reception shows ("通信異常 [%d]", ...).
class ITransferSource {
public:
    virtual ~ITransferSource() = default;
    virtual SourceKind kind() const = 0;

    // Called at the start of every decoder pass: the replay file reads its next text line
    // here, the simulation waits its pace.
    virtual void beginPass() {}

    // The 7 header bytes (a replay line may hold any number).
    virtual std::string readHeader(const DecodeContext& ctx) = 0;
    // After a decoded header: the serial line's one ignored extra byte.
    virtual void afterHeader() {}
    // The date block (8 bytes used).
    virtual std::string readDate(const DecodeContext& ctx) = 0;
    // One data line without its carriage return. The serial line drops lines that are not
    // 6 bytes long; the other sources hand every line over.
    virtual std::string readDataLine(const DecodeContext& ctx) = 0;
    // One trailer line without its carriage return.
    virtual std::string readTrailerLine(const DecodeContext& ctx) = 0;

    // True once a replay file is exhausted (every further pass gets 0xFF x 6).
    virtual bool atEnd() const { return false; }
    // The note lines (see replaynotes.h) the source met since the last call, in their order:
    // a replay file's notes are not blocks and never reach the decoder's steps.
    virtual std::vector<std::string> takeNotes() { return {}; }
};

// The longest line (bytes before the carriage return) a source keeps.
inline constexpr std::size_t kLineBufferSize = 50000;

// Upper-case hex, two characters per byte, no separators.
std::string hexText(std::string_view bytes);

// Bytes from hex text: pairs of hex digits, an odd last digit converted alone. Within a pair
// a character that is not a hex digit ends the pair's digits ("A?" is 0x0A, "?A" is 0).
std::string bytesFromHex(std::string_view text);

// The "通信異常 [%d]" exception for a failed port read (-1 failure, -2 time-out).
[[noreturn]] void throwCommError(int result);
// The "受信データ異常<%s>" exception with a block in hex.
[[noreturn]] void throwDataError(std::string_view block);
