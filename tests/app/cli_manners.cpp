// The command-line manners of both programs: --version, --help, COMMAND --help and usage errors.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

namespace {

ToolRun run(const char* program, const QStringList& args)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

TEST(CommandLine, HelpVersionAndUsageErrors)
{
    struct Case {
        const char* program;
        QStringList args;
        int exitCode;
        const char* out; // expected in standard output
        const char* err; // expected in standard error
    };
    const Case cases[] = {
        {MXRTOOL_PATH, {"--version"}, 0, "mxrtool " MXR_VERSION_TEXT "\n", ""},
        {MXRTOOL_PATH, {"--help"}, 0, "COMMAND --help", ""},
        {MXRTOOL_PATH, {"emulate", "--help"}, 0, "  --repeat ", ""},
        {MXRTOOL_PATH, {"csv", "--help"}, 0, "  --encoding E", ""},
        {MXRTOOL_PATH, {"--bogus", "store"}, 2, "", "usage: mxrtool"},
        {MXRTOOL_PATH, {"emulate", "--bogus"}, 2, "", "usage: mxrtool"},
        {MXRVIEW_PATH, {"--version"}, 0, "MXRView " MXR_VERSION_TEXT "\n", ""},
        {MXRVIEW_PATH, {"--help"}, 0, "--demo=DIR", ""},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.program, c.args);
        const std::string what = std::string(c.program) + " " + c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(c.out)) << what << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << what << "\n" << r.err.toStdString();
    }
}
