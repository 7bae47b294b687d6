// PgConnection and PgResult: a small RAII layer over libpq's connection and result handles,
// with parameterised statements in binary form and COPY ... FROM STDIN. Every wait on the
// server is bounded (a time-out) and can be cancelled from another thread or a signal handler.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;
struct pg_cancel;

namespace shareddb {

// Seconds allowed for connecting, for a lock, for a statement and for a silent peer, unless
// the settings say otherwise.
inline constexpr int kDefaultTimeoutSeconds = 30;

// What kind of failure a PgError is: the user's advice depends on it.
enum class PgFailure {
    None,
    Other,
    Unreachable,      // no server at that address, or it refused the connection
    ConnectTimeout,   // the server did not complete the connection in time
    NoPassword,       // the server asks for a password and none was found
    WrongPassword,    // the password (or user) was refused
    NotAllowed,       // the server does not let this user or host in (pg_hba, unknown role)
    UnknownDatabase,  // no database of that name
    PermissionDenied, // the user lacks a right on a table or the database
    LockTimeout,      // another session held a lock longer than the time-out
    StatementTimeout, // a statement ran longer than the time-out
    NoResponse,       // the server went silent (a frozen backend or a dead network)
    ConnectionLost,   // the connection ended in the middle
    Cancelled,        // cancelled on request (PgCancel)
    NoSchema,         // the database has no tables of this program, or another version (the
                      // sync's own finding, never a PgError)
};

// A failed statement or connection. what() is the server's or libpq's own message (UTF-8,
// trimmed: no location lines, no indent).
class PgError : public std::runtime_error {
public:
    explicit PgError(const std::string& text, PgFailure kind = PgFailure::Other,
                     std::string sqlstate = {})
        : std::runtime_error(text), m_kind(kind), m_sqlstate(std::move(sqlstate))
    {
    }
    PgFailure kind() const { return m_kind; }
    const std::string& sqlstate() const { return m_sqlstate; }
    bool connecting = false; // raised while connecting (no statement ran)
    std::string database;    // connecting: the database and user libpq tried
    std::string user;
    std::string note; // what libpq said elsewhere (e.g. why it ignored the password file)

private:
    PgFailure m_kind;
    std::string m_sqlstate;
};

// A cancel request for the connection that uses it: request(), from another thread than the
// one waiting on the server, sends the server a cancel of the running statement (PQcancel,
// which may itself wait on a dead network: call it where that blocks nobody) and wakes the
// waiting thread, which gives the connection up once the statement ends or a short grace
// has passed. Once requested, it stays requested.
class PgCancel {
public:
    PgCancel();
    ~PgCancel();
    PgCancel(const PgCancel&) = delete;
    PgCancel& operator=(const PgCancel&) = delete;

    void request();
    bool requested() const { return m_requested.load(); }

private:
    friend class PgConnection;
    void attach(pg_conn* c);
    void detach();
    int wakeFd() const { return m_fd; }

    std::atomic<bool> m_requested{false};
    int m_fd = -1; // eventfd, readable once requested
    std::mutex m_mutex;
    pg_cancel* m_cancel = nullptr;
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
    // The number of the column with this name; throws PgError when the result has none.
    int column(const char* name) const;
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
    // connection cannot be made. timeoutSeconds bounds the connection, every lock wait and
    // statement (on the server), and every silence of the server (here; TCP keepalives and
    // the TCP user time-out detect a dead peer). cancel, when given, must outlive the
    // connection.
    explicit PgConnection(const std::vector<std::pair<std::string, std::string>>& params,
                          int timeoutSeconds = kDefaultTimeoutSeconds, PgCancel* cancel = nullptr);
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
    // The connection was given up (cancelled, or the server went silent): nothing more is sent.
    bool abandoned() const { return m_abandoned; }

private:
    void connect(const std::vector<std::pair<std::string, std::string>>& params);
    [[noreturn]] void fail(pg_result* r);
    PgResult check(pg_result* r);
    // Sends with send() (unless a cancel was requested) and collects the results.
    pg_result* run(const std::function<int()>& send);
    // Flushes what is queued, then reads until the last result (or a COPY IN result).
    pg_result* collect();
    void flush();
    // Waits until the socket is readable (or also writable), bounded by the time-out and
    // cut short by a cancel. Throws PgError when it gives up.
    void wait(bool forWrite);
    [[noreturn]] void giveUp(PgFailure kind, const std::string& text);

    pg_conn* m_c = nullptr;
    PgCancel* m_cancel = nullptr;
    int m_timeoutMs = kDefaultTimeoutSeconds * 1000;
    bool m_abandoned = false;
    PgFailure m_abandonKind = PgFailure::None;
};

// Holds a transaction: BEGIN now, ROLLBACK at destruction unless commit() was called. A
// rollback on a lost or abandoned connection is skipped (the server rolls back when the
// connection ends).
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
