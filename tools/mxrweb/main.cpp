// mxrweb: the web viewer. Serves a data store file, the shared database or the demo's sample
// data read-only to browsers, behind a login.
#include <QGuiApplication>

#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "analysis/analysissettings.h"
#include "app/demodata.h"
#include "fleet/plansettings.h"
#include "model/cp932text.h"
#include "model/fileidentity.h"
#include "reportoutput.h"
#include "settings/appfolder.h"
#include "settings/settingskeys.h"
#include "shareddb/dbsettings.h"
#include "webserver.h"

#ifndef MXR_VERSION_TEXT
#define MXR_VERSION_TEXT "0.0.0.0"
#endif

namespace {

const char kUsage[] =
    "usage: mxrweb (--store FILE | --db | --demo) [options]\n"
    "  --store FILE           serve this data store file (read-only; reloaded when it changes)\n"
    "  --db                   serve the shared database (connection of MXRView.INI [SharedDB]\n"
    "                         and libpq's PG* variables; connect as a role granted mxr_web)\n"
    "  --demo                 serve the demo's sample data (users demo/demo and viewer/viewer)\n"
    "  --listen HOST:PORT     address to listen on (default 127.0.0.1:8080)\n"
    "  --cert FILE --key FILE serve HTTPS with this certificate and key (PEM)\n"
    "  --allow-remote         listen on a non-loopback address without TLS (behind a proxy)\n"
    "  --secure-cookies       mark cookies Secure without TLS here (a TLS proxy in front)\n"
    "  --users FILE           the users file (default: FILE.webusers beside the store)\n"
    "  --home DIR             the application folder whose settings are read\n"
    "  --threads N            worker threads (default 32)\n"
    "  --read-timeout S       seconds a client may take to send a request (default 5)\n"
    "  --idle-minutes M       session ends after M minutes without a request (default 30)\n"
    "  --session-hours H      session ends H hours after the login (default 12)\n"
    "  --log FILE             append the log here as well as to standard error\n"
    "  --version              print the version\n";

std::mutex g_logMutex;
std::unique_ptr<std::ofstream> g_logFile;

void logLine(const std::string& text)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
    std::lock_guard lock(g_logMutex);
    std::fprintf(stderr, "%s mxrweb: %s\n", stamp, text.c_str());
    if (g_logFile) {
        *g_logFile << stamp << " mxrweb: " << text << '\n';
        g_logFile->flush();
    }
}

int usage(const std::string& problem)
{
    std::fprintf(stderr, "mxrweb: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

bool parseListen(const std::string& v, std::string& host, int& port)
{
    std::string h, p;
    if (!v.empty() && v[0] == '[') { // [::1]:8080
        const auto close = v.find("]:");
        if (close == std::string::npos)
            return false;
        h = v.substr(1, close - 1);
        p = v.substr(close + 2);
    } else {
        const auto colon = v.rfind(':');
        if (colon == std::string::npos)
            return false;
        h = v.substr(0, colon);
        p = v.substr(colon + 1);
    }
    char* end = nullptr;
    const long n = std::strtol(p.c_str(), &end, 10);
    if (h.empty() || p.empty() || *end || n < 0 || n > 65535)
        return false;
    host = h;
    port = static_cast<int>(n);
    return true;
}

bool positive(const char* text, long max, long& out)
{
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return *text && !*end && out > 0 && out <= max;
}

// The demo's accounts: an administrator and a viewer of the first customer.
std::vector<web::WebUser> demoUsers(const CCustomerDB& tree)
{
    web::WebUser admin{"demo", web::Role::Admin, web::HashPassword("demo"), {}};
    web::WebUser viewer{"viewer", web::Role::Viewer, web::HashPassword("viewer"), {}};
    if (tree.customers.Count() > 0)
        viewer.customers.push_back(cp932::toUtf8(tree.customers.At(0).name));
    return {admin, viewer};
}

} // namespace

int main(int argc, char** argv)
{
    // SIGINT and SIGTERM end the server through the watcher thread below: blocked here, before
    // any thread starts, so that every thread inherits the mask and none is killed by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // the report is drawn without a display
    std::setlocale(LC_NUMERIC, "C");
    enum class Mode { None, Store, Db, Demo } mode = Mode::None;
    std::string store, usersFile, home, logFile;
    web::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> const char* { return argv[++i]; };
        long n = 0;
        if (a == "--version") {
            std::printf("mxrweb %s\n", MXR_VERSION_TEXT);
            return 0;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--db" || a == "--demo") {
            if (mode != Mode::None)
                return usage("one of --store, --db and --demo");
            mode = a == "--db" ? Mode::Db : Mode::Demo;
        } else if (a == "--allow-remote") {
            options.allowRemote = true;
        } else if (a == "--secure-cookies") {
            options.secureCookies = true;
        } else if (!hasValue) {
            return usage(a.rfind("--", 0) == 0 ? a + " needs a value" : "unexpected " + a);
        } else if (a == "--store") {
            if (mode != Mode::None)
                return usage("one of --store, --db and --demo");
            mode = Mode::Store;
            store = value();
        } else if (a == "--listen") {
            if (!parseListen(value(), options.host, options.port))
                return usage("--listen HOST:PORT");
        } else if (a == "--cert") {
            options.certFile = value();
        } else if (a == "--key") {
            options.keyFile = value();
        } else if (a == "--users") {
            usersFile = value();
        } else if (a == "--home") {
            home = value();
        } else if (a == "--log") {
            logFile = value();
        } else if (a == "--threads") {
            if (!positive(value(), 1024, n))
                return usage("--threads 1..1024");
            options.threads = static_cast<int>(n);
        } else if (a == "--read-timeout") {
            if (!positive(value(), 3600, n))
                return usage("--read-timeout 1..3600");
            options.readTimeout = std::chrono::seconds(n);
            options.keepAlive = std::chrono::seconds(n);
        } else if (a == "--idle-minutes") {
            if (!positive(value(), 7 * 24 * 60, n))
                return usage("--idle-minutes 1..10080");
            options.sessions.idle = std::chrono::minutes(n);
        } else if (a == "--session-hours") {
            if (!positive(value(), 30 * 24, n))
                return usage("--session-hours 1..720");
            options.sessions.absolute = std::chrono::hours(n);
        } else {
            return usage("unknown option " + a);
        }
    }
    if (mode == Mode::None)
        return usage("one of --store, --db and --demo");
    if (!logFile.empty()) {
        g_logFile = std::make_unique<std::ofstream>(logFile, std::ios::app);
        if (!*g_logFile) {
            std::fprintf(stderr, "mxrweb: cannot write %s\n", logFile.c_str());
            return 1;
        }
    }

    QGuiApplication app(argc, argv);
    // The settings of the application folder, read without writing anything back.
    const auto folder = ApplicationFolder(home, false);
    options.output.report = ReadReportSettings(home);
    ReadPrintSettings(home, options.output.judgments, options.output.print);
    options.output.homeOption = home;
    if (folder) {
        options.thresholds = ReadAnalysisThresholds(*folder + "/" + kSystemIniName);
        options.fleet = fleet::ReadFleetSettings(*folder + "/" + kSystemIniName);
    }

    std::unique_ptr<web::DataSource> data;
    std::unique_ptr<web::UserStore> users;
    if (mode == Mode::Store) {
        if (!IdentityOfPath(store).exists) {
            std::fprintf(stderr, "mxrweb: no data store at %s\n", store.c_str());
            return 1;
        }
        auto source = std::make_unique<web::StoreSource>(store, logLine);
        if (!source->Loaded())
            return 1; // logged
        data = std::move(source);
        users = std::make_unique<web::FileUserStore>(usersFile.empty() ? web::UsersFileFor(store)
                                                                       : usersFile);
    } else if (mode == Mode::Db) {
        const shareddb::DbSettings db =
            shareddb::ReadDbSettings(folder ? *folder + "/MXRView.INI" : std::string());
        auto source = std::make_unique<web::DbSource>(db, logLine);
        if (!source->Refresh())
            return 1; // logged
        data = std::move(source);
        users = std::make_unique<web::DbUserStore>(db);
    } else {
        CCustomerDB tree = demo::BuildStore();
        auto accounts = demoUsers(tree);
        data = std::make_unique<web::FixedSource>(std::move(tree), "demo");
        if (usersFile.empty())
            users = std::make_unique<web::MemoryUserStore>(std::move(accounts));
        else
            users = std::make_unique<web::FileUserStore>(usersFile);
    }

    web::WebServer server(*data, *users, options, logLine);
    std::string error;
    if (!server.Bind(error)) {
        std::fprintf(stderr, "mxrweb: %s\n", error.c_str());
        return 1;
    }
    std::thread watcher([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        logLine("stopping on signal " + std::to_string(sig));
        server.Stop();
    });
    watcher.detach();
    const std::string scheme = server.Tls() ? "https" : "http";
    const std::string host =
        options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
    logLine("serving " + data->Describe() + " on " + scheme + "://" + host + ":" +
            std::to_string(server.Port()) + "/");
    std::fflush(stderr);
    return server.Run() ? 0 : 1;
}
