// The simulation's generator and formulas.
#include "link/simulationsource.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "model/number.h"

int SimRandom::between(int lo, int hi)
{
    const int r = next();
    const int v = lo + static_cast<int>(static_cast<double>(r) * (hi - lo + 1) / 32767.0);
    return std::min(v, hi);
}

void SimulationSource::beginPass()
{
    if (m_passMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_passMs));
}

std::string SimulationSource::readHeader(const DecodeContext& ctx)
{
    if (ctx.completed < 2 || m_random.between(0, 100) < 85) {
        const int dataNo = m_random.between(0, 9999);
        const int status = m_random.between(0, 7);
        const int voltage = m_random.between(0, 200);
        const int trigger = m_random.between(50, 90);
        return bytesFromHex(formatC("%04d%d%d%04d%04d", dataNo, status, 0, voltage, trigger));
    }
    return bytesFromHex("FFFFFFFFFFFF");
}

std::string SimulationSource::readDate(const DecodeContext&)
{
    const int count = m_random.between(510, 1500);
    const std::string stamp = m_start.format("%y%m%d%H");
    const int minute = m_random.between(0, 59);
    const int second = m_random.between(0, 59);
    return bytesFromHex(formatC("%04d%s%02d%02d", count, stamp.c_str(), minute, second));
}

std::string SimulationSource::readDataLine(const DecodeContext& ctx)
{
    if (ctx.lineCount >= ctx.announcedLines)
        return bytesFromHex("FFFFFFFFFFFF");
    return bytesFromHex(formatC("%06d%06d", ctx.timeCount, m_random.between(1000, 7000)));
}

std::string SimulationSource::readTrailerLine(const DecodeContext&)
{
    return "KARENO";
}
