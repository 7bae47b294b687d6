// Runs the built mxrtool as a separate process, as a user or a script runs it. Test targets that
// include this define MXRTOOL_PATH.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

struct ToolRun {
    int exitCode;
    QByteArray out, err;
};

inline ToolRun mxrtool(const QStringList& args)
{
    QProcess p;
    p.setProgram(MXRTOOL_PATH);
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
