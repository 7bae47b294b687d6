// The web viewer's test fixtures: a tree with customers a viewer may and may not see, a real
// server on 127.0.0.1 over it, and an HTTP client that logs in.
#pragma once

#include <gtest/gtest.h>

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include "app/demodata.h"
#include "model/cp932text.h"
#include "waitfor.h"
#include "webids.h"
#include "webserver.h"

namespace webtest {

// The demo's customers; the viewer "anna" sees only the first.
inline const std::string kSeen = "港南製鉄所";
inline const std::string kHidden = "青葉電機工業";

inline std::string cp(const std::string& utf8)
{
    return *cp932::fromUtf8(utf8);
}

inline CCustomerDB sampleTree()
{
    return demo::BuildStore();
}

// The users: an admin and a viewer of kSeen, passwords "admin-pass" and "anna-pass".
inline std::vector<web::WebUser> sampleUsers()
{
    static const std::vector<web::WebUser> users = {
        {"root", web::Role::Admin, web::HashPassword("admin-pass"), {}},
        {"anna", web::Role::Viewer, web::HashPassword("anna-pass"), {kSeen}},
    };
    return users;
}

// A server running on a thread of its own until destroyed.
class RunningServer {
public:
    RunningServer(web::DataSource& data, web::UserStore& users, web::ServerOptions o = {})
    {
        o.host = "127.0.0.1";
        o.port = 0;
        m_server = std::make_unique<web::WebServer>(data, users, o, [this](const std::string& s) {
            std::lock_guard lock(m_logMutex);
            m_log += s + "\n";
        });
        std::string error;
        if (!m_server->Bind(error)) {
            ADD_FAILURE() << error;
            return;
        }
        m_thread = std::thread([this] { m_server->Run(); });
        EXPECT_TRUE(
            testwait::until([this] { return m_server->Running(); }, std::chrono::seconds(10)));
    }
    ~RunningServer()
    {
        m_server->Stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    int port() const { return m_server->Port(); }
    std::string log()
    {
        std::lock_guard lock(m_logMutex);
        return m_log;
    }
    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", port());
        c.set_read_timeout(30);
        return c;
    }

private:
    std::unique_ptr<web::WebServer> m_server;
    std::thread m_thread;
    std::mutex m_logMutex;
    std::string m_log;
};

// Form-encodes the pairs.
inline std::string form(std::initializer_list<std::pair<std::string, std::string>> fields)
{
    std::string body;
    for (const auto& [k, v] : fields) {
        if (!body.empty())
            body += '&';
        body += k + '=';
        for (unsigned char c : v) {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            body += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(esc);
        }
    }
    return body;
}

// Posts the login form; the session cookie ("mxrweb_session=...") or empty.
inline std::string login(httplib::Client& c, const std::string& user, const std::string& password,
                         int* status = nullptr)
{
    const auto r = c.Post("/login", form({{"user", user}, {"password", password}}),
                          "application/x-www-form-urlencoded");
    if (status)
        *status = r ? r->status : -1;
    if (!r || r->status != 303)
        return {};
    const std::string set = r->get_header_value("Set-Cookie");
    return set.substr(0, set.find(';'));
}

inline int status(httplib::Client& c, const std::string& path, const std::string& cookie = {})
{
    httplib::Headers h;
    if (!cookie.empty())
        h.emplace("Cookie", cookie);
    const auto r = c.Get(path.c_str(), h);
    return r ? r->status : -1;
}

inline std::string body(httplib::Client& c, const std::string& path, const std::string& cookie)
{
    const auto r = c.Get(path.c_str(), httplib::Headers{{"Cookie", cookie}});
    return r ? r->body : std::string();
}

// Every URL of one customer's data that the site serves: pages, files and API, at every level
// (the first cable, its first set, its first record).
inline std::vector<std::string> urlsOf(const CCustomer& c)
{
    const CCable& k = c.cables.At(0);
    const CMeasData& s = k.sets.At(0);
    const std::string cu = "/c/" + web::NameId(c.name) + "/";
    const std::string ca = cu + "k/" + web::NameId(k.name) + "/";
    const std::string m = ca + "s/" + web::NameId(s.name) + "/m/0/";
    std::vector<std::string> urls = {cu,
                                     ca,
                                     ca + "history",
                                     ca + "phases",
                                     m,
                                     m + "report.svg",
                                     m + "report.pdf",
                                     m + "data.csv"};
    for (const std::string& u : {cu, ca, ca + "analysis", m})
        urls.push_back("/api" + u);
    return urls;
}

} // namespace webtest
