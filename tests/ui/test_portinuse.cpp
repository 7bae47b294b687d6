// The reception dialog on a port that another program holds: the failure names the device and
// the holder's PID from its lock file in /var/lock, as Linux serial programs share them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iomanip>

#include <sys/wait.h>
#include <unistd.h>

#include "link/cxlogfile.h"
#include "link/emulatorport.h"
#include "link/uucplock.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/receptiondialog.h"

TEST(PortInUse, ReceptionNamesTheHolderFromItsLockFile)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    // Another program that holds the port: a live child process named in the lock file. A pty
    // name is unique while the pty exists, so the lock cannot collide with anything else.
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::pause();
        ::_exit(0);
    }
    struct Cleanup {
        pid_t pid;
        std::string lock;
        ~Cleanup()
        {
            std::filesystem::remove(lock);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } cleanup{holder, uucpLockPath(kDefaultLockFolder, pty.slavePath())};
    {
        std::ofstream lock(cleanup.lock);
        lock << std::setw(10) << holder << "\n";
        if (!lock)
            GTEST_SKIP() << "cannot write a lock file in " << kDefaultLockFolder;
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CxLogFile appLog;
    appLog.Setup(dir.filePath("MXRView").toStdString());
    CommReadEnvironment env;
    env.appDir = dir.path().toStdString();
    env.appLog = &appLog;
    env.pauses.startMs = 0;
    env.pauses.openMs = 20;
    env.pauses.endMs = 20;
    env.ports = {{5, pty.slavePath()}};
    CCommSetting comm;
    comm.port = 5;
    ReceptionDialog dlg(comm, 1, true);
    dlg.SetEnvironment(env);
    dlg.show();
    dlg.OnInitDialog();
    QElapsedTimer t;
    t.start();
    while (dlg.CurrentState() == ReceptionDialog::State::Receiving && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    ASSERT_EQ(dlg.CurrentState(), ReceptionDialog::State::Failed);
    const QString message =
        QString::fromUtf8(
            "シリアルポートのオープンに失敗,%1 は他のプログラムが使用中です (PID %2)。"
            "ｴﾗｰNo:hex(10),dec(16)")
            .arg(QString::fromStdString(pty.slavePath()))
            .arg(holder);
    EXPECT_TRUE(dlg.ListTexts().contains(message)) << dlg.ListTexts().join("\n").toStdString();
    EXPECT_TRUE(guitest::grabToPng(&dlg, guitest::grabDir() + "/commread_inuse.png"));
    dlg.reject();
}
