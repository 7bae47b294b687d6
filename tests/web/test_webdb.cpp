// The web viewer over the shared database: a login role granted mxr_web reads the tree and the
// users and can change nothing; the users table keeps hostile names as they are.
#include <gtest/gtest.h>

#include "pgtestcase.h"
#include "shareddb/pgconnection.h"
#include "model/format.h"
#include "store/store.h"
#include "synctesthelp.h"
#include "webfixture.h"
#include "webtree.h"

using namespace webtest;

namespace {

class WebDbTest : public PgTestCase<> {
protected:
    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_owner.params = server().params(m_db);
        m_reader = m_owner;
        const std::string role = "web_" + m_db;
        ASSERT_TRUE(server().sql("CREATE ROLE \"" + role + "\" LOGIN IN ROLE mxr_web"));
        for (auto& [k, v] : m_reader.params)
            if (k == "user")
                v = role;
        m_workstation = synctest::folder(m_owner.params, m_tmp, "ws1");
        m_tree = sampleTree();
        push(m_tree);
    }
    void push(const CCustomerDB& tree)
    {
        ASSERT_TRUE(SaveStore(tree, m_workstation.storePath).ok);
        const shareddb::SyncSummary s = shareddb::RunSync(m_workstation, shareddb::SyncMode::Push);
        ASSERT_TRUE(s.ok) << s.message;
    }

    shareddb::DbSettings m_owner, m_reader;
    shareddb::SyncTarget m_workstation;
    CCustomerDB m_tree;
};

} // namespace

TEST_F(WebDbTest, ReaderRoleServesTreeAndUsersAndWritesNothing)
{
    // Users made with the owner's connection, one with SQL in its name and customer list.
    web::DbUserStore admin(m_owner);
    std::string error;
    const std::string sqlName = "a'; DROP TABLE web_users; --";
    ASSERT_TRUE(admin.Add(
        {sqlName, web::Role::Viewer, web::HashPassword("sql-pass"), {kSeen, "x' OR '1'='1"}},
        error))
        << error;
    ASSERT_TRUE(admin.Add({"root", web::Role::Admin, web::HashPassword("admin-pass"), {}}, error));
    EXPECT_FALSE(admin.Add({"root", web::Role::Admin, "h", {}}, error)) << "exists";
    const auto back = admin.Find(sqlName, error);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->customers, (std::vector<std::string>{"x' OR '1'='1", kSeen}))
        << "in name order";

    web::DbSource source(
        m_reader, [](const std::string&) {}, std::chrono::milliseconds(0));
    ASSERT_TRUE(source.Refresh());
    web::DbUserStore readerUsers(m_reader);
    RunningServer server(source, readerUsers);
    httplib::Client c = server.client();
    const std::string viewer = login(c, sqlName, "sql-pass");
    ASSERT_FALSE(viewer.empty()) << server.log();
    const CCustomer& seen = m_tree.customers.At(m_tree.customers.Find(cp(kSeen)));
    const CCustomer& hidden = m_tree.customers.At(m_tree.customers.Find(cp(kHidden)));
    for (const std::string& url : urlsOf(seen))
        EXPECT_EQ(status(c, url, viewer), 200) << url;
    for (const std::string& url : urlsOf(hidden))
        EXPECT_EQ(status(c, url, viewer), 404) << url;
    const std::string page =
        body(c, web::RecordUrl(seen, seen.cables.At(0), seen.cables.At(0).sets.At(0), 0), viewer);
    EXPECT_NE(page.find(cp932::toUtf8(
                  mxrfmt::StartDateTimeText(seen.cables.At(0).sets.At(0).RecordAt(0)))),
              std::string::npos);

    // What another workstation sends is served at the next request.
    const std::string root = login(c, "root", "admin-pass");
    CCustomerDB more = m_tree;
    sample::setAt(more, cp("追加の需要家"), cp("ケーブル"), cp("2026年"))
        .InsertRecord(seen.cables.At(0).sets.At(0).RecordAt(0));
    push(more);
    EXPECT_TRUE(testwait::until(
        [&] { return body(c, "/", root).find("追加の需要家") != std::string::npos; },
        std::chrono::seconds(10)));

    // The reader's role may change nothing.
    shareddb::PgConnection conn(m_reader.params, 10);
    for (const char* statement :
         {"INSERT INTO web_users (name, role, password_hash) VALUES ('x', 'admin', 'h')",
          "UPDATE web_users SET role = 'admin'", "DELETE FROM records",
          "UPDATE customers SET name = name", "CREATE TABLE mine (i int)"})
        EXPECT_THROW(conn.exec(statement), shareddb::PgError) << statement;
    EXPECT_FALSE(web::DbUserStore(m_reader).Remove("root", error));
}
