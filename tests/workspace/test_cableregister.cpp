// The cable register's storage: entries round-trip with their empty fields, names compare as
// the tree compares them, and no revision is lost by a write, a rename or a removal.
#include <gtest/gtest.h>

#include "model/cp932text.h"
#include "workspace/cableregister.h"
#include "workspace/workspace.h"
#include "wstestfolder.h"

namespace {

const ws::Actor kActor{"tanaka", "pc-7"};

ws::CableRegisterEntry entry(const std::string& customer, const std::string& cable)
{
    ws::CableRegisterEntry e;
    e.customer = customer;
    e.cable = cable;
    e.location = "第2変電所 2号系統";
    e.voltageKv = 6.6;
    e.cableType = "CVT";
    e.crossSection = 325;
    e.installYear = 1998;
    e.importance = "A";
    e.person = "佐藤";
    return e;
}

} // namespace

TEST(CableRegister, EntriesRoundTripAndNamesFoldAsTheTreeDoes)
{
    WsTestFolder dir;
    ws::Workspace workspace;
    ASSERT_TRUE(workspace.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(workspace);
    const std::string customer = cp932::lit("顧客Ａ");
    reg.Put(entry(customer, "CV-1"), kActor, 1000);

    const auto found = reg.Find(customer, "cv-1");
    ASSERT_TRUE(found) << "ASCII letters compare folded";
    ws::CableRegisterEntry expected = entry(customer, "CV-1");
    expected.modified = 1000;
    expected.user = kActor.user;
    expected.workstation = kActor.workstation;
    EXPECT_EQ(*found, expected) << "empty length and interval stay empty";
    EXPECT_FALSE(reg.Find(cp932::lit("顧客ａ"), "CV-1")) << "full-width letters are not folded";

    reg.SetCustomerInterval(customer, 24);
    EXPECT_EQ(reg.CustomerInterval(customer), 24);
    reg.SetCustomerInterval(customer, std::nullopt);
    EXPECT_FALSE(reg.CustomerInterval(customer));
}

TEST(CableRegister, CustomerIntervalsAreStampedAndKeepWhatTheyReplaced)
{
    WsTestFolder dir;
    ws::Workspace workspace;
    ASSERT_TRUE(workspace.Open(dir / "MXR.DAT", true).usable());
    // A table from before settings were stamped, with one setting in it.
    workspace.Db().Exec("CREATE TABLE customer_register (customer_key BLOB PRIMARY KEY, "
                        "customer_raw BLOB NOT NULL, customer TEXT NOT NULL, "
                        "interval_months INTEGER);"
                        "INSERT INTO customer_register VALUES (X'63', X'43', 'C', 24)");
    ws::CableRegister reg(workspace);
    using Rev = ws::CableRegister::CustomerRevision;
    EXPECT_EQ(reg.CustomerRevisionOf("c"), (Rev{"C", 24, 0, "", ""})) << "counts as written at 0";

    reg.SetCustomerInterval("C", std::nullopt, kActor, 500);
    EXPECT_FALSE(reg.CustomerInterval("C"));
    EXPECT_EQ(reg.CustomerRevisionOf("C"), (Rev{"C", std::nullopt, 500, "tanaka", "pc-7"}))
        << "the clearing stays as a revision";
    reg.SetCustomerInterval("C", 12, kActor, 600);
    ASSERT_EQ(reg.OldCustomerRevisions("C").size(), 2u);
    EXPECT_EQ(reg.OldCustomerRevisions("C")[0], (Rev{"C", std::nullopt, 500, "tanaka", "pc-7"}));
    EXPECT_EQ(reg.OldCustomerRevisions("C")[1], (Rev{"C", 24, 0, "", ""}));

    reg.SetCustomerInterval("never-set", std::nullopt, kActor, 700);
    EXPECT_EQ(reg.CustomerRevisions().size(), 1u) << "clearing what was never set writes nothing";
}

TEST(CableRegister, WritesRenamesAndRemovalsKeepEveryRevision)
{
    WsTestFolder dir;
    ws::Workspace workspace;
    ASSERT_TRUE(workspace.Open(dir / "MXR.DAT", true).usable());
    ws::CableRegister reg(workspace);
    reg.Put(entry("C", "K1"), kActor, 1000);
    ws::CableRegisterEntry changed = entry("C", "K1");
    changed.intervalMonths = 6;
    reg.Put(changed, kActor, 2000);
    EXPECT_EQ(reg.Find("C", "K1")->intervalMonths, 6);
    ASSERT_EQ(reg.OldRevisions("C", "K1").size(), 1u);
    EXPECT_FALSE(reg.OldRevisions("C", "K1")[0].intervalMonths);

    reg.Put(entry("C", "K2"), kActor, 2100);
    EXPECT_FALSE(reg.Rename("C", "K1", "C", "k2", kActor, 2200))
        << "an entry already holds the new names";
    EXPECT_EQ(reg.Find("C", "K1")->intervalMonths, 6) << "nothing moved";
    EXPECT_TRUE(reg.Rename("C", "K1", "C", "K3", kActor, 2300));
    EXPECT_FALSE(reg.Find("C", "K1"));
    EXPECT_EQ(reg.Find("C", "K3")->intervalMonths, 6);

    reg.SetCustomerInterval("C", 36);
    EXPECT_EQ(reg.RenameCustomer("C", "D", kActor, 2400), 2);
    EXPECT_EQ(reg.CustomerInterval("D"), 36);
    EXPECT_FALSE(reg.CustomerInterval("C"));
    ASSERT_EQ(reg.List().size(), 2u);
    EXPECT_EQ(reg.List()[0].customer, "D");

    EXPECT_TRUE(reg.Remove("D", "K3", kActor, 2500));
    EXPECT_FALSE(reg.Remove("D", "K3", kActor, 2600));
    EXPECT_EQ(reg.OldRevisions("D", "K3").size(), 1u) << "the removed entry is kept";
    EXPECT_EQ(reg.OldRevisions("C", "K1").size(), 2u);
}
