// The web viewer's core without a server: users file, names, passwords, sessions, the login
// brake and the resolution of URL paths through a viewer's customers.
#include <gtest/gtest.h>

#include "samplerecords.h"
#include "sessions.h"
#include "webfixture.h"
#include "webtree.h"
#include "webusers.h"

using namespace web;
using namespace std::chrono_literals;

TEST(WebUsers, FileRoundTripAndRefusals)
{
    const std::vector<WebUser> users = {
        {"root", Role::Admin, "$argon2id$x", {}},
        {"閲覧 者", Role::Viewer, "$argon2id$y", {"港南製鉄所", "A' OR '1'='1"}},
    };
    std::vector<WebUser> back;
    std::string error;
    ASSERT_TRUE(ParseUsersFile(FormatUsersFile(users), back, error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].name, "閲覧 者");
    EXPECT_EQ(back[1].role, Role::Viewer);
    EXPECT_EQ(back[1].customers, users[1].customers);
    EXPECT_EQ(back[0].passwordHash, "$argon2id$x");

    for (const char* bad : {"root\tsuperuser\t$h\n", "root\tadmin\n", "\tadmin\t$h\n"})
        EXPECT_FALSE(ParseUsersFile(bad, back, error)) << bad;
    EXPECT_TRUE(ParseUsersFile("# comment\n\r\nroot\tadmin\t$h\r\n", back, error));
}

TEST(WebUsers, NamesAndPasswords)
{
    for (const char* ok : {"anna", "山田 太郎", "a'; DROP TABLE web_users; --"})
        EXPECT_TRUE(ValidUserName(ok)) << ok;
    for (const std::string bad : {std::string(), std::string("a\tb"), std::string("a\nb"),
                                  std::string("\x82\xa0"), std::string(65, 'x')})
        EXPECT_FALSE(ValidUserName(bad)) << bad;

    const std::string hash = HashPassword("correct horse");
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u);
    EXPECT_TRUE(VerifyPassword(hash, "correct horse"));
    EXPECT_FALSE(VerifyPassword(hash, "correct horsf"));
    EXPECT_FALSE(VerifyPassword("not a hash", "correct horse"));
}

TEST(WebSessions, IdleAndAbsoluteTimeOuts)
{
    SessionTable t({10min, 60min});
    const Clock::time_point t0{};
    const std::string token = t.Create({"anna", "h"}, t0);
    EXPECT_EQ(token.size(), 64u);
    EXPECT_NE(token, t.Create({"anna", "h"}, t0)) << "tokens are random";
    // Requests every 9 minutes keep it alive until the absolute limit.
    Clock::time_point now = t0;
    for (int i = 0; i < 6; ++i) {
        now += 9min;
        ASSERT_TRUE(t.Touch(token, now)) << i;
    }
    EXPECT_FALSE(t.Touch(token, t0 + 61min));
    EXPECT_FALSE(t.Touch(token, t0 + 62min)) << "an expired session is gone";

    const std::string idle = t.Create({"anna", "h"}, t0);
    EXPECT_FALSE(t.Touch(idle, t0 + 10min));
    const std::string out = t.Create({"anna", "h"}, t0);
    t.Remove(out);
    EXPECT_FALSE(t.Touch(out, t0));
    EXPECT_FALSE(t.Touch("", t0));
}

TEST(WebSessions, FailedLoginsWaitLongerAndLock)
{
    LoginLimits limits;
    limits.freeFailures = 2;
    limits.firstWait = 1000ms;
    limits.maxWait = 4000ms;
    limits.lockAfter = 6;
    limits.lockFor = 15min;
    LoginGuard g(limits);
    Clock::time_point now{};
    g.Failed("anna", "10.0.0.1", now);
    g.Failed("anna", "10.0.0.1", now);
    EXPECT_EQ(g.Check("anna", "10.0.0.1", now), LoginGuard::Verdict::Allowed);
    g.Failed("anna", "10.0.0.1", now); // third: wait 1 s
    EXPECT_EQ(g.Check("anna", "10.0.0.2", now + 999ms), LoginGuard::Verdict::Wait) << "per name";
    EXPECT_EQ(g.Check("bob", "10.0.0.1", now + 999ms), LoginGuard::Verdict::Wait) << "per address";
    EXPECT_EQ(g.Check("bob", "10.0.0.2", now), LoginGuard::Verdict::Allowed);
    now += 1s;
    EXPECT_EQ(g.Check("anna", "10.0.0.1", now), LoginGuard::Verdict::Allowed);
    g.Failed("anna", "10.0.0.1", now); // fourth: 2 s
    EXPECT_EQ(g.Check("anna", "10.0.0.1", now + 1999ms), LoginGuard::Verdict::Wait);
    now += 2s;
    g.Failed("anna", "10.0.0.1", now); // fifth: 4 s (the maximum)
    EXPECT_EQ(g.Check("anna", "10.0.0.1", now + 3999ms), LoginGuard::Verdict::Wait);
    now += 4s;
    g.Failed("anna", "10.0.0.1", now); // sixth: locked
    EXPECT_EQ(g.Check("anna", "10.0.0.9", now + 14min), LoginGuard::Verdict::Locked);
    EXPECT_EQ(g.Check("anna", "10.0.0.9", now + 15min), LoginGuard::Verdict::Allowed);

    g.Failed("carl", "10.0.0.3", now);
    g.Failed("carl", "10.0.0.3", now);
    g.Failed("carl", "10.0.0.3", now);
    g.Succeeded("carl", "10.0.0.3");
    EXPECT_EQ(g.Check("carl", "10.0.0.3", now), LoginGuard::Verdict::Allowed);
}

// A viewer of one customer: every path to another customer's data, and every malformed path,
// resolves to nothing, exactly as a path to data that does not exist.
TEST(WebTree, ViewerResolvesOnlyOwnCustomers)
{
    const CCustomerDB tree = webtest::sampleTree();
    const Viewer anna = Viewer::Of(webtest::sampleUsers()[1]);
    const Viewer root = Viewer::Of(webtest::sampleUsers()[0]);
    const CCustomer& seen = tree.customers.At(tree.customers.Find(webtest::cp(webtest::kSeen)));
    const CCustomer& hidden = tree.customers.At(tree.customers.Find(webtest::cp(webtest::kHidden)));
    ASSERT_EQ(VisibleCustomers(tree, anna).size(), 1u);
    EXPECT_EQ(VisibleCustomers(tree, root).size(),
              static_cast<std::size_t>(tree.customers.Count()));

    for (const std::string& url : webtest::urlsOf(hidden)) {
        const std::string path = url.substr(url.rfind("/api/", 0) == 0 ? 5 : 1);
        EXPECT_FALSE(Resolve(tree, anna, path)) << url;
        EXPECT_TRUE(Resolve(tree, root, path)) << url;
    }
    for (const std::string& url : webtest::urlsOf(seen))
        EXPECT_TRUE(Resolve(tree, anna, url.substr(url.rfind("/api/", 0) == 0 ? 5 : 1))) << url;

    // The hidden customer's cable under the seen customer's id, and the other way round.
    const std::string seenId = NameId(seen.name), hiddenId = NameId(hidden.name);
    const std::string hiddenCable = NameId(hidden.cables.At(0).name);
    const std::string seenCable = NameId(seen.cables.At(0).name);
    const std::string seenSet = NameId(seen.cables.At(0).sets.At(0).name);
    const std::string cases[] = {
        "c/" + seenId + "/k/" + hiddenCable + "/",
        "c/" + hiddenId + "/k/" + seenCable + "/",
        "c/" + seenId + "/k/" + seenCable + "/s/" + seenSet + "/m/99999/",
        "c/" + seenId + "/k/" + seenCable + "/s/" + seenSet + "/m/-1/",
        "c/" + seenId + "/k/" + seenCable + "/s/" + seenSet + "/m/01/",
        "c/" + seenId + "/k/" + seenCable + "/s/" + seenSet + "/m/1e3/",
        "c/" + seenId + "/s/" + seenSet + "/",
        "c/" + seenId + "/../" + hiddenId + "/",
        "c/" + seenId.substr(0, 15) + "/",
        "c/" + seenId + "0/",
        "c/" + webtest::kSeen + "/",
        "c/" + webtest::cp(webtest::kSeen) + "/",
        "c/' OR '1'='1/",
        "c/" + seenId + "/k/x'; DROP TABLE records; --/",
        "c//",
        "../../etc/passwd",
    };
    for (const std::string& path : cases)
        EXPECT_FALSE(Resolve(tree, anna, path)) << path;
}

// The customer page's and the API's newest record per phase: the latest start time over all
// sets, an undated record only for a phase without a dated one.
TEST(WebTree, LatestRecordPerPhase)
{
    CCustomerDB tree;
    const auto add = [&](const char* set, int kind, double date, bool dated, int dataNo) {
        CMeasRecord r;
        r.Condition.CabKind = kind;
        r.StartTime = {date, dated ? OleDateTime::Valid : OleDateTime::Invalid};
        r.DataNo = dataNo;
        r.TestVoltage = dataNo; // keeps the records apart in their set
        sample::setAt(tree, "C", "K", set).InsertRecord(r);
    };
    add("2025", CabKindR, 45800, true, 1);
    add("2024", CabKindR, 45400, true, 2);
    add("2026", CabKindR, 0, false, 3); // undated, in the newest-named set
    add("2024", CabKindT, 0, false, 4);
    add("2024", CabKindThreePhase, 45400, true, 5);
    add("2025", CabKindThreePhase, 45400.5, true, 6);
    add("2025", 0, 46000, true, 7); // no phase
    const auto latest = LatestPerPhase(tree.customers.At(0).cables.At(0));
    ASSERT_TRUE(latest[0].record);
    EXPECT_EQ(latest[0].record->DataNo, 1);
    EXPECT_FALSE(latest[1].record) << "no S-phase record";
    ASSERT_TRUE(latest[2].record);
    EXPECT_EQ(latest[2].record->DataNo, 4);
    ASSERT_TRUE(latest[3].record);
    EXPECT_EQ(latest[3].record->DataNo, 6);
    EXPECT_EQ(latest[3].set->name, "2025");
}
