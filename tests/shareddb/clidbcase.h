// Cases that run mxrtool in an application folder of their own against the test server.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "mxrtoolrun.h"
#include "pgtestcase.h"

class DbCliCase : public PgTestCase<> {
protected:
    // `tag` names the folder; the database is left without tables (the cases make them).
    explicit DbCliCase(const char* tag) : PgTestCase(Schema::None), m_tag(tag) {}

    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_home = std::filesystem::temp_directory_path() /
                 (m_tag + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_home);
        std::filesystem::create_directories(m_home / "DATA");
    }
    void TearDown() override { std::filesystem::remove_all(m_home); }

    QStringList home(const QStringList& args) const
    {
        return QStringList{"--home", QString::fromStdString(m_home.string())} + args;
    }
    QJsonObject run(const QStringList& args, int expectedExit = 0)
    {
        const ToolRun r = mxrtool(home(args));
        EXPECT_EQ(r.exitCode, expectedExit) << r.err.constData();
        return QJsonDocument::fromJson(r.out).object();
    }

    std::filesystem::path m_home;

private:
    std::string m_tag;
};
