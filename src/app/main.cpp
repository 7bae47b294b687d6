// main(): the Qt application around CMXRViewApp's start-up and exit.
#include "app/mxrviewapp.h"

#include <QApplication>

#include "ui/uitext.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MXRView"));
    // Qt set the locale from the environment; printf-style numbers and atof must read and
    // write '.' whatever the user's language.
    ui::keepCNumericLocale();
    // Qt's own dialogs (files, printing, page set-up, calendars) in Japanese.
    ui::installJapaneseUi();

    CMXRViewApp theApp;
    if (!theApp.InitInstance(QApplication::arguments()))
        return theApp.ExitInstance();
    QApplication::exec();
    return theApp.ExitInstance();
}
