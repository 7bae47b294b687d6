#include "workspace/sqlitedb.h"

#include <sqlite3.h>

namespace sqlite {
namespace {

[[noreturn]] void fail(sqlite3* db, int rc, std::string_view what)
{
    std::string text(what);
    text += ": ";
    text += db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw Error(rc, text);
}

} // namespace

Db& Db::operator=(Db&& other) noexcept
{
    if (this != &other) {
        Close();
        m_db = other.m_db;
        other.m_db = nullptr;
    }
    return *this;
}

void Db::Open(const std::string& path, bool create)
{
    Close();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string text = std::string("open ") + path + ": " +
                                 (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        throw Error(rc, text);
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 0);
    // Another program (mxrtool, a second window) may hold the write lock for a moment.
    sqlite3_busy_timeout(m_db, 10000);
}

void Db::Close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Db::Exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw Error(rc, text);
    }
}

int64_t Db::LastInsertId() const { return sqlite3_last_insert_rowid(m_db); }
int Db::Changes() const { return sqlite3_changes(m_db); }

Stmt::Stmt(const Db& db, std::string_view sql) : m_db(db.get())
{
    const int rc = sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &m_stmt,
                                      nullptr);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "prepare");
}

Stmt::~Stmt() { sqlite3_finalize(m_stmt); }

Stmt& Stmt::Bind(int index, int64_t value)
{
    const int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "bind");
    return *this;
}

Stmt& Stmt::Bind(int index, std::string_view text)
{
    const int rc = sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "bind");
    return *this;
}

Stmt& Stmt::BindBlob(int index, std::string_view bytes)
{
    const int rc = sqlite3_bind_blob64(m_stmt, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "bind");
    return *this;
}

Stmt& Stmt::BindNull(int index)
{
    const int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "bind");
    return *this;
}

bool Stmt::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, rc, "step");
}

void Stmt::Run()
{
    while (Step()) {
    }
    Reset();
}

void Stmt::Reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int64_t Stmt::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

double Stmt::Real(int column) const { return sqlite3_column_double(m_stmt, column); }

Stmt& Stmt::BindReal(int index, double value)
{
    const int rc = sqlite3_bind_double(m_stmt, index, value);
    if (rc != SQLITE_OK)
        fail(m_db, rc, "bind");
    return *this;
}

std::string Stmt::Text(int column) const
{
    const void* data = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string();
}

bool Stmt::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Transaction::Transaction(Db& db) : m_db(db), m_nested(sqlite3_get_autocommit(db.get()) == 0)
{
    m_db.Exec(m_nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.Exec(m_nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
        } catch (const Error&) {
            // The connection rolled back by itself (a failed COMMIT of a full disk).
        }
    }
}

void Transaction::Commit()
{
    m_db.Exec(m_nested ? "RELEASE nested" : "COMMIT");
    m_done = true;
}

} // namespace sqlite
