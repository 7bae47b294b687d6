// The cover's company in system.ini: an untouched file keeps its bytes; what the user sets is
// written and read back, and a value emptied later is written empty.
#include "settings/companysettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fileutil.h"

TEST(CompanySettings, WrittenOnlyOnceSetAndReadBack)
{
    char tmpl[] = "/tmp/mxr_company_XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    const std::string ini = (dir / "system.ini").string();
    const std::string shared = "[title]\r\nCustomer=\x8F\x8A\r\n"; // a file the older program wrote
    testfile::writeAll(ini, shared);

    EXPECT_EQ(ReadCompanySettings(ini), CompanySettings{});
    ASSERT_TRUE(WriteCompanySettings(ini, {}));
    EXPECT_EQ(testfile::readAll(ini), shared) << "nothing set: nothing written";

    const CompanySettings set{"\x93\x8C\x8B\x9E\x8E\xD0", "", "03-1234-5678", "/opt/logo.png"};
    ASSERT_TRUE(WriteCompanySettings(ini, set));
    EXPECT_EQ(ReadCompanySettings(ini), set);
    const std::string written = testfile::readAll(ini);
    EXPECT_EQ(written.rfind(shared, 0), 0u) << "the other sections stay as they were";
    EXPECT_EQ(written.find("Address"), std::string::npos) << "an empty value is not added";

    CompanySettings cleared = set;
    cleared.phone.clear();
    ASSERT_TRUE(WriteCompanySettings(ini, cleared));
    EXPECT_EQ(ReadCompanySettings(ini), cleared);
    EXPECT_NE(testfile::readAll(ini).find("Phone="), std::string::npos);
    std::filesystem::remove_all(dir);
}
