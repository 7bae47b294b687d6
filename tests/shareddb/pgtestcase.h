// Cases against the test server: one server for the whole program (or the shared one of the
// ctest run), a database of its own for every case.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "pgserver.h"
#include "shareddb/sync.h"

namespace pgtest {

// The program's server, started (or reached) on first use and stopped when the program ends.
inline PgTestServer& server()
{
    static const std::unique_ptr<PgTestServer> s = std::make_unique<PgTestServer>();
    return *s;
}

} // namespace pgtest

// Skips the case when there is no server; otherwise m_db is a fresh database, with the
// shared database's tables unless the case asks for an empty one, and m_tmp an empty folder
// of the case's own, removed after it. Derived SetUps call this first and return when
// IsSkipped() or HasFatalFailure().
template <class Base = ::testing::Test>
class PgTestCase : public Base {
protected:
    enum class Schema { Made, None };
    explicit PgTestCase(Schema schema = Schema::Made) : m_schema(schema) {}

    void SetUp() override
    {
        Base::SetUp();
        if (this->IsSkipped() || this->HasFatalFailure())
            return;
        if (!server().available())
            GTEST_SKIP() << "no PostgreSQL server for the test: " << server().skipReason();
        static int counter = 0;
        if (!m_tmp.empty()) // a case that sets up again starts afresh
            std::filesystem::remove_all(m_tmp);
        m_tmp = std::filesystem::temp_directory_path() /
                ("mxr-pgcase-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(m_tmp);
        std::filesystem::create_directories(m_tmp);
        m_db = server().createDatabase();
        if (m_schema == Schema::Made) {
            shareddb::DbSettings settings;
            settings.params = server().params(m_db);
            ASSERT_TRUE(shareddb::InitDatabase(settings).ok);
        }
    }
    void TearDown() override
    {
        if (!m_tmp.empty())
            std::filesystem::remove_all(m_tmp);
        Base::TearDown();
    }
    static PgTestServer& server() { return pgtest::server(); }

    std::string m_db;
    std::filesystem::path m_tmp;

private:
    Schema m_schema;
};
