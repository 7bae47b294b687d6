// Cases that run mxrtool in an application folder of their own against the test server.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <filesystem>
#include <string>

#include "mxrtoolrun.h"
#include "pgtestcase.h"

class DbCliCase : public PgTestCase<> {
protected:
    // The database is left without tables (the cases make them).
    DbCliCase() : PgTestCase(Schema::None) {}

    void SetUp() override
    {
        PgTestCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_home = m_tmp;
        std::filesystem::create_directories(m_home / "DATA");
    }

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
};
