// SingleInstance: an flock'ed lock file held during the start-up serialises copies; the local
// socket of the running copy tells a later copy that it runs and carries the raise request.
#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr char kRaiseRequest[] = "raise\n";

// The folder with every symbolic link resolved, so one folder reached through two names is
// one instance; the name as given when it cannot be resolved.
QString canonicalFolder(const QString& folder)
{
    const QByteArray given = folder.toLocal8Bit();
    char* resolved = ::realpath(given.constData(), nullptr);
    if (!resolved)
        return folder;
    const QString out = QString::fromLocal8Bit(resolved);
    std::free(resolved);
    return out;
}

} // namespace

SingleInstance::SingleInstance(const QString& appFolder, QObject* parent)
    : QObject(parent), m_appFolder(canonicalFolder(appFolder))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    releaseStartupLock();
}

QString SingleInstance::serverName(const QString& appFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(canonicalFolder(appFolder).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStringLiteral("MXRView-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::Outcome SingleInstance::acquire()
{
    const QByteArray lockPath = (m_appFolder + "/MXRView.instance.lck").toLocal8Bit();
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_lockFd >= 0) {
        while (::flock(m_lockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

    const QString name = serverName(m_appFolder);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(2000)) {
        socket.write(kRaiseRequest);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
        releaseStartupLock();
        return Outcome::AnotherRunning;
    }
    // Nobody answers: a socket file left by a killed copy is stale. We hold the start-up
    // lock, so no other copy can be setting up its server right now.
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(name);
    return Outcome::First;
}

void SingleInstance::releaseStartupLock()
{
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* peer = m_server.nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            if (peer->readAll().contains("raise"))
                emit raiseRequested();
        });
    }
}
