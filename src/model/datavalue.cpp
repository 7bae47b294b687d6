// CDataValue conversions.
#include "model/datavalue.h"

#include <cstring>

#include "model/number.h"

CDataValue::CDataValue(const CDataValue& other)
    : m_tag(other.m_tag), m_payload(other.m_payload),
      m_text(other.m_text ? std::make_unique<std::string>(*other.m_text) : nullptr)
{
}

CDataValue& CDataValue::operator=(const CDataValue& other)
{
    if (this != &other) {
        m_tag = other.m_tag;
        m_payload = other.m_payload;
        m_text = other.m_text ? std::make_unique<std::string>(*other.m_text) : nullptr;
    }
    return *this;
}

const std::string& CDataValue::text() const
{
    static const std::string empty;
    return m_text ? *m_text : empty;
}

void CDataValue::setDouble(double v)
{
    m_text.reset();
    m_tag = Double;
    std::memcpy(&m_payload, &v, sizeof v);
}

void CDataValue::setRaw(int32_t tag, uint64_t payload)
{
    m_text.reset();
    m_tag = tag;
    m_payload = payload;
}

void CDataValue::setText(int32_t tag, std::string text)
{
    m_tag = tag;
    m_payload = 0;
    m_text = std::make_unique<std::string>(std::move(text));
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
    return m_tag == other.m_tag && m_payload == other.m_payload && text() == other.text();
}
