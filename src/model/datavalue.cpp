// CDataValue conversions.
#include "model/datavalue.h"

#include <cstring>

#include "model/number.h"

CDataValue& CDataValue::operator=(const CDataValue& other)
{
    // Copied first and moved in: a failed allocation leaves this value as it was.
    if (this != &other)
        *this = CDataValue(other);
    return *this;
}

const std::string& CDataValue::text() const
{
    static const std::string empty;
    const std::string* own = ownText();
    return own ? *own : empty;
}

void CDataValue::setText(int32_t tag, std::string text)
{
    // Built before the old text is released, so that a failed allocation leaves the value as
    // it was.
    std::string* owned = text.empty() ? nullptr : new std::string(std::move(text));
    releaseText();
    if (isTextTag(tag)) {
        m_tag = tag;
        m_payload = textBits(owned);
    } else { // not a text kind: keep the tag, the text has nowhere to go
        delete owned;
        m_tag = tag;
        m_payload = 0;
    }
}

double CDataValue::toDouble() const
{
    switch (m_tag) {
    case Int16: return static_cast<int16_t>(m_payload & 0xFFFF);
    case UInt16: return static_cast<uint16_t>(m_payload & 0xFFFF);
    case Bool: return static_cast<int32_t>(m_payload & 0xFFFFFFFF) != 0 ? 1.0 : 0.0;
    case Int32:
    case Long: return static_cast<int32_t>(m_payload & 0xFFFFFFFF);
    case UInt32:
    case ULong: return static_cast<uint32_t>(m_payload & 0xFFFFFFFF);
    case Double:
    case Date: {
        double v;
        std::memcpy(&v, &m_payload, sizeof v);
        return v;
    }
    case Text: return mxrAtof(text());
    default: return 0.0; // Empty, TextNoNumber, unknown tags
    }
}

bool CDataValue::operator==(const CDataValue& other) const
{
    return m_tag == other.m_tag && payload() == other.payload() && text() == other.text();
}
