// CDataValue: the tagged scalar of points and trigger maxima.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A tag and an 8-byte payload, or a text for the text kinds 9 and 11. The payload keeps the
// 8 bytes exactly as read from a file whatever the tag, so that a store is written back
// byte-identical. Kept small (24 bytes) because every sampled point holds one.
class CDataValue {
public:
    enum Tag : int32_t {
        Empty = 0,
        Int16 = 1,
        UInt16 = 2,
        Bool = 3,
        Int32 = 4,
        UInt32 = 5,
        Long = 6,
        ULong = 7,
        Double = 8,
        Text = 9,
        Date = 10,
        TextNoNumber = 11,
    };

    CDataValue() = default;
    explicit CDataValue(double v) { setDouble(v); }
    CDataValue(const CDataValue& other);
    CDataValue& operator=(const CDataValue& other);
    CDataValue(CDataValue&&) noexcept = default;
    CDataValue& operator=(CDataValue&&) noexcept = default;

    static bool isTextTag(int32_t tag) { return tag == Text || tag == TextNoNumber; }

    int32_t tag() const { return m_tag; }
    bool isText() const { return isTextTag(m_tag); }
    // The raw 8 payload bytes (little-endian order as in the file); 0 for the text kinds.
    uint64_t payload() const { return m_payload; }
    // The text of a text kind; empty otherwise.
    const std::string& text() const;

    void setDouble(double v);
    // Any non-text tag with its raw payload (also tags outside 0..11, kept as read).
    void setRaw(int32_t tag, uint64_t payload);
    void setText(int32_t tag, std::string text);

    // The numeric value of the tag (tags outside 0..11 give 0.0).
    double toDouble() const;

    bool operator==(const CDataValue& other) const;

private:
    int32_t m_tag = Empty;
    uint64_t m_payload = 0;
    std::unique_ptr<std::string> m_text; // set only for the text kinds
};
