// Routes, login and sessions of the web viewer over the HTTP library.
#include "webserver.h"

#include <httplib.h>

#include <arpa/inet.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "webpages.h"
#include "webtree.h"

namespace web {

namespace {

constexpr const char* kCookie = "mxrweb_session";

// Texts of the user's side of the login.
constexpr const char* kLoginFailed = "ユーザー名またはパスワードが違います。";
constexpr const char* kLoginWait =
    "ログインの失敗が続いたため、しばらく待ってからやり直してください。";
constexpr const char* kLoginLocked =
    "ログインの失敗が続いたため、このユーザーは一時的にロックされています。";
constexpr const char* kUsersUnavailable = "ユーザー情報を読めません。管理者に連絡してください。";

std::string percentEncode(const std::string& s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// Where a login may send the browser: a path of this site only (no scheme, no host, no
// "//host" or "/\host" that a browser would read as another site).
std::string safeNext(const std::string& next)
{
    if (next.empty() || next.size() > 2048 || next[0] != '/' ||
        (next.size() > 1 && (next[1] == '/' || next[1] == '\\')))
        return "/";
    for (unsigned char c : next)
        if (c < 0x20 || c == 0x7F || c == '\\')
            return "/";
    return next;
}

// Log texts keep one line each: control characters of names become '?'.
std::string logSafe(std::string s)
{
    if (s.size() > 200)
        s.resize(200);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return s;
}

std::string cookieToken(const httplib::Request& req)
{
    const std::string cookies = req.get_header_value("Cookie");
    const std::string name = std::string(kCookie) + "=";
    std::size_t pos = 0;
    while (pos < cookies.size()) {
        while (pos < cookies.size() && (cookies[pos] == ' ' || cookies[pos] == ';'))
            ++pos;
        const std::size_t end = std::min(cookies.find(';', pos), cookies.size());
        if (cookies.compare(pos, name.size(), name) == 0)
            return cookies.substr(pos + name.size(), end - pos - name.size());
        pos = end;
    }
    return {};
}

} // namespace

bool IsLoopback(const std::string& host)
{
    if (host == "localhost" || host == "::1")
        return true;
    in_addr a{};
    return inet_pton(AF_INET, host.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127;
}

struct WebServer::Impl {
    DataSource& data;
    UserStore& users;
    ServerOptions options;
    LogFn log;
    std::unique_ptr<httplib::Server> server;
    ReportRenderer renderer;
    FleetPlans fleetPlans;
    SessionTable sessions;
    LoginGuard guard;
    int port = 0;

    // The users as last read, for the requests of logged-in users: read again at most every
    // two seconds, so a removed user or a changed role takes effect soon.
    std::mutex usersMutex; // protects userCache and usersRead
    std::vector<WebUser> userCache;
    Clock::time_point usersRead{};
    bool usersOk = false;

    Impl(DataSource& d, UserStore& u, ServerOptions o, LogFn l)
        : data(d), users(u), options(std::move(o)), log(std::move(l)), renderer(options.output),
          fleetPlans(options.fleet, options.thresholds), sessions(options.sessions), guard(options.logins)
    {
    }

    std::optional<WebUser> cachedUser(const std::string& name)
    {
        std::lock_guard lock(usersMutex);
        const auto now = Clock::now();
        if (!usersOk || now - usersRead >= std::chrono::seconds(2)) {
            std::string error;
            std::vector<WebUser> fresh;
            if (users.Load(fresh, error)) {
                userCache = std::move(fresh);
                usersOk = true;
            } else {
                log("users not read: " + error);
            }
            usersRead = now;
        }
        for (const WebUser& u : userCache)
            if (u.name == name)
                return u;
        return std::nullopt;
    }

    void secureHeaders(httplib::Response& res) const
    {
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("X-Frame-Options", "DENY");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header(
            "Content-Security-Policy",
            "default-src 'none'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; "
            "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
        res.set_header("Cache-Control", "no-store");
    }

    std::string cookie(const std::string& value, bool clear) const
    {
        std::string c = std::string(kCookie) + "=" + value + "; Path=/; HttpOnly; SameSite=Strict";
        if (clear)
            c += "; Max-Age=0";
        if (!options.certFile.empty() || options.secureCookies)
            c += "; Secure";
        return c;
    }

    void send(httplib::Response& res, const PageOut& page) const
    {
        res.status = page.status;
        if (!page.fileName.empty())
            res.set_header("Content-Disposition", "attachment; filename=\"" + page.fileName + "\"");
        res.set_content(page.body, page.contentType.c_str());
    }

    void redirect(httplib::Response& res, const std::string& to) const
    {
        res.status = 303;
        res.set_header("Location", to);
    }

    void loginForm(httplib::Response& res, int status, const std::string& next,
                   const std::string& message) const
    {
        res.status = status;
        res.set_content(LoginPage(next, message), "text/html; charset=utf-8");
    }

    void handleLogin(const httplib::Request& req, httplib::Response& res)
    {
        const std::string next = safeNext(req.get_param_value("next"));
        if (req.method == "GET")
            return loginForm(res, 200, next, {});
        const std::string name = req.get_param_value("user");
        const std::string password = req.get_param_value("password");
        const std::string who = "user=\"" + logSafe(name) + "\" addr=" + req.remote_addr;
        if (!ValidUserName(name) || password.size() > 1024) {
            guard.Failed(name.substr(0, 256), req.remote_addr);
            log("login failed (malformed) " + who);
            return loginForm(res, 401, next, kLoginFailed);
        }
        switch (guard.Check(name, req.remote_addr)) {
        case LoginGuard::Verdict::Wait:
            log("login refused (waiting after failures) " + who);
            return loginForm(res, 429, next, kLoginWait);
        case LoginGuard::Verdict::Locked:
            log("login refused (locked) " + who);
            return loginForm(res, 429, next, kLoginLocked);
        case LoginGuard::Verdict::Allowed: break;
        }
        std::string error;
        const std::optional<WebUser> user = users.Find(name, error);
        if (!error.empty()) {
            log("login failed (users not read: " + error + ") " + who);
            return loginForm(res, 503, next, kUsersUnavailable);
        }
        // An unknown name costs the same hash as a known one.
        const bool ok = VerifyPassword(user ? user->passwordHash : DummyHash(), password) && user;
        if (!ok) {
            guard.Failed(name, req.remote_addr);
            log("login failed " + who);
            return loginForm(res, 401, next, kLoginFailed);
        }
        guard.Succeeded(name, req.remote_addr);
        res.set_header("Set-Cookie", cookie(sessions.Create({name, user->passwordHash}), false));
        log("login ok " + who);
        redirect(res, next);
    }

    void handleLogout(const httplib::Request& req, httplib::Response& res)
    {
        const std::string token = cookieToken(req);
        if (const auto owner = sessions.Touch(token)) {
            log("logout user=\"" + logSafe(owner->user) + "\" addr=" + req.remote_addr);
            sessions.Remove(token);
        }
        res.set_header("Set-Cookie", cookie("", true));
        redirect(res, "/login");
    }

    void handle(const httplib::Request& req, httplib::Response& res)
    {
        secureHeaders(res);
        const std::string& path = req.path;
        if (path == "/style.css") {
            res.headers.erase("Cache-Control");
            res.set_header("Cache-Control", "max-age=3600");
            return res.set_content(StyleSheet(), "text/css; charset=utf-8");
        }
        if (path == "/login")
            return handleLogin(req, res);
        if (path == "/logout" && req.method == "POST")
            return handleLogout(req, res);
        if (req.method != "GET" && req.method != "HEAD") {
            res.status = 405;
            return res.set_content("405 Method Not Allowed\n", "text/plain; charset=utf-8");
        }
        const bool api = path.rfind("/api/", 0) == 0 || path == "/api";
        const std::string token = cookieToken(req);
        const std::optional<SessionTable::Owner> owner = sessions.Touch(token);
        std::optional<WebUser> user = owner ? cachedUser(owner->user) : std::nullopt;
        if (owner && (!user || user->passwordHash != owner->stamp)) {
            sessions.Remove(token); // the user was removed or has a new password
            user.reset();
        }
        if (!user) {
            if (api) {
                res.status = 401;
                return res.set_content("{\"error\": \"login required\"}\n",
                                       "application/json; charset=utf-8");
            }
            return redirect(res, "/login?next=" + percentEncode(safeNext(path)));
        }
        const Viewer viewer = Viewer::Of(*user);
        const std::shared_ptr<const Snapshot> snapshot = data.Current();
        std::string_view rest(path);
        rest.remove_prefix(api ? std::min<std::size_t>(rest.size(), 5) : 1);
        const std::optional<Resolved> at = Resolve(snapshot->tree, viewer, rest);
        // Only a customer's own list shows the plan: the other pages need not wait for it.
        const std::shared_ptr<const FleetIndex> plans =
            at && at->customer && !at->cable && at->leaf.empty() ? fleetPlans.For(*snapshot)
                                                                  : nullptr;
        const PageContext ctx{*snapshot, viewer, renderer, options.thresholds, plans.get()};
        if (!at)
            return send(res, api ? PageOut{404,
                                           "application/json; charset=utf-8",
                                           "{\"error\": \"not found\"}\n",
                                           {}}
                                 : NotFoundPage());
        // The drawing is the same for a tree generation: the browser may keep it, and asks
        // again with its ETag.
        const bool drawing = !api && at->leaf == "report.svg";
        const std::string etag = "\"g" + std::to_string(snapshot->generation) + "\"";
        if (drawing) {
            res.headers.erase("Cache-Control");
            res.set_header("Cache-Control", "private, max-age=300");
            res.set_header("ETag", etag);
            if (req.get_header_value("If-None-Match") == etag) {
                res.status = 304;
                return;
            }
        }
        PageOut page = api ? RenderApi(ctx, *at) : RenderPage(ctx, *at);
        if (api && page.status == 404)
            page = {404, "application/json; charset=utf-8", "{\"error\": \"not found\"}\n", {}};
        send(res, page);
    }
};

WebServer::WebServer(DataSource& data, UserStore& users, ServerOptions options, LogFn log)
    : m(std::make_unique<Impl>(data, users, std::move(options), std::move(log)))
{
}

WebServer::~WebServer() = default;

bool WebServer::Bind(std::string& error)
{
    const ServerOptions& o = m->options;
    const bool tls = !o.certFile.empty() || !o.keyFile.empty();
    if (tls && (o.certFile.empty() || o.keyFile.empty())) {
        error = "--cert and --key go together";
        return false;
    }
    if (!tls && !o.allowRemote && !IsLoopback(o.host)) {
        error = "without TLS only a loopback address is served (" + o.host +
                "); give --cert and --key, or --allow-remote behind a TLS proxy";
        return false;
    }
    if (tls)
        m->server = std::make_unique<httplib::SSLServer>(o.certFile.c_str(), o.keyFile.c_str());
    else
        m->server = std::make_unique<httplib::Server>();
    if (!m->server->is_valid()) {
        error = "the certificate or key cannot be used: " + o.certFile + ", " + o.keyFile;
        return false;
    }
    httplib::Server& s = *m->server;
    const int threads = std::max(2, o.threads);
    s.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    s.set_read_timeout(o.readTimeout);
    s.set_write_timeout(o.writeTimeout);
    s.set_keep_alive_timeout(o.keepAlive.count());
    s.set_keep_alive_max_count(100);
    s.set_payload_max_length(o.maxBody);
    Impl* impl = m.get();
    const auto handler = [impl](const httplib::Request& req, httplib::Response& res) {
        impl->handle(req, res);
    };
    s.Get(".*", handler);
    s.Post(".*", handler);
    s.Put(".*", handler);
    s.Delete(".*", handler);
    s.Patch(".*", handler);
    s.set_exception_handler(
        [impl](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
            std::string what = "unknown";
            try {
                std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            impl->log("error on " + logSafe(req.path) + ": " + what);
            res.status = 500;
            res.set_content("500 Internal Server Error\n", "text/plain; charset=utf-8");
        });
    if (o.port == 0) {
        m->port = s.bind_to_any_port(o.host);
    } else {
        m->port = s.bind_to_port(o.host, o.port) ? o.port : -1;
    }
    if (m->port <= 0) {
        error = "cannot listen on " + o.host + ":" + std::to_string(o.port);
        return false;
    }
    return true;
}

int WebServer::Port() const
{
    return m->port;
}

bool WebServer::Tls() const
{
    return !m->options.certFile.empty();
}

bool WebServer::Run()
{
    return m->server && m->server->listen_after_bind();
}

bool WebServer::Running() const
{
    return m->server && m->server->is_running();
}

void WebServer::Stop()
{
    if (m->server)
        m->server->stop();
}

} // namespace web
