// The emulator's record generator: stepped voltages, absorption current decaying onto a
// steady leakage, good, doubtful and bad cables, occasional kicks above the trigger setting.
#include "link/emulator.h"

#include <algorithm>
#include <cmath>

#include "link/transfersource.h"
#include "model/number.h"

namespace {

// A small deterministic generator (xorshift32), independent of the decoder's simulation.
uint32_t nextRandom(uint32_t& s)
{
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

double uniform(uint32_t& s)
{
    return (nextRandom(s) >> 8) / double(1u << 24);
}

int uniformInt(uint32_t& s, int lo, int hi)
{
    return lo + static_cast<int>(nextRandom(s) % static_cast<uint32_t>(hi - lo + 1));
}

std::string bcd(int value, int bytes)
{
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        const int two = value % 100;
        value /= 100;
        out[static_cast<std::size_t>(i)] = static_cast<char>(((two / 10) << 4) | (two % 10));
    }
    return out;
}

} // namespace

TesterEmulator::TesterEmulator(const EmulatorOptions& options) : m_options(options)
{
    uint32_t rng = options.seed * 2654435761u + 0x9E3779B9u;
    if (rng == 0)
        rng = 1;
    const int count =
        options.shapes.empty() ? options.records : static_cast<int>(options.shapes.size());
    for (int i = 0; i < count; ++i)
        addRecord(i, rng);
    const std::string end(7, static_cast<char>(0xFF));
    m_serial.push_back({end + static_cast<char>(0xFF), 0});
    m_replay += hexText(end) + "\r\n";
}

std::string TesterEmulator::serialBytes() const
{
    std::string out;
    for (const EmulatorChunk& c : m_serial)
        out += c.bytes;
    return out;
}

void TesterEmulator::addRecord(int index, uint32_t& rng)
{
    ReceivedRecord r;
    std::string serial;
    const auto emitBlock = [&](const std::string& bytes, const std::string& serialExtra) {
        serial += bytes + serialExtra;
        m_replay += hexText(bytes) + "\r\n";
    };
    const auto emitLine = [&](const std::string& bytes) {
        serial += bytes + '\r';
        m_replay += hexText(bytes) + "\r\n";
    };

    const EmulatorRecordShape* shape =
        m_options.shapes.empty() ? nullptr : &m_options.shapes[static_cast<std::size_t>(index)];

    // Header: number, flags, stepped voltage (2, 4, 6 ... 20 kV), trigger setting.
    const int dataNo = (index + 1) % 10000;
    const int statusFlag = uniformInt(rng, 0, 1);
    int rangeFlag = index % 3 == 2 ? 0 : 1; // both ranges, mostly the 0.1 µA one
    int phase = index % 4;                  // 00 R, 01 S, 10 T, 11 three-phase
    int voltage = 200 * (index % 10 + 1);   // 0.01 kV
    int trigger = rangeFlag ? uniformInt(rng, 50, 90) : uniformInt(rng, 3, 9); // 0.1 µA
    if (shape) {
        phase = shape->phase & 3;
        voltage = std::clamp(shape->voltage, 0, 9999);
        if (shape->rangeFlag >= 0)
            rangeFlag = shape->rangeFlag & 1;
        if (shape->trigger > 0)
            trigger = std::min(shape->trigger, 9999);
    }
    const int status = (statusFlag << 6) | (phase << 4) | rangeFlag;
    emitBlock(bcd(dataNo, 2) + static_cast<char>(status) + bcd(voltage, 2) + bcd(trigger, 2),
              std::string(1, '\0'));
    r.DataNo = dataNo;
    r.StatusFlag = statusFlag;
    r.RangeFlag = rangeFlag;
    static const int32_t kinds[4] = {CabKindR, CabKindS, CabKindT, CabKindThreePhase};
    r.Condition.CabKind = kinds[phase];
    r.TestVoltage = voltage * 0.01;
    r.TriggerLevel = trigger * 0.1;

    // Date block: announced line count and the start time.
    const int seconds =
        shape && shape->measureSeconds > 0 ? shape->measureSeconds : m_options.measureSeconds;
    const int lines = seconds * 5;
    CalendarTime ct;
    ct.year = uniformInt(rng, 2005, 2030);
    ct.month = uniformInt(rng, 1, 12);
    ct.day = uniformInt(rng, 1, 28);
    ct.hour = uniformInt(rng, 0, 23);
    ct.minute = uniformInt(rng, 0, 59);
    ct.second = uniformInt(rng, 0, 59);
    if (m_options.firstStart) {
        CalendarTime first = *m_options.firstStart;
        first.second = 0;
        if (const auto base = OleDateTime::fromCalendar(first)) {
            const double step = (seconds + 120.0) / 86400.0;
            const OleDateTime at{base->date + index * step, OleDateTime::Valid};
            if (const auto cal = at.toCalendar())
                ct = *cal;
        }
    }
    if (shape && shape->start)
        ct = *shape->start;
    emitBlock(bcd(lines, 2) + bcd(ct.year - 2000, 1) + bcd(ct.month, 1) + bcd(ct.day, 1) +
                  bcd(ct.hour, 1) + bcd(ct.minute, 1) + bcd(ct.second, 1),
              std::string(1, '\r'));
    r.StartTime = *OleDateTime::parse(
        formatC("%d/%d/%d %d:%d:%d", ct.year, ct.month, ct.day, ct.hour, ct.minute, ct.second));

    // Cable quality: good (low leakage), doubtful, bad (high and creeping upwards).
    int quality = uniformInt(rng, 0, 9) < 6 ? 0 : uniformInt(rng, 1, 2);
    if (m_options.quality >= 0)
        quality = std::min(m_options.quality, 2);
    const double unit = rangeFlag ? 0.1 : 0.001; // µA per count
    const double scale = (rangeFlag ? 1.0 : 0.01) * (voltage / 1000.0);
    double leak = scale * (quality == 0   ? 0.5 + uniform(rng)
                           : quality == 1 ? 4 + 4 * uniform(rng)
                                          : 12 + 10 * uniform(rng));
    double absorb = scale * (30 + 40 * uniform(rng));
    double tau = 4 + 8 * uniform(rng);
    double creep = quality == 2 ? leak * 0.01 : 0.0; // µA per second
    const double level = trigger * 0.1;
    int kicks = uniformInt(rng, 0, 2);
    double riseFrom = 0.0; // seconds
    if (shape) {
        leak = shape->leak;
        absorb = shape->absorb >= 0 ? shape->absorb : 20.0 * shape->leak;
        creep = shape->risePerMinute / 60.0;
        riseFrom = 60.0;
        if (shape->kicks >= 0)
            kicks = std::min(shape->kicks, 2);
        if (shape->tau > 0)
            tau = shape->tau;
    }
    const double slow = shape ? shape->slowAbsorb : 0.0;
    const double slowTau = shape && shape->slowTau > 0 ? shape->slowTau : 60.0;
    const double noise = shape ? std::max(0.0, shape->noise) : 0.02;
    const double kickFactor = shape ? shape->kickFactor : 0.0;
    const int kickLo = std::min(55, lines / 2);
    const int kickHi = std::max(kickLo, lines - 5);
    const int kickAt[2] = {uniformInt(rng, kickLo, kickHi), uniformInt(rng, kickLo, kickHi)};

    // The tester's clock: the first line usually shows 0.2 s; sometimes 0 (not stored) or 1 s.
    const int firstRoll = uniformInt(rng, 0, 9);
    const int firstTime = firstRoll == 0 ? 0 : firstRoll == 1 ? 10 : 2;
    for (int n = 0; n < lines; ++n) {
        const int t = firstTime + 2 * n; // tenths of a second
        const double sec = t * 0.1;
        double i = leak + absorb * std::exp(-sec / tau) + slow * std::exp(-sec / slowTau) +
                   creep * std::max(0.0, sec - riseFrom);
        i *= 1.0 + noise * (uniform(rng) - 0.5);
        for (int k = 0; k < kicks; ++k)
            if (n >= kickAt[k] && n < kickAt[k] + 4) {
                const double u = uniform(rng);
                i = kickFactor > 0 ? i * kickFactor * (1.0 + 0.2 * u)
                                   : std::max(i, level * (1.2 + u));
            }
        const int count = std::clamp(static_cast<int>(std::lround(i / unit)), 0, 999999);
        emitLine(bcd(t % 1000000, 3) + bcd(count, 3));
        if (sec > 0) {
            CMeasPoint p;
            p.elapsed = sec;
            p.value.setDouble(count * (rangeFlag == 1 ? 0.1 : 0.001));
            r.Points.push_back(std::move(p));
        }
    }
    emitLine(std::string(6, static_cast<char>(0xFF)));
    r.LineCount = lines;
    r.Announced = lines % 10000; // what four BCD digits can carry
    r.RecalcFinalAndTriggers(-1, m_options.triggValidSec);

    // Trailer: a couple of text lines, then the marker.
    emitLine(formatC("NO.%04d %5.2fkV", dataNo, voltage * 0.01));
    emitLine(formatC("END %d", lines));
    emitLine("KARENO");
    m_serial.push_back({std::move(serial), m_options.recordGapMs});
    m_expected.push_back(std::move(r));
}
