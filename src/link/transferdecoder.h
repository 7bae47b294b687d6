// CTransferDecoder: the tester's memory dump, decoded block by block into received records.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/receivedrecord.h"
#include "link/replaynotes.h"
#include "link/transfersource.h"

enum class DecoderState { Header, Date, Points, Trailer };

// Packed BCD of n bytes into a decimal number, read as the tester's own software reads it: the
// bytes as hex digits, then the decimal digits up to the first one that is not ("00000A" is 0,
// "1A" is 1). False, with out unchanged, when the very first digit is A-F: the field has no
// value then, and the caller decides whether something can stand in for it.
bool decodeBcd(std::string_view bytes, int& out);

// The decoder knows nothing of threads or ports: it pulls blocks from its source, shows texts
// through a callback and appends completed records to the list it was given. Errors are
// thrown as CxException with the reception's message text (CP932).
class CTransferDecoder {
public:
    using ShowFn = std::function<void(const std::string& cp932Text)>;

    // showData is read at every data and trailer line (the dialog's check box); the received
    // list is the reception's and survives a restart.
    CTransferDecoder(ITransferSource& source, std::vector<ReceivedRecord>& received, ShowFn show,
                     const std::atomic<bool>& showData, int triggValidSec);

    // Where warnings go (a record whose line count differs from its date block's); without
    // a handler they are shown like any other text.
    void setWarningHandler(ShowFn warn) { m_warn = std::move(warn); }
    // Where note lines for the reception's archive go (replaynotes.h): the time given to a
    // record whose date block could not be read, written after its end line.
    void setNoteHandler(ShowFn note) { m_note = std::move(note); }

    // How the source's notes said the recorded reception ended (a replay of an archive whose
    // last line says it was cancelled or failed); Complete when no note said otherwise. A
    // pass that meets such a note ends the run there.
    ReceptionEnd recordedEnd() const { return m_recordedEnd; }

    // Back to state Header (after a recovery): the record being received is dropped, the
    // received list stays.
    void restart();

    // One pass of the state machine. False when the end-of-transfer block has arrived (or a
    // replay file ended after a complete record).
    bool pass();

    // Passes while running is set and the transfer is not complete. True when the transfer
    // ended by its end-of-transfer block, false when running was cleared.
    bool run(const std::atomic<bool>& running);

    DecoderState state() const { return m_state; }
    const ReceivedRecord& working() const { return m_work; }
    // True from a record's header block until the record is complete: an error now loses it.
    bool recordStarted() const { return m_recordStarted; }

private:
    bool header();
    void date();
    void points();
    bool trailer();
    bool takeNotes();
    DecodeContext context() const;

    ITransferSource& m_source;
    std::vector<ReceivedRecord>& m_received;
    ShowFn m_show;
    ShowFn m_warn;
    ShowFn m_note;
    ReceptionEnd m_recordedEnd = ReceptionEnd::Complete;
    const std::atomic<bool>& m_showData;
    int m_triggValidSec;

    DecoderState m_state = DecoderState::Header;
    ReceivedRecord m_work;
    int m_lines = 0; // n: data lines of the working record
    int m_time = 0;  // t: tenths of a second of the next point
    bool m_recordStarted = false;
};
