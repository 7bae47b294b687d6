// libFuzzer target for the transfer decoder: the first byte chooses replay text or raw serial
// bytes (with the recovery hunt and restart); the rest is the input.
// links: mxr_link mxr_model
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/replaysource.h"
#include "link/serialsource.h"
#include "link/transferdecoder.h"
#include "model/cxexception.h"

namespace {

// Serves the input one Read at a time; at its end every read times out (-2).
class MemoryPort : public ISerialPort {
public:
    MemoryPort(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    void SetParam(const CCommSetting&) override {}
    bool Open() override { return true; }
    bool Close() override { return true; }
    bool SetCommTimeout(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override { return true; }
    void SetTimeout(uint32_t) override {}
    int Read(unsigned char* buffer, std::size_t count, std::size_t& received) override
    {
        received = std::min(count, m_size - m_pos);
        std::memcpy(buffer, m_data + m_pos, received);
        m_pos += received;
        return received == count ? 0 : -2;
    }
    uint32_t GetErrorCode() const override { return 0; }
    std::string ErrorText() const override { return {}; }
    bool IsOpen() const override { return true; }
    void SetupLog(const std::string&) override {}

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void check(const std::vector<ReceivedRecord>& records)
{
    for (const ReceivedRecord& r : records)
        if (r.UsedPoints != static_cast<int>(r.Points.size()))
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool serial = data[0] & 1;
    ++data;
    --size;
    std::vector<ReceivedRecord> records;
    std::atomic<bool> show{true}, running{true};
    std::size_t shown = 0;
    const auto showFn = [&](const std::string& t) { shown += t.size(); };

    if (!serial) {
        ReplaySource src;
        src.attachText(std::string(reinterpret_cast<const char*>(data), size));
        CTransferDecoder dec(src, records, showFn, show, 10);
        try {
            // A replay always ends: each pass takes a line, and past the end the 0xFF block
            // ends the transfer, a record or fails the date block.
            for (std::size_t pass = 0; pass <= size + 4; ++pass)
                if (!dec.pass()) {
                    check(records);
                    return 0;
                }
            __builtin_trap(); // did not end
        } catch (const CxException&) {
        }
    } else {
        MemoryPort port(data, size);
        SerialSource src(port);
        CTransferDecoder dec(src, records, showFn, show, 10);
        for (;;) {
            const std::size_t before = records.size();
            try {
                dec.run(running);
                break;
            } catch (const CxException&) {
            }
            if (records.size() < before)
                __builtin_trap(); // completed records must survive a recovery
            try {
                huntMarker(port);
            } catch (const CxException&) {
                break;
            }
            dec.restart();
        }
    }
    check(records);
    return 0;
}
