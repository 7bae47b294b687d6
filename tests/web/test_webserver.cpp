// The real server on 127.0.0.1 over a store file: login and sessions, customer isolation,
// hostile parameters, oversized and slow requests, the report's files and the API.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "exchange/csvwriter.h"
#include "model/format.h"
#include "store/store.h"
#include "webfixture.h"
#include "webtree.h"
#include "fleet/fleetbuild.h"

using namespace webtest;
namespace fs = std::filesystem;

namespace {

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("mxrweb-test-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_store = (m_dir / "MXR.DAT").string();
        m_tree = sampleTree();
        ASSERT_TRUE(SaveStore(m_tree, m_store).ok);
        m_users = std::make_unique<web::FileUserStore>(web::UsersFileFor(m_store));
        std::string error;
        for (const web::WebUser& u : sampleUsers())
            ASSERT_TRUE(m_users->Add(u, error)) << error;
        m_source = std::make_unique<web::StoreSource>(
            m_store, [](const std::string&) {}, std::chrono::milliseconds(0));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void start(web::ServerOptions o = {})
    {
        if (o.readTimeout == std::chrono::seconds(5))
            o.readTimeout = o.keepAlive = std::chrono::seconds(1);
        m_server = std::make_unique<RunningServer>(*m_source, *m_users, o);
    }
    const CCustomer& customer(const std::string& utf8) const
    {
        return m_tree.customers.At(m_tree.customers.Find(cp(utf8)));
    }

    fs::path m_dir;
    std::string m_store;
    CCustomerDB m_tree;
    std::unique_ptr<web::FileUserStore> m_users;
    std::unique_ptr<web::StoreSource> m_source;
    std::unique_ptr<RunningServer> m_server;
};

// A raw connection for requests the HTTP client would not send.
class RawConnection {
public:
    explicit RawConnection(int port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        timeval tv{30, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~RawConnection() { close(m_fd); }
    bool connected() const { return m_connected; }
    void send(const std::string& bytes)
    {
        (void)::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Everything until the server closes the connection (or 30 s pass).
    std::string readToEnd()
    {
        std::string out;
        char buf[4096];
        for (;;) {
            const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return out;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

} // namespace

TEST_F(WebServerTest, PagesWithoutSessionGoToLogin)
{
    start();
    httplib::Client c = m_server->client();
    std::vector<std::string> pages = urlsOf(customer(kSeen));
    pages.insert(pages.end(), {"/", "/api/customers", "/nowhere", "/c/0123456789abcdef/"});
    for (const std::string& path : pages) {
        const auto r = c.Get(
            path.c_str(), httplib::Headers{{"Cookie", "mxrweb_session=" + std::string(64, 'a')}});
        ASSERT_TRUE(r) << path;
        if (path.rfind("/api/", 0) == 0) {
            EXPECT_EQ(r->status, 401) << path;
        } else {
            EXPECT_EQ(r->status, 303) << path;
            EXPECT_EQ(r->get_header_value("Location").rfind("/login?next=", 0), 0u) << path;
        }
        EXPECT_EQ(r->body.find("港南"), std::string::npos) << path;
    }
    EXPECT_EQ(status(c, "/login"), 200);
    EXPECT_EQ(status(c, "/style.css"), 200);
}

TEST_F(WebServerTest, LoginSessionAndLogout)
{
    start();
    httplib::Client c = m_server->client();
    const auto r =
        c.Post("/login", form({{"user", "anna"}, {"password", "anna-pass"}, {"next", "/c/x/"}}),
               "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 303);
    EXPECT_EQ(r->get_header_value("Location"), "/c/x/");
    const std::string set = r->get_header_value("Set-Cookie");
    EXPECT_NE(set.find("HttpOnly"), std::string::npos);
    EXPECT_NE(set.find("SameSite=Strict"), std::string::npos);
    EXPECT_EQ(set.find("Secure"), std::string::npos) << "no TLS here";
    const std::string cookie = set.substr(0, set.find(';'));
    EXPECT_EQ(status(c, "/", cookie), 200);

    // Only this site's paths are followed after a login.
    for (const char* next : {"//evil.example/", "https://evil.example/", "/\\evil.example"}) {
        const auto other =
            c.Post("/login", form({{"user", "anna"}, {"password", "anna-pass"}, {"next", next}}),
                   "application/x-www-form-urlencoded");
        ASSERT_TRUE(other);
        EXPECT_EQ(other->get_header_value("Location"), "/") << next;
    }

    const auto out = c.Post("/logout", httplib::Headers{{"Cookie", cookie}}, "", "text/plain");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->status, 303);
    EXPECT_EQ(status(c, "/", cookie), 303) << "the session ended";

    int st = 0;
    EXPECT_TRUE(login(c, "anna", "wrong-pass", &st).empty());
    EXPECT_EQ(st, 401);
    EXPECT_TRUE(login(c, "nobody", "anna-pass", &st).empty());
    EXPECT_EQ(st, 401);
    const std::string log = m_server->log();
    EXPECT_NE(log.find("login ok user=\"anna\" addr=127.0.0.1"), std::string::npos) << log;
    EXPECT_NE(log.find("login failed user=\"anna\""), std::string::npos) << log;
    EXPECT_NE(log.find("login failed user=\"nobody\""), std::string::npos) << log;
    EXPECT_NE(log.find("logout user=\"anna\""), std::string::npos) << log;
}

// A changed password or a removed user ends the sessions made before.
TEST_F(WebServerTest, ChangedOrRemovedUserLosesSession)
{
    start();
    httplib::Client c = m_server->client();
    const std::string anna = login(c, "anna", "anna-pass");
    const std::string root = login(c, "root", "admin-pass");
    ASSERT_FALSE(anna.empty());
    std::string error;
    web::WebUser changed = sampleUsers()[1];
    changed.passwordHash = web::HashPassword("new-anna-pass");
    ASSERT_TRUE(m_users->Update(changed, error));
    ASSERT_TRUE(m_users->Remove("root", error));
    EXPECT_TRUE(
        testwait::until([&] { return status(c, "/", anna) == 303; }, std::chrono::seconds(10)));
    EXPECT_TRUE(
        testwait::until([&] { return status(c, "/", root) == 303; }, std::chrono::seconds(10)));
    EXPECT_FALSE(login(c, "anna", "new-anna-pass").empty());
}

TEST_F(WebServerTest, ViewerGetsNotFoundForEveryUrlOfAnotherCustomer)
{
    start();
    httplib::Client c = m_server->client();
    const std::string anna = login(c, "anna", "anna-pass");
    const std::string root = login(c, "root", "admin-pass");
    ASSERT_FALSE(anna.empty());
    ASSERT_FALSE(root.empty());
    for (const std::string& url : urlsOf(customer(kSeen))) {
        EXPECT_EQ(status(c, url, anna), 200) << url;
    }
    for (const std::string& url : urlsOf(customer(kHidden))) {
        const auto r = c.Get(url.c_str(), httplib::Headers{{"Cookie", anna}});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 404) << url;
        EXPECT_EQ(r->body.find(kHidden), std::string::npos) << url;
        EXPECT_EQ(status(c, url, root), 200) << url;
    }
    const std::string list = body(c, "/", anna);
    EXPECT_NE(list.find(kSeen), std::string::npos);
    EXPECT_EQ(list.find(kHidden), std::string::npos);
    const std::string api = body(c, "/api/customers", anna);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(api))["customers"].toArray().size(),
              1)
        << api;
}

// SQL metacharacters, CP932 bytes and traversal in every parameter: refused or not found,
// never an error, and the server goes on serving.
TEST_F(WebServerTest, HostileParameters)
{
    start();
    httplib::Client c = m_server->client();
    const std::string anna = login(c, "anna", "anna-pass");
    const std::string seen = "/c/" + web::NameId(customer(kSeen).name) + "/";
    const std::string hostile[] = {
        "' OR '1'='1", "\"; DROP TABLE web_users; --", "\x82\xa0\x82\xa2",        "\x81\x5c",
        "%00",         "..%2f..%2fetc%2fpasswd",       "%2e%2e/%2e%2e/etc/passwd"};
    for (const std::string& h : hostile) {
        std::string encoded;
        for (unsigned char ch : h) {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", ch);
            encoded +=
                h.find('%') != std::string::npos ? std::string(1, static_cast<char>(ch)) : esc;
        }
        for (const std::string& path : {"/c/" + encoded + "/", seen + "k/" + encoded + "/",
                                        "/api/c/" + encoded, seen + encoded, "/" + encoded})
            EXPECT_EQ(status(c, path, anna), 404) << path;
        int st = 0;
        EXPECT_TRUE(login(c, h, h, &st).empty()) << h;
        EXPECT_EQ(st, 401) << h;
        const auto next =
            c.Post("/login", form({{"user", "root"}, {"password", "admin-pass"}, {"next", h}}),
                   "application/x-www-form-urlencoded");
        ASSERT_TRUE(next);
        EXPECT_EQ(next->get_header_value("Location").rfind('/', 0), 0u) << h;
    }
    for (const char* raw : {"GET /../../../etc/passwd HTTP/1.1\r\nHost: x\r\nCookie: ",
                            "GET /c/%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\nCookie: "}) {
        RawConnection conn(m_server->port());
        conn.send(std::string(raw) + anna + "\r\nConnection: close\r\n\r\n");
        const std::string answer = conn.readToEnd();
        EXPECT_EQ(answer.find("root:"), std::string::npos) << answer;
        EXPECT_TRUE(answer.rfind("HTTP/1.1 404", 0) == 0 || answer.rfind("HTTP/1.1 400", 0) == 0)
            << answer.substr(0, 80);
    }
    EXPECT_EQ(status(c, "/", anna), 200);
}

TEST_F(WebServerTest, OversizedAndSlowRequests)
{
    web::ServerOptions o;
    o.threads = 2;
    start(o);
    httplib::Client c = m_server->client();
    // A header far beyond the limit, and a body beyond the login form's size.
    {
        RawConnection conn(m_server->port());
        conn.send("GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(200 * 1024, 'a') +
                  "\r\n\r\n");
        const std::string answer = conn.readToEnd();
        EXPECT_TRUE(answer.empty() || answer.rfind("HTTP/1.1 4", 0) == 0) << answer.substr(0, 80);
    }
    const auto big =
        c.Post("/login", std::string(1024 * 1024, 'a'), "application/x-www-form-urlencoded");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);

    // Clients that send part of a request and stop are dropped after the read time-out, and
    // more of them than worker threads do not keep others from being served.
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < 4; ++i) {
        slow.push_back(std::make_unique<RawConnection>(m_server->port()));
        ASSERT_TRUE(slow.back()->connected());
        slow.back()->send("GET / HTTP/1.1\r\nHost: x\r\n");
    }
    EXPECT_EQ(status(c, "/login"), 200);
    for (auto& s : slow)
        EXPECT_EQ(s->readToEnd().find("200 OK"), std::string::npos) << "closed without an answer";
    EXPECT_EQ(status(c, "/login"), 200);
}

TEST_F(WebServerTest, FailedLoginsAreSlowedAndLocked)
{
    web::ServerOptions o;
    o.logins.freeFailures = 1;
    o.logins.firstWait = std::chrono::milliseconds(60000);
    start(o);
    httplib::Client c = m_server->client();
    int st = 0;
    login(c, "anna", "wrong-1", &st);
    EXPECT_EQ(st, 401);
    login(c, "anna", "wrong-2", &st);
    EXPECT_EQ(st, 401);
    EXPECT_TRUE(login(c, "anna", "anna-pass", &st).empty()) << "refused while waiting";
    EXPECT_EQ(st, 429);
    EXPECT_NE(m_server->log().find("login refused (waiting after failures) user=\"anna\""),
              std::string::npos);

    web::ServerOptions locking;
    locking.logins.freeFailures = 100;
    locking.logins.lockAfter = 3;
    start(locking);
    httplib::Client d = m_server->client();
    for (int i = 0; i < 3; ++i)
        login(d, "root", "wrong", &st);
    EXPECT_TRUE(login(d, "root", "admin-pass", &st).empty());
    EXPECT_EQ(st, 429);
    EXPECT_NE(m_server->log().find("login refused (locked) user=\"root\""), std::string::npos);
}

// The report page holds the record's heading values and the painter's SVG; the PDF and the CSV
// are the documents mxrtool writes; the API gives the dump's record members.
TEST_F(WebServerTest, ReportFilesAndApi)
{
    start();
    httplib::Client c = m_server->client();
    const std::string anna = login(c, "anna", "anna-pass");
    const CCustomer& cu = customer(kSeen);
    const CCable& k = cu.cables.At(0);
    const CMeasData& s = k.sets.At(0);
    const CMeasRecord& r = s.RecordAt(0);
    const std::string m = web::RecordUrl(cu, k, s, 0);

    const std::string page = body(c, m, anna);
    for (const std::string& value :
         {kSeen, cp932::toUtf8(k.name), cp932::toUtf8(s.name),
          cp932::toUtf8(mxrfmt::StartDateTimeText(r)), cp932::toUtf8(mxrfmt::TestVoltageText(r))})
        EXPECT_NE(page.find(value), std::string::npos) << value;
    EXPECT_NE(page.find("<img src=\"report.svg?g="), std::string::npos);

    // The drawing: the painter's SVG, kept by the browser until the data changes.
    const auto svg = c.Get((m + "report.svg").c_str(), httplib::Headers{{"Cookie", anna}});
    ASSERT_TRUE(svg);
    EXPECT_EQ(svg->status, 200);
    EXPECT_NE(svg->body.find("<svg"), std::string::npos);
    EXPECT_NE(svg->body.find(kSeen), std::string::npos);
    const std::string etag = svg->get_header_value("ETag");
    ASSERT_FALSE(etag.empty());
    const auto again = c.Get((m + "report.svg").c_str(),
                             httplib::Headers{{"Cookie", anna}, {"If-None-Match", etag}});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 304);
    EXPECT_EQ(status(c, m + "report.svg"), 303) << "no drawing without a session";

    const auto pdf = c.Get((m + "report.pdf").c_str(), httplib::Headers{{"Cookie", anna}});
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->get_header_value("Content-Type"), "application/pdf");
    EXPECT_EQ(pdf->body.rfind("%PDF-", 0), 0u);

    const auto csv = c.Get((m + "data.csv").c_str(), httplib::Headers{{"Cookie", anna}});
    ASSERT_TRUE(csv);
    EXPECT_EQ(csv->body, CsvContent({cu.name, k.name, s.name}, r, CsvLabelsFor("", "", "")));
    EXPECT_NE(csv->get_header_value("Content-Disposition").find(CsvDefaultFileName(r)),
              std::string::npos);

    const QJsonObject rec =
        QJsonDocument::fromJson(QByteArray::fromStdString(body(c, "/api" + m, anna))).object();
    EXPECT_EQ(rec["customer"].toString().toStdString(), kSeen);
    EXPECT_EQ(rec["record"].toObject()["DataNo"].toInt(), r.DataNo);
    EXPECT_EQ(rec["record"].toObject()["TestVoltage"].toDouble(), r.TestVoltage);
    const QJsonObject analysis =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(body(c, "/api" + web::CableUrl(cu, k) + "analysis", anna)))
            .object();
    EXPECT_EQ(analysis["cable"].toString().toStdString(), cp932::toUtf8(k.name));
    EXPECT_FALSE(analysis["sets"].toArray().isEmpty());
}

// A customer's cables show each cable's retest plan as the fleet plans it today: the next due
// date and the status in words, on the page and in its JSON.
TEST_F(WebServerTest, CustomerPageShowsTheRetestPlan)
{
    start();
    httplib::Client c = m_server->client();
    const std::string anna = login(c, "anna", "anna-pass");
    const CCustomer& cu = customer(kSeen);
    const auto plans = fleet::MakeFleet(m_tree, nullptr, {}, {}, fleet::Today()).plans;
    const auto plan = std::find_if(plans.begin(), plans.end(), [&](const fleet::CablePlan& p) {
        return p.customer == cu.name && p.cable == cu.cables.At(0).name;
    });
    ASSERT_NE(plan, plans.end());
    ASSERT_TRUE(plan->nextDue) << "the sample cable has dated records";

    const std::string page = body(c, web::CustomerUrl(cu), anna);
    EXPECT_NE(page.find("<th>次回期限</th><th>状態</th>"), std::string::npos);
    EXPECT_NE(page.find(fleet::SlashText(*plan->nextDue)), std::string::npos);
    EXPECT_NE(page.find(fleet::StatusWord(plan->status)), std::string::npos);

    const QJsonObject json =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(body(c, "/api" + web::CustomerUrl(cu), anna)))
            .object();
    const QJsonObject first = json["cables"].toArray().at(0).toObject();
    EXPECT_EQ(first["nextDue"].toString().toStdString(), fleet::IsoText(*plan->nextDue));
    EXPECT_EQ(first["status"].toString().toStdString(), fleet::StatusKey(plan->status));
}

// A store changed on disk is served anew; a store that cannot be read keeps the last tree.
TEST_F(WebServerTest, ReloadsChangedStore)
{
    start();
    httplib::Client c = m_server->client();
    const std::string root = login(c, "root", "admin-pass");
    CCustomerDB changed = m_tree;
    changed.customers.At(changed.customers.FindOrInsert(cp("新しい需要家")));
    ASSERT_TRUE(SaveStore(changed, m_store).ok);
    EXPECT_TRUE(testwait::until(
        [&] { return body(c, "/", root).find("新しい需要家") != std::string::npos; },
        std::chrono::seconds(10)));
    {
        std::ofstream damaged(m_store, std::ios::binary | std::ios::trunc);
        damaged << "not a store";
    }
    EXPECT_NE(body(c, "/", root).find("新しい需要家"), std::string::npos);
}

TEST(WebServerOptions, NonLoopbackNeedsTlsOrPermission)
{
    web::FixedSource data({}, "empty");
    web::MemoryUserStore users;
    for (const auto& [host, allow, ok] :
         {std::tuple{"0.0.0.0", false, false}, std::tuple{"192.0.2.1", false, false},
          std::tuple{"0.0.0.0", true, true}, std::tuple{"127.0.0.2", false, true}}) {
        web::ServerOptions o;
        o.host = host;
        o.port = 0;
        o.allowRemote = allow;
        web::WebServer s(data, users, o, [](const std::string&) {});
        std::string error;
        EXPECT_EQ(s.Bind(error), ok) << host << " " << error;
    }
    web::ServerOptions tls;
    tls.port = 0;
    tls.certFile = "/nonexistent.pem";
    tls.keyFile = "/nonexistent.key";
    web::WebServer s(data, users, tls, [](const std::string&) {});
    std::string error;
    EXPECT_FALSE(s.Bind(error));
}

// mxrtool web user: the file beside the store (mode 0600), and the server accepting what it
// wrote.
TEST_F(WebServerTest, ToolKeepsUsersFile)
{
    const auto run = [&](const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(MXRTOOL_PATH, QStringList{"web", "user"} + args +
                                  QStringList{"--store", QString::fromStdString(m_store)});
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), p.readAllStandardOutput()};
    };
    EXPECT_EQ(run({"add", "carl", "--role", "viewer", "--customer", QString::fromStdString(kHidden),
                   "--password-stdin"},
                  "carl-password\n")
                  .first,
              0);
    EXPECT_EQ(run({"add", "carl", "--role", "viewer", "--customer", "x", "--password-stdin"},
                  "carl-password\n")
                  .first,
              1)
        << "exists";
    EXPECT_EQ(run({"add", "dora", "--role", "admin", "--customer", "x", "--password-stdin"},
                  "dora-password\n")
                  .first,
              2);
    EXPECT_EQ(run({"add", "dora", "--role", "viewer", "--password-stdin"}, "dora-password\n").first,
              2);
    EXPECT_EQ(run({"add", "dora", "--role", "admin", "--password-stdin"}, "short\n").first, 2);
    EXPECT_EQ(run({"passwd", "carl", "--password-stdin"}, "carl-password-2\n").first, 0);
    const auto [code, listing] = run({"list"});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(listing.indexOf("argon2"), -1) << "no hashes printed";
    const QJsonArray users = QJsonDocument::fromJson(listing)["users"].toArray();
    ASSERT_EQ(users.size(), 3);
    EXPECT_EQ(users[2].toObject()["customers"].toArray()[0].toString().toStdString(), kHidden);

    struct stat st {};
    ASSERT_EQ(stat(web::UsersFileFor(m_store).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    start();
    httplib::Client c = m_server->client();
    const std::string carl = login(c, "carl", "carl-password-2");
    ASSERT_FALSE(carl.empty());
    EXPECT_EQ(status(c, "/c/" + web::NameId(customer(kHidden).name) + "/", carl), 200);
    EXPECT_EQ(status(c, "/c/" + web::NameId(customer(kSeen).name) + "/", carl), 404);
    EXPECT_EQ(run({"remove", "carl"}).first, 0);
    EXPECT_EQ(run({"remove", "carl"}).first, 1);
}

// HTTPS with the given certificate and key: the session cookie is then marked Secure, and a
// plain-HTTP request gets no page.
TEST_F(WebServerTest, TlsServesWithSecureCookies)
{
    const std::string cert = (m_dir / "cert.pem").string(), key = (m_dir / "key.pem").string();
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                              "-subj", "/CN=127.0.0.1", "-keyout", QString::fromStdString(key),
                              "-out", QString::fromStdString(cert)});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        GTEST_SKIP() << "no openssl command to make a test certificate";
    web::ServerOptions o;
    o.certFile = cert;
    o.keyFile = key;
    start(o);
    httplib::SSLClient c("127.0.0.1", m_server->port());
    c.enable_server_certificate_verification(false); // self-signed for the test
    const auto r = c.Post("/login", form({{"user", "anna"}, {"password", "anna-pass"}}),
                          "application/x-www-form-urlencoded");
    ASSERT_TRUE(r) << httplib::to_string(r.error());
    EXPECT_EQ(r->status, 303);
    const std::string set = r->get_header_value("Set-Cookie");
    EXPECT_NE(set.find("; Secure"), std::string::npos) << set;
    const auto page = c.Get("/", httplib::Headers{{"Cookie", set.substr(0, set.find(';'))}});
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find(kSeen), std::string::npos);

    httplib::Client plain = m_server->client();
    const auto p = plain.Get("/login");
    EXPECT_TRUE(!p || p->status >= 400);
}
