// CDataValue: the tagged scalar of points and trigger maxima.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// A tag and an 8-byte payload, or a text for the text kinds 9 and 11. The payload keeps the
// 8 bytes exactly as read from a file whatever the tag, so that a store is written back
// byte-identical.
//
// Kept to 16 bytes because every sampled point holds one (a point is then 24 bytes in memory
// for 20 in the file). The text kinds have no payload in the file, so their 8 payload bytes
// hold the owning pointer to the text instead: the rare text values live out of line and the
// common numeric value carries nothing but its tag and payload.
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
    // A value of a non-text tag with its raw payload, as setRaw makes it.
    static CDataValue Raw(int32_t tag, uint64_t payload)
    {
        CDataValue v;
        v.m_tag = tag;
        v.m_payload = isTextTag(tag) ? 0 : payload;
        return v;
    }
    CDataValue(const CDataValue& other) : m_tag(other.m_tag), m_payload(other.m_payload)
    {
        if (const std::string* text = other.ownText())
            m_payload = textBits(new std::string(*text));
    }
    CDataValue(CDataValue&& other) noexcept : m_tag(other.m_tag), m_payload(other.m_payload)
    {
        other.m_tag = Empty;
        other.m_payload = 0;
    }
    CDataValue& operator=(const CDataValue& other);
    CDataValue& operator=(CDataValue&& other) noexcept
    {
        if (this != &other) {
            releaseText();
            m_tag = other.m_tag;
            m_payload = other.m_payload;
            other.m_tag = Empty;
            other.m_payload = 0;
        }
        return *this;
    }
    ~CDataValue() { releaseText(); }

    static bool isTextTag(int32_t tag) { return tag == Text || tag == TextNoNumber; }

    int32_t tag() const { return m_tag; }
    bool isText() const { return isTextTag(m_tag); }
    // The raw 8 payload bytes (little-endian order as in the file); 0 for the text kinds.
    uint64_t payload() const { return isText() ? 0 : m_payload; }
    // The text of a text kind; empty otherwise.
    const std::string& text() const;

    void setDouble(double v)
    {
        releaseText();
        m_tag = Double;
        std::memcpy(&m_payload, &v, sizeof v);
    }
    // Any non-text tag with its raw payload (also tags outside 0..11, kept as read). A text tag
    // given here has no payload to keep: it becomes that kind with an empty text.
    void setRaw(int32_t tag, uint64_t payload)
    {
        releaseText();
        m_tag = tag;
        m_payload = isTextTag(tag) ? 0 : payload;
    }
    void setText(int32_t tag, std::string text);

    // The numeric value of the tag (tags outside 0..11 give 0.0).
    double toDouble() const;

    bool operator==(const CDataValue& other) const;

private:
    std::string* ownText() const
    {
        return isText() ? reinterpret_cast<std::string*>(static_cast<uintptr_t>(m_payload))
                        : nullptr;
    }
    static uint64_t textBits(std::string* text)
    {
        return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text));
    }
    void releaseText() { delete ownText(); }

    int32_t m_tag = Empty;
    // Any tag but the text kinds: the raw payload. The text kinds: the address of the owned
    // text, 0 for an empty text.
    uint64_t m_payload = 0;
};

static_assert(sizeof(CDataValue) == 16, "a point's value must stay 16 bytes");
