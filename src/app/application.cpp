// Application: start-up steps, the normal exit, and SIGTERM/SIGINT turned into a normal close.
#include "app/application.h"

#include "settings/appfolder.h"
#include "settings/appsettings.h"
#include "app/mainwindowplaceholder.h"
#include "app/singleinstance.h"
#include "app/unattendedmessages.h"
#include "model/safefile.h"
#include "model/cp932text.h"
#include "ui/common/messages.h"
#include "ui/common/storemessagebox.h"
#include "ui/common/uitext.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef MXR_VERSION_TEXT
#define MXR_VERSION_TEXT "0.0.0.0"
#endif

namespace {

// Self-pipe: the signal handler only writes a byte; the event loop does the closing.
int g_signalFds[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
    errno = saved;
}

bool parseHomeOption(const QStringList& args, QString& home)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--home")) {
            if (i + 1 >= args.size())
                return false;
            home = args[i + 1];
        } else if (args[i].startsWith(QLatin1String("--home="))) {
            home = args[i].mid(7);
        }
    }
    return true;
}

// The store file named on the command line: the first argument that is neither an option nor
// the value of --home, made absolute against the directory the program was started in (the
// start-up changes into the application folder). Empty when there is none.
QString viewFileArgument(const QStringList& args)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--home")) {
            ++i;
            continue;
        }
        if (args[i] == QLatin1String("--"))
            return i + 1 < args.size() ? QFileInfo(args[i + 1]).absoluteFilePath() : QString();
        if (!args[i].startsWith(QLatin1Char('-')))
            return QFileInfo(args[i]).absoluteFilePath();
    }
    return {};
}

} // namespace

Application::Application() = default;

Application::~Application() = default;

void Application::installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0)
        return;
    ::fcntl(g_signalFds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_signalFds[1], F_SETFL, O_NONBLOCK);
    m_signalNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, &Application::onTerminationSignal);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

void Application::onTerminationSignal()
{
    char buf[16];
    while (::read(g_signalFds[1], buf, sizeof buf) > 0) {
    }
    // Nobody may be there to answer (a logout): from now on messages go to the log and
    // questions get the answer that loses nothing.
    ui::installMessages(std::make_unique<UnattendedMessages>(m_appLog));
    m_terminationRequested = true;
    continueTermination();
}

void Application::continueTermination()
{
    // A message box or dialog waiting for an answer is closed without one first. A window
    // that cancels its work on closing (the shared database's sync) ends by itself shortly:
    // the exit goes on once it is gone, so nothing is saved beside work still running.
    for (int nested = 0; nested < 16; ++nested) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (!modal->close()) {
            if (modal->property("mxrEndsByItself").toBool()) {
                connect(modal, &QObject::destroyed, this,
                        [this] { QTimer::singleShot(0, this, &Application::continueTermination); });
                return;
            }
            break;
        }
    }
    // As if the user closed the main window: the normal exit follows. During the start-up
    // the window closes as soon as it is shown.
    if (m_mainWindow && m_mainWindow->isVisible())
        m_mainWindow->close();
    else if (m_startupCompleted)
        QCoreApplication::quit();
}

void Application::raiseMainWindow()
{
    if (!m_mainWindow)
        return;
    if (m_mainWindow->isMinimized())
        m_mainWindow->showNormal();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

bool Application::InitInstance(const QStringList& arguments)
{
    // The Windows gothic faces named in the report and dialog code, drawn with the IPA fonts
    // of the same metrics, before anything shows text.
    ui::installFontSubstitutions();

    QString home;
    if (!parseHomeOption(arguments, home)) {
        std::fprintf(stderr, "MXRView: --home needs a folder\n");
        m_exitCode = 2;
        return false;
    }
    const auto folder = ApplicationFolder(home.toStdString(), true);
    if (!folder) {
        QMessageBox::critical(
            nullptr, QString::fromUtf8("マクセラテスタ"),
            QString::fromUtf8("アプリケーションフォルダを作成できません。\n%1")
                .arg(home.isEmpty() ? QStringLiteral("~/.local/share/MXRView") : home));
        m_exitCode = 1;
        return false;
    }
    installSignalHandlers();

    // A store file named on the command line is only viewed: that copy runs beside the
    // program working on the application folder (no single-instance guard), reads the
    // settings without writing them, and never touches the folder's own store.
    const QString viewFile = viewFileArgument(arguments);
    m_viewing = !viewFile.isEmpty();

    if (!m_viewing) {
        // Single instance: a second copy brings the first forward, beeps and ends.
        m_instance = std::make_unique<SingleInstance>(QString::fromStdString(*folder));
        if (m_instance->acquire() == SingleInstance::Outcome::AnotherRunning) {
            QApplication::beep();
            m_exitCode = 0;
            return false;
        }
        connect(m_instance.get(), &SingleInstance::raiseRequested, this,
                &Application::raiseMainWindow);
        // Saves of an earlier run that was killed half-way leave their temporary files here.
        safefile::RemoveStaleTemporaries(*folder);
    }

    m_startupInProgress = true;

    CAppSettings& settings = AppSettings();
    settings.SetPaths(MakeAppPaths(*folder, ExecutablePath()));
    settings.LoadSettings(!m_viewing);

    // Relative paths of the settings (".\DATA\MXR.DAT") are resolved against the folder.
    if (::chdir(folder->c_str()) != 0)
        std::fprintf(stderr, "MXRView: cannot enter %s\n", folder->c_str());

    m_appLog.Setup(*folder + "/" + settings.Paths().baseName, 7, 4, 10000, 0x500000);

    if (!m_viewing && settings.BeginRun(MXR_VERSION_TEXT))
        m_appLog.Write(cp932::lit("前回異常終了"));

    std::srand(static_cast<unsigned>(std::time(nullptr)));

    m_mainWindow.reset(CreateMainWindow(m_appLog, QFile::encodeName(viewFile).toStdString()));
    m_mainWindow->show();
    if (m_terminationRequested)
        QTimer::singleShot(0, m_mainWindow.get(), &QWidget::close);

    if (m_instance)
        m_instance->releaseStartupLock();
    m_startupInProgress = false;
    m_startupCompleted = true;
    return true;
}

int Application::ExitInstance()
{
    // A failed write of the settings is told, never an abort: the data store was saved when
    // the window closed.
    if (m_startupCompleted && !m_startupInProgress && !m_viewing && !AppSettings().EndRun())
        ui::ShowSettingsWriteFailure(nullptr, AppSettings().IniPath());
    m_mainWindow.reset();
    return m_exitCode;
}
