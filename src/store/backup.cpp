#include "store/backup.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <system_error>

#include "model/customerdb.h"
#include "model/safefile.h"
#include "store/store.h"

namespace storebackup {
namespace {

struct Entry {
    std::string name;
    std::tm stamp{};
    int seq = 1;
    int created = 0; // 1 + position in the creation order file; 0 when not listed there
    long long key() const // sortable: later is larger
    {
        return ((((static_cast<long long>(stamp.tm_year) * 100 + stamp.tm_mon) * 100 +
                  stamp.tm_mday) *
                     100 +
                 stamp.tm_hour) *
                    100 +
                stamp.tm_min) *
                   100 +
               stamp.tm_sec;
    }
    int day() const { return (stamp.tm_year * 100 + stamp.tm_mon) * 100 + stamp.tm_mday; }
    int month() const { return stamp.tm_year * 12 + stamp.tm_mon; }
};

bool parse(std::string_view name, Entry& e)
{
    // MXR-YYYYMMDD-HHMMSS[-N].DAT
    if (name.size() < 23 || name.substr(0, 4) != "MXR-" || name.substr(name.size() - 4) != ".DAT")
        return false;
    const std::string_view body = name.substr(4, name.size() - 8);
    auto digits = [&](std::size_t at, std::size_t n, int& v) {
        v = 0;
        for (std::size_t i = at; i < at + n; ++i) {
            if (body[i] < '0' || body[i] > '9')
                return false;
            v = v * 10 + (body[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s;
    if (body.size() < 15 || body[8] != '-' || !digits(0, 4, y) || !digits(4, 2, mo) ||
        !digits(6, 2, d) || !digits(9, 2, h) || !digits(11, 2, mi) || !digits(13, 2, s))
        return false;
    e.seq = 1;
    if (body.size() > 15) {
        if (body[15] != '-' || body.size() > 20 || body.size() == 16 ||
            !digits(16, body.size() - 16, e.seq) || e.seq < 2)
            return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return false;
    e.name = std::string(name);
    e.stamp = {};
    e.stamp.tm_year = y - 1900;
    e.stamp.tm_mon = mo - 1;
    e.stamp.tm_mday = d;
    e.stamp.tm_hour = h;
    e.stamp.tm_min = mi;
    e.stamp.tm_sec = s;
    e.stamp.tm_isdst = -1;
    return true;
}

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* ent = ::readdir(dir))
        names.emplace_back(ent->d_name);
    ::closedir(dir);
    return names;
}

// Newest first: by the creation order (`created`, oldest first) where a name is listed there,
// listed names before those that are not; then by the date of the name and its sequence number.
std::vector<Entry> backupsIn(const std::vector<std::string>& names,
                             const std::vector<std::string>& created = {})
{
    std::map<std::string, int> position;
    for (std::size_t i = 0; i < created.size(); ++i)
        position[created[i]] = static_cast<int>(i) + 1; // a name listed twice: its last place
    std::vector<Entry> list;
    for (const std::string& n : names) {
        Entry e;
        if (parse(n, e)) {
            const auto it = position.find(n);
            e.created = it == position.end() ? 0 : it->second;
            list.push_back(e);
        }
    }
    std::sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) {
        if (a.created != b.created)
            return a.created > b.created;
        return a.key() != b.key() ? a.key() > b.key() : a.seq > b.seq;
    });
    return list;
}

std::string orderPath(const std::string& folder)
{
    return folder + "/" + kCreationOrderFile;
}

// The names of the creation order file, oldest first; empty when there is none.
std::vector<std::string> readCreationOrder(const std::string& folder)
{
    std::vector<std::string> names;
    std::ifstream in(orderPath(folder), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Entry e;
        if (parse(line, e))
            names.push_back(line);
    }
    return names;
}

// Appends one name with a single write, so that two programs backing up at once never mix
// their lines. A failure only costs the order: the backup still exists and is kept this time.
void noteCreated(const std::string& folder, const std::string& name)
{
    safefile::Fd fd(::open(orderPath(folder).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                           0644));
    if (fd.get() >= 0)
        safefile::WriteAll(fd.get(), name + "\n");
}

// Rewrites the creation order file with only the names that still exist, once removals left
// names in it that no longer do.
void compactCreationOrder(const std::string& folder, const std::vector<std::string>& existing)
{
    const std::vector<std::string> order = readCreationOrder(folder);
    const std::set<std::string> present(existing.begin(), existing.end());
    std::string text;
    bool stale = false;
    for (const std::string& n : order) {
        if (present.count(n))
            text += n + "\n";
        else
            stale = true;
    }
    if (!stale)
        return;
    try {
        safefile::ReplaceFile(orderPath(folder), {5000, 100}, false, [&](int out) {
            if (!safefile::WriteAll(out, text))
                throw std::system_error(errno, std::generic_category());
        });
    } catch (const std::system_error&) {
        // The stale names do no harm: names that do not exist are never ordered.
    }
}

// Copies in to a temporary file beside target and renames it over target.
int safeCopy(int in, const std::string& target)
{
    try {
        const auto outcome = safefile::ReplaceFile(target, {5000, 100}, true, [&](int out) {
            if (!safefile::CopyContents(in, out))
                throw std::system_error(errno, std::generic_category());
        });
        if (outcome.status == safefile::ReplaceStatus::Ok)
            return 0;
        return outcome.error ? outcome.error : EIO;
    } catch (const std::system_error& e) {
        return e.code().value() ? e.code().value() : EIO;
    }
}

} // namespace

BackupPolicy BackupPolicy::Clamped() const
{
    BackupPolicy p = *this;
    p.keepLast = std::max(p.keepLast, kMinKeepLast);
    p.keepMonths = std::max(p.keepMonths, kMinKeepMonths);
    return p;
}

std::string BackupFolderFor(const std::string& storePath)
{
    return safefile::FolderOf(NativeStorePath(storePath)) + "/backup";
}

std::string BackupName(std::time_t when, int seq)
{
    std::tm t{};
    ::localtime_r(&when, &t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "MXR-%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string name = buf;
    if (seq > 1)
        name += "-" + std::to_string(seq);
    return name + ".DAT";
}

bool ParseBackupName(std::string_view name, std::tm& stamp)
{
    Entry e;
    if (!parse(name, e))
        return false;
    stamp = e.stamp;
    return true;
}

std::vector<std::string> CompanionsOf(const std::vector<std::string>& names,
                                      const std::string& backupName)
{
    std::vector<std::string> found;
    Entry e;
    if (!parse(backupName, e))
        return found;
    // "MXR-20261211-093000." never prefixes "MXR-20261211-093000-2.DAT" or its companions.
    const std::string prefix = backupName.substr(0, backupName.size() - 3);
    for (const std::string& n : names)
        if (n != backupName && n.size() > prefix.size() && n.compare(0, prefix.size(), prefix) == 0)
            found.push_back(n);
    return found;
}

std::vector<std::string> PlanPrune(const std::vector<std::string>& names,
                                   const BackupPolicy& givenPolicy, std::time_t now,
                                   const std::vector<std::string>& created,
                                   const std::string& justMade)
{
    const BackupPolicy policy = givenPolicy.Clamped();
    const std::vector<Entry> list = backupsIn(names, created);
    std::set<std::string> keep;
    if (!list.empty())
        keep.insert(list.front().name);
    if (!justMade.empty())
        keep.insert(justMade);
    std::set<int> days;
    std::set<int> months;
    std::tm nowTm{};
    ::localtime_r(&now, &nowTm);
    const int thisMonth = nowTm.tm_year * 12 + nowTm.tm_mon;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Entry& e = list[i];
        if (static_cast<int>(i) < policy.keepLast)
            keep.insert(e.name);
        // Newest first: the first one seen of a day or month is its newest.
        if (!days.count(e.day()) && static_cast<int>(days.size()) < policy.keepLast) {
            days.insert(e.day());
            keep.insert(e.name);
        }
        const int age = thisMonth - e.month();
        if (age >= 0 && age < policy.keepMonths && !months.count(e.month())) {
            months.insert(e.month());
            keep.insert(e.name);
        }
    }
    std::vector<std::string> remove;
    for (const Entry& e : list)
        if (!keep.count(e.name))
            remove.push_back(e.name);
    return remove;
}

std::string BackupResult::Describe() const
{
    if (ok)
        return noStore ? "no store to back up" : "backup " + path;
    return "backup " + path + " failed: " + std::strerror(error);
}

BackupResult MakeBackup(const std::string& givenStorePath, const BackupPolicy& policy,
                        std::time_t now)
{
    BackupResult result;
    const std::string storePath = NativeStorePath(givenStorePath);
    safefile::Fd in(::open(storePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        // No file at that path (a missing folder on the way included) is nothing to back up.
        result.ok = errno == ENOENT || errno == ENOTDIR || (in.get() >= 0 && !S_ISREG(st.st_mode));
        result.noStore = result.ok;
        result.error = result.ok ? 0 : errno;
        result.path = storePath;
        return result;
    }
    const std::string folder = BackupFolderFor(storePath);
    try {
        safefile::CreateFolders(folder);
    } catch (...) {
    }
    if (!safefile::IsFolder(folder)) {
        result.error = errno ? errno : EIO;
        result.path = folder;
        return result;
    }
    for (int seq = 1; seq < 100; ++seq) {
        result.path = folder + "/" + BackupName(now, seq);
        if (::access(result.path.c_str(), F_OK) == 0)
            continue;
        // A save replaces the store by renaming a new file over it, so the inode linked here
        // is never written again and stays the backup.
        if (::link(storePath.c_str(), result.path.c_str()) == 0) {
            result.ok = true;
            break;
        }
        if (errno == EEXIST)
            continue;
        result.error = safeCopy(in.get(), result.path);
        result.ok = result.error == 0;
        break;
    }
    if (result.ok) {
        if (policy.companion)
            result.companionError = policy.companion(storePath, result.path);
        const std::string made = result.path.substr(folder.size() + 1);
        noteCreated(folder, made);
        const std::vector<std::string> present = folderNames(folder);
        const std::vector<std::string> remove =
            PlanPrune(present, policy, now, readCreationOrder(folder), made);
        for (const std::string& name : remove) {
            ::unlink((folder + "/" + name).c_str());
            for (const std::string& companion : CompanionsOf(present, name))
                ::unlink((folder + "/" + companion).c_str());
        }
        if (!remove.empty())
            compactCreationOrder(folder, folderNames(folder));
    }
    return result;
}

bool NeedsDailyBackup(const std::string& storePath, std::time_t now)
{
    std::tm t{};
    ::localtime_r(&now, &t);
    for (const Entry& e : backupsIn(folderNames(BackupFolderFor(storePath))))
        if (e.stamp.tm_year == t.tm_year && e.stamp.tm_mon == t.tm_mon &&
            e.stamp.tm_mday == t.tm_mday)
            return false;
    return true;
}

std::vector<BackupInfo> ListBackups(const std::string& storePath)
{
    const std::string folder = BackupFolderFor(storePath);
    std::vector<BackupInfo> infos;
    StoreOptions options;
    options.openWaitMs = 0;
    for (const Entry& e : backupsIn(folderNames(folder), readCreationOrder(folder))) {
        BackupInfo info;
        info.name = e.name;
        info.path = folder + "/" + e.name;
        info.stamp = e.stamp;
        struct stat st {};
        if (::stat(info.path.c_str(), &st) == 0)
            info.size = static_cast<uint64_t>(st.st_size);
        CCustomerDB db;
        const StoreOutcome out = LoadStore(db, info.path, options);
        info.readable = out.ok;
        info.problem = out.message;
        info.customers = static_cast<std::size_t>(db.customers.Count());
        info.measurements = db.RecordCount();
        infos.push_back(std::move(info));
    }
    return infos;
}

RestoreResult RestoreBackup(const std::string& backupPath, const std::string& givenStorePath,
                            const BackupPolicy& policy, std::time_t now)
{
    RestoreResult result;
    const std::string storePath = NativeStorePath(givenStorePath);
    StoreOptions options;
    options.openWaitMs = 0;
    CCustomerDB check;
    const StoreOutcome read = LoadStore(check, backupPath, options);
    safefile::Fd in(::open(backupPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!read.ok || in.get() < 0 || !read.identity.exists) {
        result.failure = RestoreFailure::UnreadableBackup;
        result.message = "the backup cannot be read: " + backupPath;
        return result;
    }
    result.safeguard = MakeBackup(storePath, policy, now);
    if (!result.safeguard.ok) {
        result.failure = RestoreFailure::SafeguardFailed;
        result.message = "the current store could not be backed up first (" +
                         result.safeguard.Describe() + "); nothing was restored";
        return result;
    }
    const int error = safeCopy(in.get(), storePath);
    if (error != 0) {
        result.failure = RestoreFailure::ReplaceFailed;
        result.error = error;
        result.message = "the store could not be replaced: " + std::string(std::strerror(error));
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace storebackup
