// The web viewer's HTTP(S) server: routes, login, sessions and the security rules around the
// pages. The HTTP library stays inside webserver.cpp.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "analysis/thresholds.h"
#include "datasource.h"
#include "fleet/plansettings.h"
#include "reportrender.h"
#include "sessions.h"
#include "webusers.h"

namespace web {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;               // 0: any free port (tests)
    std::string certFile, keyFile; // both given: TLS
    bool allowRemote = false;      // listen on a non-loopback address without TLS
    bool secureCookies = false;    // Secure cookies without TLS here (behind a TLS proxy)
    int threads = 32;
    std::chrono::seconds readTimeout{5};
    std::chrono::seconds writeTimeout{10};
    std::chrono::seconds keepAlive{5};
    std::size_t maxBody = 16 * 1024; // the login form is all that is posted
    SessionLimits sessions;
    LoginLimits logins;
    OutputSettings output;
    AnalysisThresholds thresholds;
    fleet::FleetSettings fleet; // the retest plan shown beside each cable
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(const std::string& host);

class WebServer {
public:
    WebServer(DataSource& data, UserStore& users, ServerOptions options, LogFn log);
    ~WebServer();

    // Binds the listening socket. False with a message when the address is refused (a
    // non-loopback address without TLS and without allowRemote), the certificate cannot be
    // used or the port cannot be bound.
    bool Bind(std::string& error);
    int Port() const;
    bool Tls() const;
    // Serves until Stop (from another thread or a signal watcher).
    bool Run();
    // True while Run serves (tests wait for it before the first request).
    bool Running() const;
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace web
