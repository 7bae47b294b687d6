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
#include "model/safefile.h"
#include "store/archive.h"
#include "store/storeformat.h"
#include "store/storemessages.h"

using namespace mxrstore;

namespace {

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
    if (!safefile::IsFolder(safefile::FolderOf(path)))
        return OpenFailedOutcome(givenPath);
    safefile::Fd fd(
        safefile::OpenLocked(path, O_RDONLY, {options.openWaitMs, options.openRetryMs}));
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
    const std::string path = NativeStorePath(givenPath);
    safefile::CreateFolders(safefile::FolderOf(path));
    try {
        const safefile::ReplaceOutcome r = safefile::ReplaceFile(
            path, {options.openWaitMs, options.openRetryMs}, options.syncToDisk, [&db](int fd) {
                ArchiveWriter out(fd);
                WriteStore(out, db);
            });
        if (r.status == safefile::ReplaceStatus::OpenFailed)
            return OpenFailedOutcome(givenPath);
        if (r.status == safefile::ReplaceStatus::IoFailed)
            throw FileFailure(r.error, true);
    } catch (...) {
        return StreamFailureOutcome(std::current_exception());
    }
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
    safefile::Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return {};
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
        ok = safefile::WriteAll(out.get(), std::string_view(buf, static_cast<std::size_t>(r)));
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
