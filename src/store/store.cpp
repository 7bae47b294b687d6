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
    StoreOutcome out = loadFromReader(in, db);
    out.identity = IdentityOfFd(fd.get());
    return out;
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

namespace {

StoreOutcome saveWithHooks(const CCustomerDB& db, const std::string& givenPath,
                           const StoreOptions& options, safefile::ReplaceHooks hooks)
{
    const std::string path = NativeStorePath(givenPath);
    safefile::CreateFolders(safefile::FolderOf(path));
    FileIdentity written;
    hooks.written = &written;
    try {
        const safefile::ReplaceOutcome r = safefile::ReplaceFile(
            path, {options.openWaitMs, options.openRetryMs}, options.syncToDisk,
            [&db](int fd) {
                ArchiveWriter out(fd);
                WriteStore(out, db);
            },
            hooks);
        if (r.status == safefile::ReplaceStatus::OpenFailed)
            return OpenFailedOutcome(givenPath);
        if (r.status == safefile::ReplaceStatus::Refused)
            return KeptAsideFailedOutcome(givenPath);
        if (r.status == safefile::ReplaceStatus::IoFailed)
            throw FileFailure(r.error, true);
    } catch (...) {
        return StreamFailureOutcome(std::current_exception());
    }
    StoreOutcome out;
    out.identity = written;
    return out;
}

} // namespace

StoreOutcome SaveStore(const CCustomerDB& db, const std::string& givenPath,
                       const StoreOptions& options)
{
    return saveWithHooks(db, givenPath, options, {});
}

StoreOutcome SaveOwnStore(const CCustomerDB& db, const std::string& givenPath,
                          const FileIdentity& expected, const StoreOptions& options,
                          const std::function<void(const FileIdentity& next)>& beforeRename)
{
    const std::string path = NativeStorePath(givenPath);
    std::string changedAside;
    safefile::ReplaceHooks hooks;
    hooks.beforeReplace = [&](int oldFd) {
        // A file that vanished has nothing left to keep; any other difference is kept aside.
        if (oldFd < 0 || IdentityOfFd(oldFd) == expected)
            return true;
        changedAside = CopyAsideFrom(oldFd, path, "changed", std::time(nullptr));
        return !changedAside.empty();
    };
    if (beforeRename)
        hooks.beforeRename = [&beforeRename](const FileIdentity& next) {
            beforeRename(next);
            return true;
        };
    StoreOutcome out = saveWithHooks(db, givenPath, options, std::move(hooks));
    out.changedAsidePath = changedAside;
    return out;
}

std::string SetAsideUnreadableStore(const std::string& givenPath, std::time_t now)
{
    return CopyAside(NativeStorePath(givenPath), "unreadable", now);
}

StoreOutcome LoadOwnStore(CCustomerDB& db, const std::string& path, const StoreOptions& options)
{
    StoreOutcome out = LoadStore(db, path, options);
    if (out.unreadable)
        out.setAsidePath = SetAsideUnreadableStore(path);
    return out;
}
