// MemorySerialPort: a serial port that serves bytes from memory, for decoding a captured or
// generated stream without a device (benchmarks, fuzzing). When the bytes run out every read
// times out, as a silent line does.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "link/serialport.h"

class MemorySerialPort : public ISerialPort {
public:
    // The bytes are not copied: they must outlive the port.
    explicit MemorySerialPort(std::string_view bytes) : m_bytes(bytes) {}
    void Rewind() { m_pos = 0; }

    void SetParam(const CCommSetting&) override {}
    bool Open() override { return true; }
    bool Close() override { return true; }
    bool SetCommTimeout(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override { return true; }
    void SetTimeout(uint32_t) override {}
    int Read(unsigned char* buffer, std::size_t count, std::size_t& received) override
    {
        received = std::min(count, m_bytes.size() - m_pos);
        std::memcpy(buffer, m_bytes.data() + m_pos, received);
        m_pos += received;
        return received == count ? 0 : -2;
    }
    uint32_t GetErrorCode() const override { return 0; }
    std::string ErrorText() const override { return {}; }
    bool IsOpen() const override { return true; }
    void SetupLog(const std::string&) override {}

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};
