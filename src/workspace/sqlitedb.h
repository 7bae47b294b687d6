// A thin owner of an SQLite connection and its statements: errors become exceptions, statements
// and transactions end with their scope. Plain C++ over libsqlite3.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace sqlite {

class Error : public std::runtime_error {
public:
    Error(int code, const std::string& what) : std::runtime_error(what), m_code(code) {}
    // The SQLite result code (SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_FULL ...).
    int code() const { return m_code; }

private:
    int m_code;
};

class Db {
public:
    Db() = default;
    ~Db() { Close(); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    Db(Db&& other) noexcept : m_db(other.m_db) { other.m_db = nullptr; }
    Db& operator=(Db&& other) noexcept;

    // Opens (create: or creates) the file at path; throws Error.
    void Open(const std::string& path, bool create);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    // Runs one or more statements without results; throws Error.
    void Exec(const char* sql);
    int64_t LastInsertId() const;
    int Changes() const;
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

class Stmt {
public:
    Stmt(const Db& db, std::string_view sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    // Parameters count from 1, as in SQL.
    Stmt& Bind(int index, int64_t value);
    Stmt& Bind(int index, std::string_view text); // UTF-8 text
    Stmt& BindBlob(int index, std::string_view bytes);
    Stmt& BindNull(int index);
    Stmt& BindReal(int index, double value);
    // Runs one step: true while a row is there. Throws Error.
    bool Step();
    // Runs the statement to its end (an INSERT or UPDATE).
    void Run();
    void Reset(); // for running it again with new bindings

    // Columns count from 0.
    int64_t Int(int column) const;
    std::string Text(int column) const; // also a blob's bytes
    bool IsNull(int column) const;
    double Real(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN IMMEDIATE at construction (the write lock is taken at once, so two writers wait for
// each other rather than fail half-way); ROLLBACK at the end of the scope unless Commit ran.
// Inside a transaction already open on the connection it is a savepoint instead, so that a
// function writing in a transaction of its own (Workspace::Append) joins the caller's: its
// Commit releases the savepoint, and only the caller's commit makes both lasting.
class Transaction {
public:
    explicit Transaction(Db& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Db& m_db;
    bool m_nested = false;
    bool m_done = false;
};

} // namespace sqlite
