// UUCP lock files: reading the holder's PID in either form, removing stale locks, and creating a
// lock atomically (a private file linked to the lock name, so nobody sees a half-written one).
#include "link/uucplock.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/safefile.h"

namespace {

// The lock files this process holds: a lock with our PID that is not among them was left by
// an earlier process that had the same PID.
std::mutex g_heldMutex;
std::set<std::string>& heldByThisProcess()
{
    static std::set<std::string> held;
    return held;
}

bool isHeldHere(const std::string& path)
{
    std::lock_guard lock(g_heldMutex);
    return heldByThisProcess().count(path) != 0;
}

void noteHeld(const std::string& path, bool held)
{
    std::lock_guard lock(g_heldMutex);
    if (held)
        heldByThisProcess().insert(path);
    else
        heldByThisProcess().erase(path);
}

} // namespace

std::string uucpLockPath(const std::string& folder, const std::string& resolvedDevice)
{
    const std::size_t slash = resolvedDevice.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? resolvedDevice : resolvedDevice.substr(slash + 1);
    return folder + "/LCK.." + name;
}

LockFileContent readLockFile(const std::string& path)
{
    LockFileContent content;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        // A lock that exists but cannot be read still says the device is in use.
        content.exists = errno != ENOENT && errno != ENOTDIR;
        return content;
    }
    content.exists = true;
    char buf[64];
    ssize_t n;
    do
        n = ::read(fd, buf, sizeof buf);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0)
        return content;

    bool ascii = true;
    for (ssize_t i = 0; i < n; ++i)
        if (!(buf[i] >= '0' && buf[i] <= '9') && buf[i] != ' ' && buf[i] != '\n' &&
            buf[i] != '\r' && buf[i] != '\t' && buf[i] != '\0')
            ascii = false;
    if (n == 4 && !ascii) {
        int32_t pid = 0;
        std::memcpy(&pid, buf, 4);
        content.pid = pid > 0 ? static_cast<pid_t>(pid) : 0;
        return content;
    }
    if (!ascii)
        return content;
    long long pid = 0;
    ssize_t i = 0;
    while (i < n && (buf[i] == ' ' || buf[i] == '\t'))
        ++i;
    const ssize_t digits = i;
    while (i < n && buf[i] >= '0' && buf[i] <= '9' && pid < 0x7FFFFFFF)
        pid = pid * 10 + (buf[i++] - '0');
    if (i > digits && pid > 0 && pid <= 0x7FFFFFFF)
        content.pid = static_cast<pid_t>(pid);
    return content;
}

UucpLock::Outcome UucpLock::acquire(const std::string& folder, const std::string& resolvedDevice)
{
    release();
    m_path = uucpLockPath(folder, resolvedDevice);
    m_holder = 0;
    m_error = 0;
    // A few rounds: a stale lock removed, or another program racing us for the same name.
    for (int round = 0; round < 3; ++round) {
        const LockFileContent content = readLockFile(m_path);
        if (content.exists) {
            if (removeIfStale(content))
                continue;
            if (m_error != 0) // stale, but this user cannot remove it
                return Outcome::FolderUnusable;
            m_holder = content.pid;
            return Outcome::Held;
        }
        if (create()) {
            m_held = true;
            noteHeld(m_path, true);
            return Outcome::Acquired;
        }
        if (m_error != 0)
            return Outcome::FolderUnusable;
    }
    m_holder = readLockFile(m_path).pid;
    return Outcome::Held;
}

bool UucpLock::removeIfStale(const LockFileContent& content)
{
    if (content.pid <= 0)
        return false; // nothing says who holds it: leave it alone
    const bool ours = content.pid == ::getpid();
    if (ours ? isHeldHere(m_path) : safefile::ProcessRuns(content.pid))
        return false;
    if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
        m_error = errno;
        return false;
    }
    return true;
}

bool UucpLock::create()
{
    const std::size_t slash = m_path.find_last_of('/');
    const std::string folder = m_path.substr(0, slash);
    char pidText[16];
    std::snprintf(pidText, sizeof pidText, "%10d\n", static_cast<int>(::getpid()));

    // Written under a private name first, then linked to the lock name: link fails when the
    // name exists, so of two programs only one wins, and neither ever reads a partial file.
    const std::string temp = folder + "/LTMP." + std::to_string(::getpid()) + "." +
                             std::to_string(reinterpret_cast<std::uintptr_t>(this));
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    const bool written = safefile::WriteAll(fd, pidText);
    ::fchmod(fd, 0644); // readable by every program that honours the lock, whatever the umask
    ::close(fd);
    if (!written) {
        m_error = errno ? errno : EIO;
        ::unlink(temp.c_str());
        return false;
    }
    int linked = ::link(temp.c_str(), m_path.c_str());
    int linkError = linked == 0 ? 0 : errno;
    ::unlink(temp.c_str());
    if (linked != 0 && linkError != EEXIST) {
        // A file system without hard links: create the lock name directly instead.
        const int direct =
            ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (direct >= 0) {
            const bool ok = safefile::WriteAll(direct, pidText);
            ::close(direct);
            if (ok)
                return true;
            linkError = errno ? errno : EIO;
            ::unlink(m_path.c_str());
        } else {
            linkError = errno;
        }
    }
    if (linkError == 0)
        return true;
    m_error = linkError == EEXIST ? 0 : linkError;
    return false;
}

void UucpLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    noteHeld(m_path, false);
    if (readLockFile(m_path).pid == ::getpid())
        ::unlink(m_path.c_str());
}
