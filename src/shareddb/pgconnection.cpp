// The libpq wrapper: connection, results, parameters in binary form, COPY.
#include "shareddb/pgconnection.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <libpq-fe.h>

namespace shareddb {
namespace {

template <class T> T swapBytes(T v)
{
    if constexpr (sizeof v == 2)
        return __builtin_bswap16(v);
    else if constexpr (sizeof v == 4)
        return __builtin_bswap32(v);
    else
        return __builtin_bswap64(v);
}

template <class T> std::string bigEndian(T v)
{
    if constexpr (std::endian::native == std::endian::little)
        v = swapBytes(v);
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

template <class T> T fromBigEndian(std::string_view s)
{
    T v{};
    if (s.size() != sizeof v)
        throw PgError("unexpected field size");
    std::memcpy(&v, s.data(), sizeof v);
    if constexpr (std::endian::native == std::endian::little)
        v = swapBytes(v);
    return v;
}

std::string trimmed(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

} // namespace

PgParam PgParam::int8(int64_t v)
{
    return bin(bigEndian(static_cast<uint64_t>(v)));
}

PgParam PgParam::int4(int32_t v)
{
    return bin(bigEndian(static_cast<uint32_t>(v)));
}

PgParam PgParam::float8(double v)
{
    return bin(bigEndian(std::bit_cast<uint64_t>(v)));
}

PgResult& PgResult::operator=(PgResult&& o) noexcept
{
    if (this != &o) {
        PQclear(m_r);
        m_r = std::exchange(o.m_r, nullptr);
    }
    return *this;
}

PgResult::~PgResult()
{
    PQclear(m_r);
}

int PgResult::rows() const
{
    return m_r ? PQntuples(m_r) : 0;
}

std::string_view PgResult::raw(int row, int col) const
{
    return {PQgetvalue(m_r, row, col), static_cast<std::size_t>(PQgetlength(m_r, row, col))};
}

int64_t PgResult::int8(int row, int col) const
{
    return static_cast<int64_t>(fromBigEndian<uint64_t>(raw(row, col)));
}

int32_t PgResult::int4(int row, int col) const
{
    return static_cast<int32_t>(fromBigEndian<uint32_t>(raw(row, col)));
}

double PgResult::float8(int row, int col) const
{
    return std::bit_cast<double>(fromBigEndian<uint64_t>(raw(row, col)));
}

PgConnection::PgConnection(const std::vector<std::pair<std::string, std::string>>& params)
{
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : params) {
        keys.push_back(k.c_str());
        values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_c = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!m_c)
        throw PgError("out of memory");
    if (PQstatus(m_c) != CONNECTION_OK) {
        std::string message = trimmed(PQerrorMessage(m_c));
        PQfinish(m_c);
        m_c = nullptr;
        throw PgError(message);
    }
    // Names and texts travel as bytea; the text columns are filled on the server's side from
    // UTF-8 that the client converted, so the client encoding is fixed.
    PQsetClientEncoding(m_c, "UTF8");
}

PgConnection::~PgConnection()
{
    PQfinish(m_c);
}

void PgConnection::fail(pg_result* r)
{
    std::string message = trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(m_c));
    if (message.empty())
        message = trimmed(PQerrorMessage(m_c));
    PQclear(r);
    throw PgError(message);
}

PgResult PgConnection::check(pg_result* r)
{
    const auto status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN)
        fail(r);
    return PgResult(r);
}

PgResult PgConnection::exec(const std::string& sql)
{
    return check(PQexec(m_c, sql.c_str()));
}

PgResult PgConnection::execParams(const std::string& sql, const std::vector<PgParam>& params,
                                  bool binaryResult)
{
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const PgParam& p : params) {
        values.push_back(p.bytes.data());
        lengths.push_back(static_cast<int>(p.bytes.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    return check(PQexecParams(m_c, sql.c_str(), static_cast<int>(params.size()), nullptr,
                              values.data(), lengths.data(), formats.data(), binaryResult ? 1 : 0));
}

void PgConnection::beginCopy(const std::string& copySql)
{
    pg_result* r = PQexec(m_c, copySql.c_str());
    if (!r || PQresultStatus(r) != PGRES_COPY_IN)
        fail(r);
    PQclear(r);
}

void PgConnection::putCopyData(std::string_view bytes)
{
    // libpq takes an int length: large buffers go in pieces.
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, bytes.size() - at);
        if (PQputCopyData(m_c, bytes.data() + at, static_cast<int>(n)) != 1)
            fail(nullptr);
    }
}

void PgConnection::endCopy()
{
    if (PQputCopyEnd(m_c, nullptr) != 1)
        fail(nullptr);
    // The COPY's own result, then the end of the results.
    pg_result* r = PQgetResult(m_c);
    if (!r || PQresultStatus(r) != PGRES_COMMAND_OK) {
        while (pg_result* more = PQgetResult(m_c))
            PQclear(more);
        fail(r);
    }
    PQclear(r);
    while (pg_result* more = PQgetResult(m_c))
        PQclear(more);
}

int PgConnection::backendPid() const
{
    return PQbackendPID(m_c);
}

PgTransaction::~PgTransaction()
{
    if (m_done || PQstatus(m_c.handle()) != CONNECTION_OK)
        return;
    try {
        m_c.exec("ROLLBACK");
    } catch (...) {
        // Nothing more to do: the server rolls back when the connection ends.
    }
}

PgBinaryCopy::PgBinaryCopy()
{
    static const char kHeader[] = "PGCOPY\n\377\r\n";
    m_buf.append(kHeader, 11);
    m_buf.append(8, '\0'); // flags, header extension length
}

void PgBinaryCopy::beginRow(int16_t fields)
{
    m_buf += bigEndian(static_cast<uint16_t>(fields));
}

void PgBinaryCopy::field(std::string_view bytes)
{
    m_buf += bigEndian(static_cast<uint32_t>(bytes.size()));
    m_buf.append(bytes);
}

void PgBinaryCopy::fieldInt8(int64_t v)
{
    field(bigEndian(static_cast<uint64_t>(v)));
}

void PgBinaryCopy::fieldInt4(int32_t v)
{
    field(bigEndian(static_cast<uint32_t>(v)));
}

void PgBinaryCopy::fieldFloat8(double v)
{
    field(bigEndian(std::bit_cast<uint64_t>(v)));
}

void PgBinaryCopy::finish()
{
    m_buf += bigEndian(static_cast<uint16_t>(0xFFFF));
}

} // namespace shareddb
