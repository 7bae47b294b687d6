// Temporary-file-and-rename replacement and advisory locking.
#include "model/safefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "model/number.h"

namespace safefile {

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int Fd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void CreateFolders(const std::string& folder)
{
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            const std::string level = folder.substr(0, pos);
            if (!IsFolder(level))
                ::mkdir(level.c_str(), 0777);
        }
    }
}

int OpenLocked(const std::string& path, int flags, const LockWait& wait)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto limit = std::chrono::milliseconds(wait.waitMs);
    for (;;) {
        Fd fd(::open(path.c_str(), flags | O_CLOEXEC));
        if (fd.get() < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            struct stat opened, named;
            if (::fstat(fd.get(), &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
                opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
                return fd.release();
            // Replaced meanwhile: open the new file (the time limit still applies).
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            return fd.release(); // no advisory locks on this file system: go on without
        }
        fd.reset();
        const auto waited = Clock::now() - start;
        if (waited >= limit)
            return -1;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(std::chrono::milliseconds(wait.retryMs), limit - waited));
    }
}

bool CopyContents(int in, int out)
{
    char buf[256 * 1024];
    for (off_t at = 0;;) {
        const ssize_t r = ::pread(in, buf, sizeof buf, at);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return r == 0;
        at += r;
        if (!WriteAll(out, std::string_view(buf, static_cast<std::size_t>(r))))
            return false;
    }
}

bool ProcessRuns(int pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

namespace {
std::atomic<int> g_injectedWriteError{0};
}

void SetInjectedWriteError(int error)
{
    g_injectedWriteError = error;
}

bool WriteAll(int fd, std::string_view bytes)
{
    if (const int injected = g_injectedWriteError.load(); injected != 0 && !bytes.empty()) {
        errno = injected;
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

namespace {

constexpr std::string_view kTempMark = ".tmp-";

// The writer's process id of a temporary file name "<name>.tmp-<pid>-<n>"; 0 for other names.
pid_t temporaryWriter(std::string_view name)
{
    const auto mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0)
        return 0;
    std::string_view rest = name.substr(mark + kTempMark.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9)
        return 0;
    auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
        return 0;
    long pid = 0;
    for (char c : rest.substr(0, dash))
        pid = pid * 10 + (c - '0');
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

} // namespace

int RemoveStaleTemporaries(const std::string& folder, const std::string& name)
{
    const std::string prefix = name.empty() ? std::string() : name + std::string(kTempMark);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (std::string_view(e->d_name).substr(0, prefix.size()) != prefix)
            continue;
        const pid_t pid = temporaryWriter(e->d_name);
        if (pid == 0 || pid == ::getpid())
            continue;
        if (ProcessRuns(pid))
            continue; // alive, or not ours to judge
        const std::string path = (folder == "/" ? "" : folder) + "/" + e->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

namespace {

// A new file beside target, created with O_EXCL under a name of its own, with the usual
// permissions (0666 less the umask); -1 when the folder does not take new files.
int createTemporary(const std::string& target, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + formatC(".tmp-%d-%u", static_cast<int>(::getpid()), counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void syncFolder(const std::string& folder)
{
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

ReplaceOutcome ReplaceFile(const std::string& givenPath, const LockWait& wait, bool syncToDisk,
                           const std::function<void(int fd)>& write, const ReplaceHooks& hooks)
{
    std::string path = givenPath;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }

    Fd lock;
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return {ReplaceStatus::OpenFailed, 0};
        mode = st.st_mode & 07777;
        lock.reset(OpenLocked(path, O_RDONLY, wait));
        if (lock.get() < 0)
            return {ReplaceStatus::OpenFailed, errno};
    }

    if (hooks.beforeReplace && !hooks.beforeReplace(lock.get()))
        return {ReplaceStatus::Refused, 0};

    const auto slash = path.find_last_of('/');
    RemoveStaleTemporaries(FolderOf(path),
                           slash == std::string::npos ? path : path.substr(slash + 1));
    std::string tempPath;
    Fd fd(createTemporary(path, tempPath));
    if (fd.get() < 0)
        return {ReplaceStatus::OpenFailed, errno};
    if (mode != 0)
        ::fchmod(fd.get(), mode);
    auto failed = [&](int error) {
        fd.reset();
        ::unlink(tempPath.c_str());
        return ReplaceOutcome{ReplaceStatus::IoFailed, error};
    };
    try {
        write(fd.get());
    } catch (...) {
        fd.reset();
        ::unlink(tempPath.c_str());
        throw;
    }
    if (syncToDisk && ::fsync(fd.get()) != 0)
        return failed(errno);
    // The new file's identity as it will be after the rename (renaming keeps inode and times).
    const FileIdentity written = IdentityOfFd(fd.get());
    if (::close(fd.release()) != 0)
        return failed(errno);
    if (hooks.beforeRename && !hooks.beforeRename(written)) {
        ::unlink(tempPath.c_str());
        return {ReplaceStatus::Refused, 0};
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return failed(errno);
    if (syncToDisk)
        syncFolder(FolderOf(path));
    if (hooks.written)
        *hooks.written = written;
    return {};
}

} // namespace safefile
