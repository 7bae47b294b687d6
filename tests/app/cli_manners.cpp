// The command-line manners of both programs: --version, --help, COMMAND --help, usage errors
// and mxrtool's errors in the language of the user's locale settings.
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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

namespace {

// mxrtool run with only the given locale variables set.
ToolRun runInLocale(const QStringList& args, const std::vector<std::pair<QString, QString>>& env)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"})
        e.remove(name);
    for (const auto& [name, value] : env)
        e.insert(name, value);
    QProcess p;
    p.setProcessEnvironment(e);
    p.setProgram(MXRTOOL_PATH);
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

TEST(CommandLine, MxrtoolErrorsSpeakTheUsersLanguage)
{
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.DAT");
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, 'x'));
    }
    struct Locale {
        std::vector<std::pair<QString, QString>> env;
        bool japanese;
    };
    // The first of LC_ALL, LC_MESSAGES and LANG that is set decides.
    const Locale locales[] = {
        {{{"LANG", "ja_JP.UTF-8"}}, true},
        {{{"LANG", "en_US.UTF-8"}}, false},
        {{}, false},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, true},
        {{{"LC_ALL", "C.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, false},
        {{{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "C"}}, true},
        {{{"LANG", "javanese"}}, false},
    };
    QByteArray programText; // the program's own message: the same in both languages
    for (const Locale& l : locales) {
        QStringList where;
        for (const auto& [name, value] : l.env)
            where << name + "=" + value;
        SCOPED_TRACE(where.join(' ').toStdString());

        ToolRun r = runInLocale({"--bogus"}, l.env);
        EXPECT_EQ(r.exitCode, 2);
        const QString usage = QString::fromUtf8(r.err);
        EXPECT_TRUE(usage.startsWith(l.japanese ? "mxrtool: --bogus というオプションはありません\n"
                                                : "mxrtool: unknown option --bogus\n"))
            << r.err.toStdString();
        EXPECT_TRUE(usage.contains(l.japanese ? "使い方: mxrtool [--home DIR] COMMAND"
                                              : "usage: mxrtool [--home DIR] COMMAND"))
            << r.err.toStdString();

        r = runInLocale({"csv", damaged, "--customer", "c", "--cable", "k", "--set", "s", "--index",
                         "0", "-o", dir.filePath("x.csv")},
                        l.env);
        EXPECT_EQ(r.exitCode, 1);
        const QString lead =
            l.japanese ? "mxrtool: データファイル " + damaged + " を読み込めませんでした:\n"
                       : "mxrtool: the data store " + damaged + " could not be read:\n";
        ASSERT_TRUE(QString::fromUtf8(r.err).startsWith(lead)) << r.err.toStdString();
        const QByteArray rest = r.err.mid(lead.toUtf8().size());
        EXPECT_FALSE(rest.trimmed().isEmpty());
        if (programText.isEmpty())
            programText = rest;
        EXPECT_EQ(rest, programText);
    }
}
