// mxrtool: scripting, batch work and checks over the same core as MXRView.
#include <QCoreApplication>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

#include "commands.h"

namespace {

const char kUsage[] =
    "usage: mxrtool [--home DIR] COMMAND ...\n"
    "  store dump FILE | store resave IN OUT | store from-json IN.json OUT [--recalc]\n"
    "  store backups | store restore BACKUPFILE\n"
    "  decode REPLAYFILE\n"
    "  receive (--port N | --device PATH) [--silence-s S]\n"
    "  emulate (--device PATH | --pty | --replay-out FILE) [--seed S] [--records N] [--baud B] "
    "[--repeat]\n"
    "  csv STORE --customer C --cable K --set S --index I -o OUT.csv\n"
    "  report STORE --customer C --cable K --set S --index I (--pdf OUT.pdf | --png OUT.png "
    "[--page P] | --screen-png OUT.png [--size WxH]) [options]\n";

} // namespace

int usageError(const QString& text)
{
    std::fprintf(stderr, "mxrtool: %s\n%s", text.toLocal8Bit().constData(), kUsage);
    return 2;
}

int main(int argc, char** argv)
{
    // report draws text, which needs a GUI application (offscreen unless told otherwise).
    bool drawing = false;
    for (int i = 1; i < argc; ++i)
        drawing = drawing || std::strcmp(argv[i], "report") == 0;
    if (drawing)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::unique_ptr<QCoreApplication> app = drawing
                                                ? std::make_unique<QGuiApplication>(argc, argv)
                                                : std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QStringList args = app->arguments().mid(1);
    ToolContext ctx;
    // --home may come before the command or anywhere after it.
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--home") {
            if (i + 1 >= args.size())
                return usageError("--home needs a folder");
            ctx.homeOption = args[i + 1].toStdString();
            args.remove(i, 2);
            break;
        }
    }
    if (args.isEmpty())
        return usageError("no command");
    const QString command = args.takeFirst();
    if (command == "store")
        return runStoreCommand(ctx, args);
    if (command == "decode")
        return runDecodeCommand(ctx, args);
    if (command == "receive")
        return runReceiveCommand(ctx, args);
    if (command == "emulate")
        return runEmulateCommand(ctx, args);
    if (command == "csv")
        return runCsvCommand(ctx, args);
    if (command == "report")
        return runReportCommand(ctx, args);
    return usageError("unknown command " + command);
}
