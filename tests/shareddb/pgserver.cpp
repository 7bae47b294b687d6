// The throw-away PostgreSQL server of the shared database's tests and benchmark.
#include "pgserver.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <libpq-fe.h>

namespace {

std::string findBinDir()
{
    std::vector<std::string> found;
    if (DIR* d = opendir("/usr/lib/postgresql")) {
        while (dirent* e = readdir(d)) {
            const std::string bin = std::string("/usr/lib/postgresql/") + e->d_name + "/bin";
            if (e->d_name[0] != '.' && access((bin + "/initdb").c_str(), X_OK) == 0)
                found.push_back(bin);
        }
        closedir(d);
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? "" : found.back();
}

} // namespace

PgTestServer::PgTestServer()
{
    const char* shared = std::getenv("MXR_TEST_PGSERVER");
    if (shared && *shared && attach(shared))
        return;
    start(false);
}

PgTestServer::PgTestServer(Start how)
{
    if (how == Start::Detached)
        start(true);
}

void PgTestServer::start(bool detached)
{
    m_owned = true;
    m_bin = findBinDir();
    if (m_bin.empty()) {
        m_reason = "no PostgreSQL server binaries under /usr/lib/postgresql/*/bin";
        return;
    }
    char tmpl[] = "/tmp/mxr-pg-XXXXXX";
    if (!mkdtemp(tmpl)) {
        m_reason = "cannot make a temporary folder";
        return;
    }
    m_root = tmpl;
    m_data = m_root + "/data";
    m_socketDir = m_root + "/sock";
    m_pwSocketDir = m_root + "/sockpw";
    mkdir(m_socketDir.c_str(), 0755);
    mkdir(m_pwSocketDir.c_str(), 0755);
    m_port = 50000 + static_cast<int>(getpid() % 10000);
    m_user = "postgres";
    if (geteuid() == 0) {
        const passwd* pw = getpwnam("postgres");
        if (!pw) {
            m_reason = "running as root and there is no postgres account to run the server as";
            return;
        }
        m_asPostgres = true;
        chmod(m_root.c_str(), 0755);
        for (const std::string& d : {m_root, m_socketDir, m_pwSocketDir})
            if (chown(d.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
                m_reason = "cannot hand the server's folder to the postgres account";
                return;
            }
    } else {
        const passwd* pw = getpwuid(geteuid());
        m_user = pw ? pw->pw_name : "postgres";
    }
    if (!run({m_bin + "/initdb", "-D", m_data, "-U", m_user, "-A", "trust", "-E", "UTF8",
              "--no-sync", "--locale=C"})) {
        m_reason = "initdb failed";
        return;
    }
    {
        // Trust on the first socket; passwords on the second (a separate hba line matched by
        // the role that only the password tests use).
        std::ofstream hba(m_data + "/pg_hba.conf", std::ios::trunc);
        hba << "local all pwuser password\nlocal all all trust\n";
    }
    const std::string options = "-c listen_addresses='' -c unix_socket_directories='" +
                                m_socketDir + "," + m_pwSocketDir + "' -p " +
                                std::to_string(m_port) + " -c fsync=off";
    if (!run({m_bin + "/pg_ctl", "-D", m_data, "-o", options, "-l", m_root + "/log", "-w", "-t",
              "60", "start"})) {
        m_reason = "pg_ctl start failed (see " + m_root + "/log)";
        return;
    }
    m_running = true;
    if (!detached)
        startWatchdog();
    // The password test's role, reached over the same sockets but told apart by hba.
    sql("CREATE ROLE pwuser LOGIN PASSWORD 'right-password' SUPERUSER");
}

namespace {

// The shared server's file: one key=value a line.
std::map<std::string, std::string> readInfo(const std::string& file)
{
    std::map<std::string, std::string> info;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            info[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return info;
}

} // namespace

bool PgTestServer::attach(const std::string& file)
{
    auto info = readInfo(file);
    if (info.empty())
        return false; // no fixture ran: the caller starts a server of its own
    if (info.count("skip")) {
        m_reason = info["skip"];
        return true;
    }
    m_bin = info["bin"];
    m_root = info["root"];
    m_data = m_root + "/data";
    m_socketDir = info["socket"];
    m_pwSocketDir = info["pwsocket"];
    m_user = info["user"];
    m_port = std::atoi(info["port"].c_str());
    m_asPostgres = info["aspostgres"] == "1";
    m_watchdog = std::atoi(info["watchdog"].c_str());
    m_running = true;
    return true;
}

bool PgTestServer::writeInfo(const std::string& file) const
{
    const std::string part = file + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        if (m_running)
            out << "bin=" << m_bin << "\nroot=" << m_root << "\nsocket=" << m_socketDir
                << "\npwsocket=" << m_pwSocketDir << "\nuser=" << m_user << "\nport=" << m_port
                << "\naspostgres=" << (m_asPostgres ? 1 : 0) << "\nwatchdog=" << m_watchdog
                << "\n";
        else
            out << "skip=" << m_reason << "\n";
        if (!out.flush())
            return false;
    }
    return std::rename(part.c_str(), file.c_str()) == 0;
}

int PgTestServer::startShared(const std::string& file)
{
    std::remove(file.c_str());
    PgTestServer s(Start::Detached);
    if (s.available()) {
        // The sync role is made by the first schema set-up; cases running side by side
        // would race to create it on the shared server.
        s.sql("CREATE ROLE mxr_sync NOLOGIN");
        s.m_watchdog = s.startParentWatchdog();
    }
    if (!s.writeInfo(file)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    if (s.available()) {
        std::printf("PostgreSQL test server at %s, port %d\n", s.m_socketDir.c_str(), s.m_port);
        s.m_owned = false; // it outlives this process
    } else {
        std::printf("no PostgreSQL test server: %s\n", s.m_reason.c_str());
    }
    return 0;
}

int PgTestServer::stopShared(const std::string& file)
{
    PgTestServer s(Start::Attached);
    if (s.attach(file) && s.m_running) {
        if (s.m_watchdog > 1)
            kill(static_cast<pid_t>(s.m_watchdog), SIGTERM);
        s.m_watchdog = -1;
        s.m_owned = true; // the destructor stops it and removes its folder
    }
    std::remove(file.c_str());
    return 0;
}

int PgTestServer::startParentWatchdog()
{
    // A detached process that waits for the parent (ctest) to end, then kills the server and
    // removes its folder: stopShared does that first on an ordinary run and ends this watch.
    const pid_t parent = getppid();
    const std::string pidPath = m_data + "/postmaster.pid";
    const std::string root = m_root;
    const pid_t pid = fork();
    if (pid != 0)
        return pid > 0 ? static_cast<int>(pid) : -1;
    setsid();
    // Let go of ctest's output pipes, or ctest would wait for this process.
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        dup2(null, fd);
    for (int fd = 3; fd < 1024; ++fd)
        close(fd);
    while (kill(parent, 0) == 0 || errno == EPERM)
        sleep(1);
    std::ifstream pidFile(pidPath);
    long serverPid = 0;
    if (pidFile >> serverPid && serverPid > 1)
        kill(static_cast<pid_t>(serverPid), SIGKILL);
    execl("/bin/rm", "rm", "-rf", root.c_str(), static_cast<char*>(nullptr));
    _exit(0);
}

void PgTestServer::startWatchdog()
{
    // A child that waits for this process to end (its end of the pipe closes, also when the
    // test crashes) and then kills a server that is still running.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    const std::string pidPath = m_data + "/postmaster.pid";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        char c;
        while (read(fds[0], &c, 1) > 0) {
        }
        std::ifstream pidFile(pidPath);
        long serverPid = 0;
        if (pidFile >> serverPid && serverPid > 1)
            kill(static_cast<pid_t>(serverPid), SIGKILL);
        _exit(0);
    }
    close(fds[0]);
    if (pid > 0) {
        m_watchdog = pid;
        m_watchdogPipe = fds[1];
    } else {
        close(fds[1]);
    }
}

PgTestServer::~PgTestServer()
{
    if (!m_owned)
        return;
    if (m_running &&
        !run({m_bin + "/pg_ctl", "-D", m_data, "-m", "immediate", "-w", "-t", "30", "stop"})) {
        // The server must not outlive the test: kill it by the pid it wrote.
        std::ifstream pidFile(m_data + "/postmaster.pid");
        long pid = 0;
        if (pidFile >> pid && pid > 1)
            kill(static_cast<pid_t>(pid), SIGKILL);
    }
    if (m_watchdogPipe >= 0) {
        close(m_watchdogPipe);
        waitpid(m_watchdog, nullptr, 0);
    }
    if (!m_root.empty())
        std::system(("rm -rf '" + m_root + "'").c_str());
}

bool PgTestServer::run(const std::vector<std::string>& argv) const
{
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (m_asPostgres) {
            const passwd* pw = getpwnam("postgres");
            if (!pw || setgid(pw->pw_gid) != 0 || setuid(pw->pw_uid) != 0)
                _exit(126);
        }
        if (chdir(m_root.c_str()) != 0)
            _exit(126);
        // The server's output goes to its log; initdb's chatter is dropped.
        if (FILE* f = std::freopen("/dev/null", "w", stdout))
            (void)f;
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::pair<std::string, std::string>> PgTestServer::params(const std::string& db) const
{
    return {
        {"host", m_socketDir}, {"port", std::to_string(m_port)}, {"user", m_user}, {"dbname", db}};
}

bool PgTestServer::sql(const std::string& statement, const std::string& db) const
{
    const std::string conninfo = "host='" + m_socketDir + "' port=" + std::to_string(m_port) +
                                 " user='" + m_user + "' dbname='" + db + "'";
    PGconn* c = PQconnectdb(conninfo.c_str());
    bool ok = PQstatus(c) == CONNECTION_OK;
    if (ok) {
        PGresult* r = PQexec(c, statement.c_str());
        const auto st = PQresultStatus(r);
        ok = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
        PQclear(r);
    }
    PQfinish(c);
    return ok;
}

std::string PgTestServer::createDatabase()
{
    const std::string name =
        "mxr_test_" + std::to_string(getpid()) + "_" + std::to_string(++m_dbCounter);
    sql("DROP DATABASE IF EXISTS " + name);
    sql("CREATE DATABASE " + name);
    return name;
}

bool PgTestServer::dumpDatabase(const std::string& db, const std::string& name) const
{
    return run({m_bin + "/pg_dump", "-h", m_socketDir, "-p", std::to_string(m_port), "-U", m_user,
                "-Fc", "-f", m_root + "/" + name, db});
}

bool PgTestServer::restoreDatabase(const std::string& db, const std::string& name) const
{
    return sql("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)") &&
           sql("CREATE DATABASE " + db) &&
           run({m_bin + "/pg_restore", "-h", m_socketDir, "-p", std::to_string(m_port), "-U",
                m_user, "-d", db, m_root + "/" + name});
}
