// Runs the built mxrtool as a separate process, as a user or a script runs it. Test targets that
// include this define MXRTOOL_PATH.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct ToolRun {
    int exitCode;
    QByteArray out, err;
};

// The environment without locale settings, so mxrtool's own messages are the English ones
// whatever the machine's language (the choice of language has a test of its own).
inline QProcessEnvironment englishMessages()
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        e.remove(name);
    return e;
}

inline ToolRun mxrtool(const QStringList& args)
{
    QProcess p;
    p.setProcessEnvironment(englishMessages());
    p.setProgram(MXRTOOL_PATH);
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
