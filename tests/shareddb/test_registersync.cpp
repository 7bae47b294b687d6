// The cable register through a real PostgreSQL server: two workstations' registers meet, the
// last writer wins per cable with the losing revision kept, and removals travel; customers'
// default intervals travel the same way and the added cable types become a union.
#include <gtest/gtest.h>

#include "model/cp932text.h"
#include "pgtestcase.h"
#include "shareddb/pgconnection.h"
#include "shareddb/registersync.h"
#include "shareddb/sync.h"
#include "synctesthelp.h"
#include "workspace/cableregister.h"
#include "workspace/workspace.h"

using namespace shareddb;

namespace {

ws::CableRegisterEntry entry(const std::string& cable, const std::string& person)
{
    ws::CableRegisterEntry e;
    e.customer = cp932::lit("顧客Ａ");
    e.cable = cable;
    e.person = person;
    e.voltageKv = 6.6;
    e.lengthM = 0.1 + 0.2; // not a short decimal: travels bit for bit
    return e;
}

class RegisterSyncTest : public PgTestCase<> {
protected:
    SyncTarget folder(const std::string& name)
    {
        return synctest::folder(server().params(m_db), m_tmp, name);
    }
    // Runs f on the register of the target's workspace (made when missing).
    template <class F> void with(const SyncTarget& t, F f)
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(t.storePath, true).usable());
        ws::CableRegister reg(w);
        f(reg);
    }
    int64_t serverCount(const std::string& table)
    {
        PgConnection c(server().params(m_db));
        return std::stoll(std::string(c.exec("SELECT count(*) FROM " + table).raw(0, 0)));
    }
    int64_t serverOld() { return serverCount("cable_register_old"); }
};

} // namespace

TEST_F(RegisterSyncTest, LastWriterWinsPerCableAndTheLoserIsKept)
{
    SyncTarget a = folder("A"), b = folder("B");
    const std::string customer = cp932::lit("顧客Ａ");
    with(a, [](ws::CableRegister& r) {
        r.Put(entry("K1", "a-first"), {"u", "A"}, 1000);
        r.Put(entry("K2", "a-only"), {"u", "A"}, 1000);
        r.Put(entry("K3", "to-remove"), {"u", "A"}, 1000);
    });
    SyncSummary s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerSent, 3);
    EXPECT_EQ(s.registerProblem, "");

    // B has no workspace yet: it gets one with A's entries, values bit for bit.
    s = RunSync(b, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerReceived, 3);
    with(b, [&](ws::CableRegister& r) {
        ASSERT_TRUE(r.Find(customer, "K2"));
        EXPECT_EQ(*r.Find(customer, "K2"), (ws::CableRegisterEntry{[&] {
                      ws::CableRegisterEntry e = entry("K2", "a-only");
                      e.modified = 1000;
                      e.user = "u";
                      e.workstation = "A";
                      return e;
                  }()}));
    });

    // Both edit K1: B later. A removes K3. Whoever syncs first, B's K1 and A's removal win.
    with(a, [](ws::CableRegister& r) {
        r.Put(entry("K1", "a-second"), {"u", "A"}, 2000);
        r.Remove(cp932::lit("顧客Ａ"), "K3", {"u", "A"}, 2000);
    });
    with(b, [](ws::CableRegister& r) { r.Put(entry("K1", "b-later"), {"u", "B"}, 3000); });
    ASSERT_TRUE(RunSync(b, SyncMode::Sync).ok);
    s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerSent, 1) << "the removal; A's K1 lost to B's";
    EXPECT_EQ(s.registerReceived, 1);
    s = RunSync(b, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerReceived, 1);
    EXPECT_EQ(s.registerSent, 0);

    for (const SyncTarget* t : {&a, &b})
        with(*t, [&](ws::CableRegister& r) {
            EXPECT_EQ(r.Find(customer, "K1")->person, "b-later");
            EXPECT_FALSE(r.Find(customer, "K3"));
            EXPECT_TRUE(r.Find(customer, "K2"));
        });
    with(a, [&](ws::CableRegister& r) {
        ASSERT_FALSE(r.OldRevisions(customer, "K1").empty());
        EXPECT_EQ(r.OldRevisions(customer, "K1")[0].person, "a-second") << "A's loser kept";
    });
    EXPECT_EQ(serverOld(), 2) << "the server's replaced K1 and K3 kept";

    // Everything in step: nothing travels.
    s = RunSync(a, SyncMode::Sync);
    EXPECT_EQ(s.registerSent + s.registerReceived, 0);
}

TEST_F(RegisterSyncTest, CustomerIntervalsLastWriterWinsAndCableTypesUnite)
{
    // Through the sync role, so that its grants on these tables are what a sync needs.
    ASSERT_TRUE(server().sql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                             "'syncer') THEN CREATE ROLE syncer LOGIN; END IF; END $$"));
    ASSERT_TRUE(server().sql("GRANT mxr_sync TO syncer"));
    SyncTarget a = folder("A"), b = folder("B");
    for (SyncTarget* t : {&a, &b})
        for (auto& [k, v] : t->db.params)
            if (k == "user")
                v = "syncer";
    const std::string c1 = cp932::lit("顧客Ａ"), c2 = cp932::lit("顧客Ｂ");
    with(a, [&](ws::CableRegister& r) {
        r.SetCustomerInterval(c1, 24, {"u", "A"}, 1000);
        r.SetCustomerInterval(c2, 12, {"u", "A"}, 1000);
        r.AddCableType("XLPE");
    });
    SyncSummary s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerSent, 3);

    // B sets C1 later than A's next change of it; A clears C2. B's own types include one that
    // differs from A's only in letter case.
    with(b, [&](ws::CableRegister& r) {
        r.SetCustomerInterval(c1, 36, {"u", "B"}, 3000);
        r.AddCableType("xlpe");
        r.AddCableType("EM-CE");
    });
    with(a, [&](ws::CableRegister& r) {
        r.SetCustomerInterval(c1, 6, {"u", "A"}, 2000);
        r.SetCustomerInterval(c2, std::nullopt, {"u", "A"}, 2000);
    });
    s = RunSync(b, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerSent, 2) << "C1 and EM-CE";
    EXPECT_EQ(s.registerReceived, 1) << "C2; XLPE is there as xlpe";
    s = RunSync(a, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerSent, 1) << "the clearing of C2; A's C1 lost to B's";
    EXPECT_EQ(s.registerReceived, 2) << "B's C1 and EM-CE";
    s = RunSync(b, SyncMode::Sync);
    ASSERT_TRUE(s.ok) << s.message;
    EXPECT_EQ(s.registerReceived, 1) << "the clearing of C2";
    EXPECT_EQ(s.registerSent, 0);

    for (const SyncTarget* t : {&a, &b})
        with(*t, [&](ws::CableRegister& r) {
            EXPECT_EQ(r.CustomerInterval(c1), 36);
            EXPECT_FALSE(r.CustomerInterval(c2));
            ASSERT_EQ(r.AddedCableTypes().size(), 2u);
            EXPECT_EQ(r.AddedCableTypes()[1], "EM-CE");
        });
    with(a, [&](ws::CableRegister& r) {
        EXPECT_EQ(r.AddedCableTypes()[0], "XLPE");
        ASSERT_FALSE(r.OldCustomerRevisions(c1).empty());
        EXPECT_EQ(r.OldCustomerRevisions(c1)[0],
                  (ws::CableRegister::CustomerRevision{c1, 6, 2000, "u", "A"}))
            << "A's loser kept";
        EXPECT_EQ(*r.CustomerRevisionOf(c1),
                  (ws::CableRegister::CustomerRevision{c1, 36, 3000, "u", "B"}));
    });
    EXPECT_EQ(serverCount("customer_register_old"), 2) << "A's first C1 and C2 kept";
    EXPECT_EQ(serverCount("cable_type"), 2);

    s = RunSync(a, SyncMode::Sync);
    EXPECT_EQ(s.registerSent + s.registerReceived, 0);
}
