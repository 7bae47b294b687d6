// libFuzzer target for the transfer decoder: the first byte chooses replay text or raw serial
// bytes (with the recovery hunt and restart); the rest is the input.
// links: mxr_link mxr_model
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/replaysource.h"
#include "link/memoryport.h"
#include "link/serialsource.h"
#include "link/transferdecoder.h"
#include "model/cxexception.h"

namespace {

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
        MemorySerialPort port(std::string_view(reinterpret_cast<const char*>(data), size));
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
