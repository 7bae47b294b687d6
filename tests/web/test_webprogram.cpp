// The mxrweb program as an administrator starts it: the demo in one command, stopped by
// SIGTERM, and the refusals of its start.
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <httplib.h>

#include "waitfor.h"

namespace {

struct Started {
    int exitCode = -1;
    QByteArray err;
};

Started runToEnd(const QStringList& args)
{
    QProcess p;
    p.start(MXRWEB_PATH, args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardError()};
}

} // namespace

TEST(WebProgram, DemoStartsInOneCommandAndStopsOnSigterm)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(MXRWEB_PATH, {"--demo", "--listen", "127.0.0.1:0"});
    QByteArray err;
    int port = 0;
    ASSERT_TRUE(testwait::until(
        [&] {
            p.waitForReadyRead(50);
            err += p.readAllStandardError();
            const auto m =
                QRegularExpression("serving demo on http://127.0.0.1:(\\d+)/").match(err);
            port = m.hasMatch() ? m.captured(1).toInt() : 0;
            return port > 0;
        },
        std::chrono::seconds(60)))
        << err.constData();
    httplib::Client c("127.0.0.1", port);
    const auto login =
        c.Post("/login", "user=demo&password=demo", "application/x-www-form-urlencoded");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 303);
    const std::string cookie = login->get_header_value("Set-Cookie");
    const auto page = c.Get("/", httplib::Headers{{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("港南製鉄所"), std::string::npos);
    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(WebProgram, RefusesWhatItCannotServeSafely)
{
    struct Case {
        QStringList args;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {{"--demo", "--listen", "0.0.0.0:0"}, 1, "loopback"},
        {{"--demo", "--listen", "127.0.0.1:0", "--cert", "/nonexistent.pem"},
         1,
         "--cert and --key"},
        {{"--store", "/nonexistent/MXR.DAT"}, 1, "no data store"},
        {{"--demo", "--db"}, 2, "one of"},
        {{}, 2, "one of"},
        {{"--demo", "--listen", "nowhere"}, 2, "--listen"},
    };
    for (const Case& c : cases) {
        const Started s = runToEnd(c.args);
        EXPECT_EQ(s.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(s.err.contains(c.says)) << s.err.constData();
    }
}
