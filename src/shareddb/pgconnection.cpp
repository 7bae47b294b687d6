// The libpq wrapper: connection, results, parameters in binary form, COPY; bounded waits and
// cancels.
#include "shareddb/pgconnection.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
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

using Clock = std::chrono::steady_clock;

// libpq's and the server's text without the indent of continuation lines, empty lines, the
// source location of verbose messages and the SQLSTATE that verbose messages put after the
// severity ("FATAL:  3D000: database ..."), which the caller takes separately.
std::string trimmed(const char* text)
{
    std::string in = text ? text : "", out;
    std::size_t at = 0;
    while (at <= in.size()) {
        std::size_t end = in.find('\n', at);
        if (end == std::string::npos)
            end = in.size();
        std::string line = in.substr(at, end - at);
        at = end + 1;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            continue;
        line.erase(0, first);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
            line.pop_back();
        if (line.rfind("LOCATION:", 0) == 0)
            continue;
        const std::size_t sev = line.find(":  ");
        if (sev != std::string::npos && sev + 9 <= line.size() &&
            line.compare(sev + 8, 2, ": ") == 0 &&
            std::all_of(line.begin() + static_cast<long>(sev) + 3,
                        line.begin() + static_cast<long>(sev) + 8, [](char c) {
                            return std::isupper(static_cast<unsigned char>(c)) ||
                                   std::isdigit(static_cast<unsigned char>(c));
                        }))
            line.erase(sev + 3, 7);
        out += (out.empty() ? "" : "\n") + line;
    }
    return out;
}

// The SQLSTATE in a verbose message ("FATAL:  28P01: password ..."), empty when none.
std::string sqlstateOf(const char* text)
{
    const std::string s = text ? text : "";
    for (std::size_t at = s.find(":  "); at != std::string::npos; at = s.find(":  ", at + 1)) {
        if (at + 10 > s.size() || s.compare(at + 8, 2, ": ") != 0)
            continue;
        const std::string code = s.substr(at + 3, 5);
        if (std::all_of(code.begin(), code.end(), [](char c) {
                return std::isupper(static_cast<unsigned char>(c)) ||
                       std::isdigit(static_cast<unsigned char>(c));
            }))
            return code;
    }
    return {};
}

// The failure a statement's SQLSTATE stands for.
PgFailure failureOfState(const std::string& state)
{
    if (state == "55P03")
        return PgFailure::LockTimeout;
    if (state == "57014")
        return PgFailure::StatementTimeout;
    if (state == "42501")
        return PgFailure::PermissionDenied;
    if (state == "57P01" || state == "57P02" || state == "57P03" || state.rfind("08", 0) == 0)
        return PgFailure::ConnectionLost;
    return PgFailure::Other;
}

// Why libpq ignored the password file, in its own words (it writes them to standard error,
// not to the connection's message): empty when the file is usable or absent.
std::string passwordFileProblem(pg_conn* c)
{
    std::string path;
    if (PQconninfoOption* info = PQconninfo(c)) {
        for (PQconninfoOption* o = info; o->keyword; ++o)
            if (std::strcmp(o->keyword, "passfile") == 0 && o->val)
                path = o->val;
        PQconninfoFree(info);
    }
    if (path.empty()) {
        if (const char* env = std::getenv("PGPASSFILE"); env && *env)
            path = env;
        else if (const char* home = std::getenv("HOME"); home && *home)
            path = std::string(home) + "/.pgpass";
    }
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return "WARNING: password file \"" + path + "\" is not a plain file";
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        return "WARNING: password file \"" + path +
               "\" has group or world access; permissions should be u=rw (0600) or less";
    return {};
}

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// How long a cancelled statement may take to end before the connection is given up.
int graceMs(int timeoutMs)
{
    return std::clamp(timeoutMs, 1000, 5000);
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

int PgResult::column(const char* name) const
{
    const int col = m_r ? PQfnumber(m_r, name) : -1;
    if (col < 0)
        throw PgError(std::string("result has no column ") + name);
    return col;
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

PgCancel::PgCancel() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PgCancel::~PgCancel()
{
    detach();
    if (m_fd >= 0)
        ::close(m_fd);
}

void PgCancel::attach(pg_conn* c)
{
    std::lock_guard lock(m_mutex);
    if (m_cancel)
        PQfreeCancel(m_cancel);
    m_cancel = PQgetCancel(c);
}

void PgCancel::detach()
{
    std::lock_guard lock(m_mutex);
    if (m_cancel)
        PQfreeCancel(m_cancel);
    m_cancel = nullptr;
}

void PgCancel::request()
{
    m_requested = true;
    if (m_fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_fd, &one, sizeof one);
    }
    std::lock_guard lock(m_mutex);
    if (m_cancel) {
        char error[256];
        PQcancel(m_cancel, error, sizeof error);
    }
}

PgConnection::PgConnection(const std::vector<std::pair<std::string, std::string>>& params,
                           int timeoutSeconds, PgCancel* cancel)
    : m_cancel(cancel), m_timeoutMs(std::max(1, timeoutSeconds) * 1000)
{
    connect(params);
    if (m_cancel)
        m_cancel->attach(m_c);
    // Lock waits and statements end on the server after the time-out; the server's error
    // names which of the two it was. A statement waiting for a lock is given a second more,
    // so that the lock's time-out is the one that tells.
    try {
        exec("SET lock_timeout = " + std::to_string(m_timeoutMs) +
             "; SET statement_timeout = " + std::to_string(m_timeoutMs + 1000));
    } catch (PgError& e) {
        if (m_cancel)
            m_cancel->detach();
        PQfinish(m_c);
        m_c = nullptr;
        e.connecting = true;
        throw;
    }
}

void PgConnection::connect(const std::vector<std::pair<std::string, std::string>>& given)
{
    std::vector<std::pair<std::string, std::string>> params = given;
    auto add = [&](const char* key, const std::string& value) {
        for (const auto& kv : params)
            if (kv.first == key)
                return;
        params.emplace_back(key, value);
    };
    const int t = m_timeoutMs / 1000;
    // Names and texts travel as bytea; the text columns are filled on the server's side from
    // UTF-8 that the client converted, so the client encoding is fixed.
    add("client_encoding", "UTF8");
    add("connect_timeout", std::to_string(t));
    // A peer that vanished (a cable pulled, a server powered off) is noticed on TCP within
    // about the time-out, even while nothing is being sent.
    add("keepalives", "1");
    add("keepalives_idle", std::to_string(std::max(1, t / 3)));
    add("keepalives_interval", std::to_string(std::max(1, t / 6)));
    add("keepalives_count", "3");
    add("tcp_user_timeout", std::to_string(m_timeoutMs));
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : params) {
        keys.push_back(k.c_str());
        values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_c = PQconnectStartParams(keys.data(), values.data(), 0);
    if (!m_c)
        throw PgError("out of memory");
    // Verbose messages carry the server's SQLSTATE, which tells the failures apart.
    PQsetErrorVerbosity(m_c, PQERRORS_VERBOSE);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    PostgresPollingStatusType polled = PGRES_POLLING_WRITING;
    bool reached = false; // a server answered at the address
    PgFailure interrupted = PgFailure::None;
    while (PQstatus(m_c) != CONNECTION_BAD && polled != PGRES_POLLING_OK &&
           polled != PGRES_POLLING_FAILED) {
        const ConnStatusType status = PQstatus(m_c);
        reached = reached || (status != CONNECTION_STARTED && status != CONNECTION_NEEDED);
        pollfd fds[2] = {{PQsocket(m_c),
                          static_cast<short>(polled == PGRES_POLLING_READING ? POLLIN : POLLOUT),
                          0},
                         {m_cancel ? m_cancel->wakeFd() : -1, POLLIN, 0}};
        if (m_cancel && m_cancel->requested()) {
            interrupted = PgFailure::Cancelled;
            break;
        }
        const int left = remainingMs(deadline);
        if (left == 0) {
            interrupted = PgFailure::ConnectTimeout;
            break;
        }
        if (fds[0].fd >= 0) {
            const int n = ::poll(fds, 2, left);
            if (n < 0 && errno != EINTR)
                break;
            if (n <= 0 || (fds[0].revents == 0 && fds[1].revents != 0))
                continue;
        }
        polled = PQconnectPoll(m_c);
    }
    if (interrupted == PgFailure::None && PQstatus(m_c) == CONNECTION_OK) {
        PQsetErrorVerbosity(m_c, PQERRORS_DEFAULT);
        PQsetnonblocking(m_c, 1);
        return;
    }

    const char* raw = PQerrorMessage(m_c);
    const std::string state = sqlstateOf(raw);
    PgFailure kind = interrupted;
    std::string note;
    if (kind == PgFailure::None) {
        if (PQconnectionNeedsPassword(m_c)) {
            kind = PgFailure::NoPassword;
            note = passwordFileProblem(m_c);
        } else if (state == "28P01") {
            kind = PgFailure::WrongPassword;
        } else if (state.rfind("28", 0) == 0) {
            kind = PgFailure::NotAllowed;
        } else if (state == "3D000") {
            kind = PgFailure::UnknownDatabase;
        } else if (state == "42501") {
            kind = PgFailure::PermissionDenied;
        } else if (state == "57P03" || (!reached && state.empty())) {
            kind = PgFailure::Unreachable;
        } else {
            kind = PgFailure::Other;
        }
    }
    std::string text = trimmed(raw);
    if (kind == PgFailure::ConnectTimeout)
        text = "timeout expired" + (text.empty() ? "" : "\n" + text);
    PgError e(text, kind, state);
    e.connecting = true;
    e.database = PQdb(m_c) ? PQdb(m_c) : "";
    e.user = PQuser(m_c) ? PQuser(m_c) : "";
    e.note = note;
    PQfinish(m_c);
    m_c = nullptr;
    throw e;
}

PgConnection::~PgConnection()
{
    if (m_cancel)
        m_cancel->detach();
    PQfinish(m_c);
}

void PgConnection::giveUp(PgFailure kind, const std::string& text)
{
    // The connection is in an unknown state (a statement may still run): nothing more is
    // sent on it; closing it makes the server roll back what is open.
    m_abandoned = true;
    m_abandonKind = kind;
    throw PgError(text, kind);
}

void PgConnection::wait(bool forWrite)
{
    const bool cancelled = m_cancel && m_cancel->requested();
    // The server's statement time-out (a second after the time-out) comes first when the
    // server is alive.
    const int limit = cancelled ? graceMs(m_timeoutMs) : m_timeoutMs + 1000 + graceMs(m_timeoutMs);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
    for (;;) {
        const bool cancelNow = m_cancel && m_cancel->requested();
        if (cancelNow && !cancelled)
            return wait(forWrite); // the grace starts now
        pollfd fds[2] = {{PQsocket(m_c), static_cast<short>(POLLIN | (forWrite ? POLLOUT : 0)), 0},
                         {cancelNow || !m_cancel ? -1 : m_cancel->wakeFd(), POLLIN, 0}};
        if (fds[0].fd < 0)
            giveUp(PgFailure::ConnectionLost, trimmed(PQerrorMessage(m_c)));
        const int left = remainingMs(deadline);
        if (left == 0) {
            if (cancelNow)
                giveUp(PgFailure::Cancelled, "cancelled");
            giveUp(PgFailure::NoResponse,
                   "no answer from the server for " + std::to_string(limit / 1000) + " s");
        }
        const int n = ::poll(fds, 2, left);
        if (n < 0 && errno != EINTR)
            giveUp(PgFailure::ConnectionLost, std::strerror(errno));
        if (n > 0 && fds[0].revents != 0)
            return;
    }
}

void PgConnection::flush()
{
    for (;;) {
        const int r = PQflush(m_c);
        if (r == 0)
            return;
        if (r < 0)
            fail(nullptr);
        wait(true);
        if (PQconsumeInput(m_c) == 0)
            fail(nullptr);
    }
}

pg_result* PgConnection::collect()
{
    flush();
    pg_result* kept = nullptr;
    for (;;) {
        while (PQisBusy(m_c)) {
            wait(false);
            if (PQconsumeInput(m_c) == 0) {
                PQclear(kept);
                fail(nullptr);
            }
        }
        pg_result* r = PQgetResult(m_c);
        if (!r)
            return kept;
        const auto status = PQresultStatus(r);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) {
            PQclear(kept);
            return r;
        }
        // As PQexec: the last result, unless an earlier one was an error.
        const bool keptFailed = kept && PQresultStatus(kept) == PGRES_FATAL_ERROR;
        if (keptFailed) {
            PQclear(r);
        } else {
            PQclear(kept);
            kept = r;
        }
    }
}

pg_result* PgConnection::run(const std::function<int()>& send)
{
    if (m_abandoned)
        throw PgError("the connection was given up", m_abandonKind);
    if (m_cancel && m_cancel->requested())
        giveUp(PgFailure::Cancelled, "cancelled");
    if (send() != 1)
        fail(nullptr);
    return collect();
}

void PgConnection::fail(pg_result* r)
{
    std::string message = trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(m_c));
    if (message.empty())
        message = trimmed(PQerrorMessage(m_c));
    const char* field = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const std::string state = field ? field : "";
    PQclear(r);
    PgFailure kind = failureOfState(state);
    if (kind == PgFailure::StatementTimeout && m_cancel && m_cancel->requested())
        kind = PgFailure::Cancelled;
    if (PQstatus(m_c) == CONNECTION_BAD)
        kind = PgFailure::ConnectionLost;
    if (kind == PgFailure::Cancelled) {
        m_abandoned = true;
        m_abandonKind = kind;
    }
    throw PgError(message, kind, state);
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
    return check(run([&] { return PQsendQuery(m_c, sql.c_str()); }));
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
    return check(run([&] {
        return PQsendQueryParams(m_c, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                 values.data(), lengths.data(), formats.data(),
                                 binaryResult ? 1 : 0);
    }));
}

void PgConnection::beginCopy(const std::string& copySql)
{
    pg_result* r = run([&] { return PQsendQuery(m_c, copySql.c_str()); });
    if (!r || PQresultStatus(r) != PGRES_COPY_IN)
        fail(r);
    PQclear(r);
}

void PgConnection::putCopyData(std::string_view bytes)
{
    // libpq takes an int length: large buffers go in pieces; a full buffer is sent first.
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t n = std::min(kPiece, bytes.size() - at);
        const int r = PQputCopyData(m_c, bytes.data() + at, static_cast<int>(n));
        if (r < 0)
            fail(nullptr);
        if (r == 0) {
            wait(true);
            if (PQconsumeInput(m_c) == 0 || PQflush(m_c) < 0)
                fail(nullptr);
            continue;
        }
        at += n;
        if (PQflush(m_c) < 0)
            fail(nullptr);
    }
}

void PgConnection::endCopy()
{
    int r;
    while ((r = PQputCopyEnd(m_c, nullptr)) == 0) {
        wait(true);
        if (PQconsumeInput(m_c) == 0)
            fail(nullptr);
    }
    if (r < 0)
        fail(nullptr);
    // The COPY's own result is the last one.
    pg_result* result = collect();
    if (!result || PQresultStatus(result) != PGRES_COMMAND_OK)
        fail(result);
    PQclear(result);
}

int PgConnection::backendPid() const
{
    return PQbackendPID(m_c);
}

PgTransaction::~PgTransaction()
{
    if (m_done || m_c.abandoned() || PQstatus(m_c.handle()) != CONNECTION_OK)
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
