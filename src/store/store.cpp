// Opening, locking, reading and atomically saving the data store file.
#include "store/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "model/number.h"
#include "store/archive.h"
#include "store/storeformat.h"
#include "store/storemessages.h"

using namespace mxrstore;

namespace {

// Closes a descriptor when the scope ends.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens path and takes an exclusive advisory lock on it. Every copy of the program (and its
// export and import) locks the same way, so a file in use by another copy is waited for: a
// retry every openRetryMs until openWaitMs have passed. Errors other than a held lock fail at
// once, since waiting cannot cure them. After the lock is taken the descriptor must still be
// the file at path: a save by another copy renames a new file over it, and the lock on the
// replaced file would protect nothing.
int openLocked(const std::string& path, int flags, const StoreOptions& options)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto limit = std::chrono::milliseconds(options.openWaitMs);
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
        const auto step = std::min<Clock::duration>(std::chrono::milliseconds(options.openRetryMs),
                                                    limit - waited);
        std::this_thread::sleep_for(step);
    }
}

StoreOutcome loadFromReader(ArchiveReader& in, CCustomerDB& db)
{
    StoreOutcome out;
    try {
        int32_t version = 0;
        switch (ReadHeader(in, version)) {
        case HeaderResult::BadSignature: return BadSignatureOutcome();
        case HeaderResult::BadVersion: return BadVersionOutcome(version);
        case HeaderResult::Ok: break;
        }
        out.version = version;
        ReadBody(in, version, db);
    } catch (...) {
        const int32_t version = out.version;
        out = StreamFailureOutcome(std::current_exception());
        out.version = version;
        out.unreadable = true;
    }
    return out;
}

// Creates every missing folder along path, one level after the other.
void createFolders(const std::string& folder)
{
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            const std::string level = folder.substr(0, pos);
            if (!isFolder(level))
                ::mkdir(level.c_str(), 0777);
        }
    }
}

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

std::string NativeStorePath(std::string_view path)
{
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

StoreOutcome LoadStore(CCustomerDB& db, const std::string& givenPath, const StoreOptions& options)
{
    db.customers.RemoveAll();
    const std::string path = NativeStorePath(givenPath);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {}; // first run: an empty store
    if (!isFolder(folderOf(path)))
        return OpenFailedOutcome(givenPath);
    Fd fd(openLocked(path, O_RDONLY, options));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return OpenFailedOutcome(givenPath);
    ArchiveReader in(fd.get(), static_cast<uint64_t>(st.st_size));
    return loadFromReader(in, db);
}

StoreOutcome LoadStoreFromBytes(CCustomerDB& db, std::string_view bytes)
{
    db.customers.RemoveAll();
    ArchiveReader in(bytes);
    return loadFromReader(in, db);
}

std::string SaveStoreToBytes(const CCustomerDB& db)
{
    std::string out;
    ArchiveWriter w(out);
    WriteStore(w, db);
    return out;
}

StoreOutcome SaveStore(const CCustomerDB& db, const std::string& givenPath,
                       const StoreOptions& options)
{
    std::string path = NativeStorePath(givenPath);
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Save through a link to the file it names, keeping the link.
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    createFolders(folderOf(path));

    // Hold the lock on the current file until the new one has replaced it.
    Fd lock;
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) // never replace a folder or a device
            return OpenFailedOutcome(givenPath);
        mode = st.st_mode & 07777;
        lock.reset(openLocked(path, O_RDONLY, options));
        if (lock.get() < 0)
            return OpenFailedOutcome(givenPath);
    }

    std::string tempPath;
    Fd fd(createTemporary(path, tempPath));
    if (fd.get() < 0)
        return OpenFailedOutcome(givenPath);
    if (mode != 0)
        ::fchmod(fd.get(), mode);
    try {
        ArchiveWriter out(fd.get());
        WriteStore(out, db);
        if (options.syncToDisk && ::fsync(fd.get()) != 0)
            throw FileFailure(errno, true);
        if (::close(fd.release()) != 0)
            throw FileFailure(errno, true);
        if (::rename(tempPath.c_str(), path.c_str()) != 0)
            throw FileFailure(errno, true);
    } catch (...) {
        fd.reset();
        ::unlink(tempPath.c_str());
        return StreamFailureOutcome(std::current_exception());
    }
    if (options.syncToDisk)
        syncFolder(folderOf(path));
    return {};
}

std::string SetAsideUnreadableStore(const std::string& givenPath, std::time_t now)
{
    const std::string path = NativeStorePath(givenPath);
    std::tm local{};
    ::localtime_r(&now, &local);
    const std::string base =
        path + formatC(".unreadable-%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                       local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return {};
    std::string copyPath;
    Fd out;
    for (int n = 1; n < 1000 && out.get() < 0; ++n) {
        copyPath = n == 1 ? base : base + formatC("-%d", n);
        out.reset(::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (out.get() < 0 && errno != EEXIST)
            return {};
    }
    if (out.get() < 0)
        return {};
    char buf[64 * 1024];
    bool ok = true;
    for (;;) {
        const ssize_t r = ::read(in.get(), buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        for (ssize_t done = 0; done < r && ok;) {
            const ssize_t w = ::write(out.get(), buf + done, static_cast<std::size_t>(r - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok)
            break;
    }
    ok = ok && ::fsync(out.get()) == 0 && ::close(out.release()) == 0;
    if (!ok) {
        out.reset();
        ::unlink(copyPath.c_str());
        return {};
    }
    return copyPath;
}

StoreOutcome LoadOwnStore(CCustomerDB& db, const std::string& path, const StoreOptions& options)
{
    StoreOutcome out = LoadStore(db, path, options);
    if (out.unreadable)
        out.setAsidePath = SetAsideUnreadableStore(path);
    return out;
}
