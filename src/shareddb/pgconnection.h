// PgConnection and PgResult: a small RAII layer over libpq's connection and result handles,
// with parameterised statements in binary form and COPY ... FROM STDIN.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

namespace shareddb {

// A failed statement or a lost connection. what() is libpq's own message (UTF-8).
class PgError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One parameter of a statement: text or binary bytes.
struct PgParam {
    std::string bytes;
    bool binary = false;

    static PgParam text(std::string s) { return {std::move(s), false}; }
    static PgParam bin(std::string s) { return {std::move(s), true}; }
    static PgParam int8(int64_t v);  // binary int8
    static PgParam int4(int32_t v);  // binary int4
    static PgParam float8(double v); // binary float8
};

// Owns one PGresult.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* r) : m_r(r) {}
    PgResult(PgResult&& o) noexcept : m_r(std::exchange(o.m_r, nullptr)) {}
    PgResult& operator=(PgResult&& o) noexcept;
    ~PgResult();

    int rows() const;
    // The raw bytes of a field: text form for text results, the wire form for binary ones.
    std::string_view raw(int row, int col) const;
    // Fields of a binary result.
    int64_t int8(int row, int col) const;
    int32_t int4(int row, int col) const;
    double float8(int row, int col) const;
    std::string bytes(int row, int col) const { return std::string(raw(row, col)); }

private:
    pg_result* m_r = nullptr;
};

// Owns one PGconn. Every call throws PgError on failure.
class PgConnection {
public:
    // Connects with the given keyword/value pairs (only the values that are set; libpq takes
    // the rest from its environment variables and ~/.pgpass). Throws PgError when the
    // connection cannot be made.
    explicit PgConnection(const std::vector<std::pair<std::string, std::string>>& params);
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // A statement without parameters (several may be separated by ';'); text results.
    PgResult exec(const std::string& sql);
    // A statement with parameters; binaryResult asks for the results in wire form.
    PgResult execParams(const std::string& sql, const std::vector<PgParam>& params,
                        bool binaryResult = true);

    // COPY ... FROM STDIN: begin, send rows with putCopyData, end with endCopy.
    void beginCopy(const std::string& copySql);
    void putCopyData(std::string_view bytes);
    void endCopy();

    // The server process serving this connection.
    int backendPid() const;
    pg_conn* handle() const { return m_c; }

private:
    [[noreturn]] void fail(pg_result* r);
    PgResult check(pg_result* r);

    pg_conn* m_c = nullptr;
};

// Holds a transaction: BEGIN now, ROLLBACK at destruction unless commit() was called. A
// rollback on a lost connection is skipped.
class PgTransaction {
public:
    explicit PgTransaction(PgConnection& c) : m_c(c) { m_c.exec("BEGIN"); }
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;
    ~PgTransaction();
    void commit()
    {
        m_c.exec("COMMIT");
        m_done = true;
    }

private:
    PgConnection& m_c;
    bool m_done = false;
};

// Builds the rows of COPY ... (FORMAT binary): header, tuples of fields, trailer.
class PgBinaryCopy {
public:
    PgBinaryCopy();
    void beginRow(int16_t fields);
    void field(std::string_view bytes);
    void fieldInt8(int64_t v);
    void fieldInt4(int32_t v);
    void fieldFloat8(double v);
    void finish(); // the trailer
    const std::string& data() const { return m_buf; }

private:
    std::string m_buf;
};

} // namespace shareddb
