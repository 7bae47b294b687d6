// A throw-away PostgreSQL server for tests and benchmarks: initdb and pg_ctl in a temporary
// folder, listening on Unix sockets only. As root the server runs as the unprivileged
// "postgres" account (initdb refuses root).
//
// Under ctest one server serves every case of the run: a fixture test starts it (startShared)
// and writes where to reach it into the file that MXR_TEST_PGSERVER names, the cases reach it
// through that file and each takes a database of its own, and a cleanup test stops it
// (stopShared). A program run by hand, without that variable or file, starts a server of its
// own, stopped (and killed if need be) on destruction.
#pragma once

#include <string>
#include <utility>
#include <vector>

class PgTestServer {
public:
    // Reaches the shared server, else starts one; on failure available() is false and
    // skipReason() says why.
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    bool available() const { return m_running; }
    const std::string& skipReason() const { return m_reason; }
    // Socket folder and the superuser's name (trust over the socket).
    const std::string& socketDir() const { return m_socketDir; }
    const std::string& user() const { return m_user; }
    // A second socket folder whose connections must give a password (pg_hba "password").
    const std::string& passwordSocketDir() const { return m_pwSocketDir; }
    int port() const { return m_port; }

    // libpq keyword/value pairs for the trusted socket and the given database.
    std::vector<std::pair<std::string, std::string>> params(const std::string& db) const;
    // Runs SQL as the superuser on the trusted socket (database "postgres"). False on failure.
    bool sql(const std::string& statement, const std::string& db = "postgres") const;
    // Creates a fresh database and returns its name (unique across the programs that share
    // the server).
    std::string createDatabase();
    // pg_dump of a database (custom format) into a file of the server's folder, named `name`;
    // restoreDatabase drops the database (ending its sessions), creates it again and restores
    // that dump into it, as an administrator recovering from a backup does.
    bool dumpDatabase(const std::string& db, const std::string& name) const;
    bool restoreDatabase(const std::string& db, const std::string& name) const;

    // The ctest fixture's two ends. startShared starts a server that outlives this process
    // and writes `file` (or a file that only names the reason there is no server); a watchdog
    // stops the server when the parent process (ctest) ends without running stopShared.
    // Both return a process exit code.
    static int startShared(const std::string& file);
    static int stopShared(const std::string& file);

private:
    enum class Start { Attached, Detached };
    explicit PgTestServer(Start how);
    void start(bool detached);
    bool attach(const std::string& file);
    bool writeInfo(const std::string& file) const;
    void startWatchdog();
    int startParentWatchdog();
    bool run(const std::vector<std::string>& argv) const;
    std::string m_bin, m_root, m_data, m_socketDir, m_pwSocketDir, m_user, m_reason;
    int m_port = 0;
    bool m_running = false;
    bool m_owned = false; // this object stops the server and removes its folder
    bool m_asPostgres = false;
    mutable int m_dbCounter = 0;
    int m_watchdog = -1;
    int m_watchdogPipe = -1;
};
