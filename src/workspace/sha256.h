// SHA-256 (FIPS 180-4), for the digest that ties a stored record to the archived lines it was
// decoded from. Small and dependency-free; not meant for bulk hashing speed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ws {

class Sha256 {
public:
    Sha256();
    void Update(std::string_view bytes);
    // The digest; the object is spent afterwards (call Reset to start again).
    std::array<uint8_t, 32> Final();
    void Reset();

private:
    void Block(const uint8_t* p);

    std::array<uint32_t, 8> m_h;
    std::array<uint8_t, 64> m_buf;
    std::size_t m_used = 0;
    uint64_t m_bits = 0;
};

// The digest of bytes as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace ws
