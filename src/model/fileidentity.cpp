// File identity from fstat/stat and the set-aside copy.
#include "model/fileidentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "model/number.h"
#include "model/safefile.h"

namespace {

FileIdentity fromStat(const struct stat& st)
{
    FileIdentity id;
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<int64_t>(st.st_size);
    id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

} // namespace

FileIdentity IdentityOfFd(int fd)
{
    struct stat st;
    return fd >= 0 && ::fstat(fd, &st) == 0 ? fromStat(st) : FileIdentity{};
}

FileIdentity IdentityOfPath(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? fromStat(st) : FileIdentity{};
}

std::string CopyAsideFrom(int fd, const std::string& path, const char* tag, std::time_t now)
{
    std::tm local{};
    ::localtime_r(&now, &local);
    const std::string base =
        path + formatC(".%s-%04d%02d%02d-%02d%02d%02d", tag, local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string copyPath;
    safefile::Fd out;
    for (int n = 1; n < 1000 && out.get() < 0; ++n) {
        copyPath = n == 1 ? base : base + formatC("-%d", n);
        out.reset(::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (out.get() < 0 && errno != EEXIST)
            return {};
    }
    if (out.get() < 0)
        return {};
    const bool ok = safefile::CopyContents(fd, out.get()) && ::fsync(out.get()) == 0 &&
                    ::close(out.release()) == 0;
    if (!ok) {
        out.reset();
        ::unlink(copyPath.c_str());
        return {};
    }
    return copyPath;
}

std::string CopyAside(const std::string& path, const char* tag, std::time_t now)
{
    safefile::Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return {};
    return CopyAsideFrom(in.get(), path, tag, now);
}
