// TesterEmulator: a made-up but realistic memory dump of the tester, as the serial line
// carries it and as a replay file holds it, with the records a correct decoder must produce.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/receivedrecord.h"

// A record drawn to order rather than at random, for demonstrations of the cable analysis: a
// phase, a voltage step, a leakage level, a slow rise, kicks. Fields left at their "drawn"
// value take the random draw as usual.
struct EmulatorRecordShape {
    int phase = 0;                     // status bits 5-4: 0 R, 1 S, 2 T, 3 three-phase
    int voltage = 200;                 // test voltage in 0.01 kV
    double leak = 1.0;                 // μA, the steady leakage current
    double absorb = -1.0;              // μA, absorption current at the start; < 0: 20 × leak
    double risePerMinute = 0.0;        // μA per minute added after the first minute
    int kicks = -1;                    // kicks above the trigger setting; < 0: drawn
    int rangeFlag = -1;                // 1: 0.1 μA counts, 0: 0.001 μA counts; < 0: drawn
    int trigger = 0;                   // trigger setting in 0.1 μA; 0: drawn
    int measureSeconds = 0;            // 0: the options' length
    std::optional<CalendarTime> start; // the date block's time; drawn when empty
    double tau = -1.0;                 // s, time constant of the absorption current; < 0: drawn
    // μA at the start of a slow absorption component (time constant slowTau), which keeps a
    // sound cable's current falling past the first minute (成極比 above 1).
    double slowAbsorb = 0.0;
    double slowTau = 60.0; // s
    double noise = 0.02;   // relative peak-to-peak noise of every point
    // > 0: a kick multiplies the current by this factor (a discharge on top of the curve)
    // instead of reaching past the trigger setting.
    double kickFactor = 0.0;
};

struct EmulatorOptions {
    uint32_t seed = 1;
    int records = 5;
    int measureSeconds = 60;   // length of each measurement (5 points a second)
    int triggValidSec = 10;    // for the expected trigger events
    uint32_t recordGapMs = 20; // pause after each record's marker line (memory read)
    // The cable's state in every record: 0 good, 1 doubtful, 2 bad; -1 drawn per record.
    // Forcing it leaves the other random draws as they were.
    int quality = -1;
    // When not empty, record i follows shapes[i] and the dump holds shapes.size() records.
    // The random draws are made as before, so an empty list changes nothing.
    std::vector<EmulatorRecordShape> shapes;
    // When set, record i starts at firstStart + i × (measuring time + 2 minutes), unless its
    // shape gives a start: a dump measured in one session, in order. The random draws are
    // made as before.
    std::optional<CalendarTime> firstStart;
};

// One piece of the serial stream, and how long the tester pauses after it.
struct EmulatorChunk {
    std::string bytes;
    uint32_t pauseAfterMs = 0;
};

class TesterEmulator {
public:
    explicit TesterEmulator(const EmulatorOptions& options);

    // What a decoder must hand over: every record with its computed final value and triggers.
    const std::vector<ReceivedRecord>& expected() const { return m_expected; }

    // The serial form: per record its header (7 bytes + 1 extra), date block (9 bytes), data
    // lines, end-of-data line, trailer lines and marker line, each line ending in CR; then the
    // end-of-transfer block. One chunk per record and one for the end block.
    const std::vector<EmulatorChunk>& serialChunks() const { return m_serial; }
    std::string serialBytes() const;

    // The replay file: one hex text line per block or line (CRLF), no extra bytes.
    const std::string& replayText() const { return m_replay; }

private:
    void addRecord(int index, uint32_t& rng);

    EmulatorOptions m_options;
    std::vector<ReceivedRecord> m_expected;
    std::vector<EmulatorChunk> m_serial;
    std::string m_replay;
};

// The number of bits the line needs per byte (start, 8 data, stop): the pacing of the
// emulator and the expected duration of a reception.
inline constexpr int kBitsPerByte = 10;
