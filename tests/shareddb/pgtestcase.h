// Cases against the test server: one server for the whole program (or the shared one of the
// ctest run), a database of its own for every case.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
// shared database's tables unless the case asks for an empty one. Derived SetUps call this
// first and return when IsSkipped() or HasFatalFailure().
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
        m_db = server().createDatabase();
        if (m_schema == Schema::Made) {
            shareddb::DbSettings settings;
            settings.params = server().params(m_db);
            ASSERT_TRUE(shareddb::InitDatabase(settings).ok);
        }
    }
    static PgTestServer& server() { return pgtest::server(); }

    std::string m_db;

private:
    Schema m_schema;
};
