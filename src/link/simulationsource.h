// SimulationSource: a made-up transfer for demonstrations without a tester.
#pragma once

#include <cstdint>

#include "link/transfersource.h"
#include "model/oledate.h"

// The 15-bit linear congruential generator the simulation draws from (values 0 to 32767).
class SimRandom {
public:
    explicit SimRandom(int32_t seed = 1) : m_state(static_cast<uint32_t>(seed)) {}
    void seed(int32_t seed) { m_state = static_cast<uint32_t>(seed); }
    int next()
    {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }
    // lo + trunc(r * (hi - lo + 1) / 32767), limited to hi.
    int between(int lo, int hi);

private:
    uint32_t m_state;
};

// Blocks are generated as decimal digit texts, two digits per BCD byte. Each record ends after
// the number of data lines its date block announces, with the end-of-data line and a marker
// line, so that a simulated reception completes records and ends by itself.
class SimulationSource : public ITransferSource {
public:
    SimulationSource(int32_t seed, OleDateTime start, int passMs = 10)
        : m_random(seed), m_start(start), m_passMs(passMs)
    {
    }

    SourceKind kind() const override { return SourceKind::Simulation; }
    void beginPass() override;
    std::string readHeader(const DecodeContext& ctx) override;
    std::string readDate(const DecodeContext& ctx) override;
    std::string readDataLine(const DecodeContext& ctx) override;
    std::string readTrailerLine(const DecodeContext& ctx) override;

private:
    SimRandom m_random;
    OleDateTime m_start;
    int m_passMs;
};
