#include "appinuse.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "shareddb/pgconnection.h"

namespace {

std::string canonical(const std::string& folder)
{
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved)
        return folder;
    std::string out = resolved;
    std::free(resolved);
    return out;
}

} // namespace

bool MxrViewHoldsFolder(const std::string& folder)
{
    const std::string dir = canonical(folder);
    // A copy that is starting holds the start-up lock until its window and socket are there.
    const std::string lockPath = dir + "/MXRView.instance.lck";
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        int r;
        while ((r = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
        }
        const bool starting = r != 0 && errno == EWOULDBLOCK;
        ::close(fd); // releases the shared lock at once
        if (starting)
            return true;
    }
    // A running copy listens on a local socket named after the folder and the user; it acts
    // only on a "raise" line, so connecting and leaving asks nothing of it.
    const QByteArray hash = QCryptographicHash::hash(QString::fromLocal8Bit(dir.c_str()).toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16);
    const QString name =
        QStringLiteral("MXRView-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    QLocalSocket socket;
    socket.connectToServer(name);
    const bool running = socket.waitForConnected(2000);
    if (running)
        socket.disconnectFromServer();
    return running;
}

TerminationWatch::TerminationWatch(shareddb::PgCancel& cancel) : m_cancel(cancel)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (pthread_sigmask(SIG_BLOCK, &set, &m_old) != 0)
        return;
    m_signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_signalFd >= 0 && m_stopFd >= 0)
        m_started = pthread_create(&m_thread, nullptr, &TerminationWatch::run, this) == 0;
}

TerminationWatch::~TerminationWatch()
{
    if (m_started) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_stopFd, &one, sizeof one);
        pthread_join(m_thread, nullptr);
    }
    for (int fd : {m_signalFd, m_stopFd})
        if (fd >= 0)
            ::close(fd);
    // A signal that came after the work ended stays pending and takes its usual course now.
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

void* TerminationWatch::run(void* p)
{
    auto* self = static_cast<TerminationWatch*>(p);
    for (;;) {
        pollfd fds[2] = {{self->m_signalFd, POLLIN, 0}, {self->m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return nullptr;
        if (fds[1].revents)
            return nullptr;
        signalfd_siginfo info{};
        if (fds[0].revents && ::read(self->m_signalFd, &info, sizeof info) == sizeof info &&
            self->m_signal == 0) {
            self->m_signal = static_cast<int>(info.ssi_signo);
            self->m_cancel.request();
        }
    }
}
