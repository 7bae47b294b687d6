// Headless Chromium reading the web viewer's pages as a browser does: it logs in through the
// form (posted from a page of another port of the same host, so the SameSite=Strict cookie is
// kept), then shows a measurement's report page. Skipped where Chromium is missing or cannot
// run.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "model/format.h"
#include "store/store.h"
#include "webfixture.h"
#include "webtree.h"

using namespace webtest;

namespace {

class WebBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"chromium", "chromium-browser", "google-chrome"})
            if (m_chromium = QStandardPaths::findExecutable(name); !m_chromium.isEmpty())
                break;
        if (m_chromium.isEmpty())
            GTEST_SKIP() << "no Chromium on this machine";
        ASSERT_TRUE(m_dir.isValid());
        m_store = m_dir.filePath("MXR.DAT").toStdString();
        m_tree = sampleTree();
        ASSERT_TRUE(SaveStore(m_tree, m_store).ok);
        m_users = std::make_unique<web::MemoryUserStore>(sampleUsers());
        m_source = std::make_unique<web::StoreSource>(m_store, [](const std::string&) {});
        m_server = std::make_unique<RunningServer>(*m_source, *m_users);

        const CCustomer& cu = m_tree.customers.At(m_tree.customers.Find(cp(kSeen)));
        m_record = &cu.cables.At(0).sets.At(0).RecordAt(0);
        m_target = web::RecordUrl(cu, cu.cables.At(0), cu.cables.At(0).sets.At(0), 0);
        // The page that posts the login form as soon as it is shown.
        const std::string page =
            "<!DOCTYPE html><html><body><form id=\"f\" method=\"post\" action=\"http://127.0.0.1:" +
            std::to_string(m_server->port()) +
            "/login\"><input name=\"user\" value=\"anna\">"
            "<input name=\"password\" value=\"anna-pass\"><input name=\"next\" value=\"" +
            m_target +
            "\"></form><script>document.getElementById('f').submit();</script></body></html>";
        m_start.Get("/", [page](const httplib::Request&, httplib::Response& res) {
            res.set_content(page, "text/html");
        });
        m_startPort = m_start.bind_to_any_port("127.0.0.1");
        ASSERT_GT(m_startPort, 0);
        m_startThread = std::thread([this] { m_start.listen_after_bind(); });
        ASSERT_TRUE(
            testwait::until([this] { return m_start.is_running(); }, std::chrono::seconds(10)));
    }
    void TearDown() override
    {
        m_start.stop();
        if (m_startThread.joinable())
            m_startThread.join();
    }

    // Runs Chromium headless on the start page with the extra arguments; its standard output.
    // Skips the case when Chromium cannot run here.
    QByteArray chromium(const QStringList& extra)
    {
        QTemporaryDir profile;
        QStringList args{"--headless=new",
                         "--disable-gpu",
                         "--hide-scrollbars",
                         "--no-first-run",
                         "--user-data-dir=" + profile.path(),
                         "--virtual-time-budget=8000"};
        if (geteuid() == 0)
            args << "--no-sandbox"; // the sandbox refuses to run as root
        args << extra << QString("http://127.0.0.1:%1/").arg(m_startPort);
        QProcess p;
        p.start(m_chromium, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "Chromium did not finish";
            return {};
        }
        if (p.exitCode() != 0 && p.readAllStandardOutput().isEmpty())
            m_skip =
                "Chromium cannot run here: " + p.readAllStandardError().left(300).toStdString();
        return p.readAllStandardOutput();
    }

    QString m_chromium;
    QTemporaryDir m_dir;
    std::string m_store;
    CCustomerDB m_tree;
    std::unique_ptr<web::MemoryUserStore> m_users;
    std::unique_ptr<web::StoreSource> m_source;
    std::unique_ptr<RunningServer> m_server;
    const CMeasRecord* m_record = nullptr;
    std::string m_target;
    httplib::Server m_start;
    int m_startPort = 0;
    std::thread m_startThread;
    std::string m_skip;
};

} // namespace

TEST_F(WebBrowserTest, DomHoldsTheRecordsHeadingValues)
{
    const std::string dom = chromium({"--dump-dom"}).toStdString();
    if (!m_skip.empty())
        GTEST_SKIP() << m_skip;
    ASSERT_NE(dom.find("<dl class=\"heading\">"), std::string::npos) << dom.substr(0, 600);
    const CMeasRecord& r = *m_record;
    for (const std::string& value : {kSeen, cp932::toUtf8(mxrfmt::StartDateTimeText(r)),
                                     cp932::toUtf8(mxrfmt::TestVoltageText(r)),
                                     cp932::toUtf8(mxrfmt::LastCurrentJudgedText(r)),
                                     cp932::toUtf8(mxrfmt::MeasuringTimeText(r))}) {
        const auto trimmed = value.substr(value.find_first_not_of(' '));
        EXPECT_NE(dom.find("<dd>" + trimmed + "</dd>"), std::string::npos) << trimmed;
    }
    EXPECT_NE(dom.find("<img src=\"report.svg"), std::string::npos);
    EXPECT_NE(m_server->log().find("login ok user=\"anna\""), std::string::npos);
}

// Pictures of the report page at a desktop and a tablet size, for a person to look at.
TEST_F(WebBrowserTest, GrabReportPage)
{
    std::filesystem::create_directories(MXR_WEB_SHOTS_DIR);
    for (const auto& [w, h] : {std::pair{1280, 800}, std::pair{800, 1200}}) {
        const QString file = QString("%1/report-%2x%3.png").arg(MXR_WEB_SHOTS_DIR).arg(w).arg(h);
        QFile::remove(file);
        chromium({QString("--window-size=%1,%2").arg(w).arg(h), "--screenshot=" + file});
        if (!m_skip.empty())
            GTEST_SKIP() << m_skip;
        EXPECT_GT(QFileInfo(file).size(), 20000) << file.toStdString();
    }
}
