// main(): the command line that needs no window, demo mode, and the Qt application around
// Application's start-up and exit.
#include "app/demomode.h"
#include "app/firstpaintprobe.h"
#include "app/application.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "ui/common/uitext.h"

#ifndef MXR_VERSION_TEXT
#define MXR_VERSION_TEXT "0.0.0.0"
#endif

namespace {

const char kUsage[] =
    "Usage: MXRView [--home DIR] [--demo[=DIR]] [FILE]\n"
    "\n"
    "FILE            a data store file to view read-only: the report of its first\n"
    "                measurement; the application folder's own store is not touched\n"
    "\n"
    "Options:\n"
    "  --home DIR    use DIR as the application folder (settings, logs, data store)\n"
    "  --demo        start with sample data and a simulated tester in a temporary folder,\n"
    "                removed at exit\n"
    "  --demo=DIR    the same, keeping the demo folder in DIR\n"
    "  --version     print the version and exit\n"
    "  --help        print this help and exit\n";

// --help and --version answer without a display.
bool answeredWithoutWindow(int argc, char** argv, int& status)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("MXRView %s\n", MXR_VERSION_TEXT);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const auto start = FirstPaintProbe::Clock::now();
    int status = 0;
    if (answeredWithoutWindow(argc, argv, status))
        return status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MXRView"));
    // Qt set the locale from the environment; printf-style numbers and atof must read and
    // write '.' whatever the user's language.
    ui::keepCNumericLocale();
    // Qt's own dialogs (files, printing, page set-up, calendars) in Japanese.
    ui::installJapaneseUi();
    FirstPaintProbe::InstallIfRequested(start);

    QStringList arguments = QApplication::arguments();
    // Declared before the application object: its folder and emulator outlive the exit,
    // which still saves the store there.
    DemoMode demo;
    const bool demoMode = DemoMode::Requested(arguments);
    if (demoMode) {
        QString error;
        if (!demo.Start(arguments, error)) {
            std::fprintf(stderr, "MXRView: demo mode: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        arguments = demo.Arguments(arguments);
    }

    Application theApp;
    if (!theApp.InitInstance(arguments))
        return theApp.ExitInstance();
    if (demoMode)
        demo.Decorate(theApp.MainWindow());
    QApplication::exec();
    return theApp.ExitInstance();
}
