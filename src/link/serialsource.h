// SerialSource: the transfer stream read from a serial port, and the recovery's marker hunt.
#pragma once

#include "link/serialport.h"
#include "link/transfersource.h"

class SerialSource : public ITransferSource {
public:
    explicit SerialSource(ISerialPort& port) : m_port(port) {}

    SourceKind kind() const override { return SourceKind::Serial; }
    std::string readHeader(const DecodeContext&) override { return readBlock(7); }
    void afterHeader() override { readBlock(1); }
    std::string readDate(const DecodeContext&) override { return readBlock(9).substr(0, 8); }
    std::string readDataLine(const DecodeContext&) override;
    std::string readTrailerLine(const DecodeContext&) override { return readLine(); }

    // Exactly n bytes, or "通信異常 [%d]".
    std::string readBlock(std::size_t n);
    // The bytes before the next carriage return. A line longer than kLineBufferSize is
    // dropped whole (read up to its carriage return and not kept) and the next line is read.
    std::string readLine();

private:
    ISerialPort& m_port;
};

// Reads single bytes until "KARENO" (exact case) has arrived in a row, a byte that breaks the
// match not being compared again (so "KKARENO" does not match), then the rest of that
// marker line up to its carriage return, so that the next byte read is the start of the next
// record. A failing read throws "通信異常 [%d]". Every byte read is appended to consumed when
// given (also those read before a failing read).
void huntMarker(ISerialPort& port, std::string* consumed = nullptr);
