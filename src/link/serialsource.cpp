// Blocks, lines and the marker hunt on a serial port.
#include "link/serialsource.h"

#include <vector>

std::string SerialSource::readBlock(std::size_t n)
{
    std::string block(n, '\0');
    std::size_t got = 0;
    const int r = m_port.Read(reinterpret_cast<unsigned char*>(block.data()), n, got);
    if (r != 0)
        throwCommError(r);
    return block;
}

std::string SerialSource::readLine()
{
    std::string line;
    bool overlong = false;
    for (;;) {
        unsigned char c = 0;
        std::size_t got = 0;
        const int r = m_port.Read(&c, 1, got);
        if (r != 0)
            throwCommError(r);
        if (c == '\r') {
            if (!overlong)
                return line;
            overlong = false; // the over-long line ends here; take the next one
            line.clear();
            continue;
        }
        if (line.size() < kLineBufferSize)
            line.push_back(static_cast<char>(c));
        else
            overlong = true;
    }
}

std::string SerialSource::readDataLine(const DecodeContext&)
{
    for (;;) {
        std::string line = readLine();
        if (line.size() == 6)
            return line;
    }
}

void huntMarker(ISerialPort& port, std::string* consumed)
{
    static const char marker[] = "KARENO";
    std::size_t matched = 0;
    unsigned char c = 0;
    std::size_t got = 0;
    while (matched < 6) {
        const int r = port.Read(&c, 1, got);
        if (r != 0)
            throwCommError(r);
        if (consumed)
            consumed->push_back(static_cast<char>(c));
        // A byte that breaks the match starts the comparison over and is not itself compared
        // again, so "KKARENO" is not a marker: a genuine marker line begins after a carriage
        // return, and taking one out of the middle of garbage would restart inside a record.
        if (c == static_cast<unsigned char>(marker[matched]))
            ++matched;
        else
            matched = 0;
    }
    do {
        const int r = port.Read(&c, 1, got);
        if (r != 0)
            throwCommError(r);
        if (consumed)
            consumed->push_back(static_cast<char>(c));
    } while (c != '\r');
}
