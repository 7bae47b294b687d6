// Safe file replacement shared by every writer of the program's files (data store, export file,
// CSV, INI files): a temporary file beside the target, flushed to disk and renamed over it, so a
// crash or a full disk never leaves a half-written file; and the advisory lock by which copies of
// the program wait for each other.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/fileidentity.h"

namespace safefile {

// Closes a descriptor when the scope ends.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1);
    int release();

private:
    int m_fd;
};

// The folder part of a '/'-separated path ("." for a bare name).
std::string FolderOf(const std::string& path);
bool IsFolder(const std::string& path);
// Creates every missing folder along the path, one level after the other.
void CreateFolders(const std::string& folder);

// How long to wait for a file another copy of the program holds locked.
struct LockWait {
    int waitMs = 60000;
    int retryMs = 200;
};

// Opens path and takes an exclusive advisory lock on it, retrying while another holder keeps it.
// Errors other than a held lock fail at once (waiting cannot cure them). After the lock is taken
// the descriptor must still be the file at path: a save by another copy renames a new file over
// it, and a lock on the replaced file would protect nothing. -1 on failure.
int OpenLocked(const std::string& path, int flags, const LockWait& wait);

// Writes all bytes; false (errno set) on failure.
bool WriteAll(int fd, std::string_view bytes);

// Copies everything from in (read from its start, whatever its offset) to out with WriteAll;
// false (errno set) on a failed read or write.
bool CopyContents(int in, int out);

// Whether process pid may still run: kill(pid, 0) succeeds or fails for another reason than
// ESRCH (a process of another user counts as running: not ours to judge).
bool ProcessRuns(int pid);

// Fault drill: while error is not 0, every WriteAll fails with that errno as a full disk or a
// failing device would make it. 0 turns it off. Used by the tests of every writer.
void SetInjectedWriteError(int error);

// Removes the temporary files ("<name>.tmp-<pid>-<n>", see ReplaceFile) in folder that were
// left by a save that never finished: those whose writer process no longer exists
// (kill(pid, 0) fails with ESRCH). A file of a process that still runs, or of one this user
// cannot signal, is kept. With a name, only the temporaries of that file are looked at.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder, const std::string& name = {});

enum class ReplaceStatus { Ok, OpenFailed, IoFailed, Refused };
struct ReplaceOutcome {
    ReplaceStatus status = ReplaceStatus::Ok;
    int error = 0; // errno of an IoFailed step
};

// Optional steps of ReplaceFile.
struct ReplaceHooks {
    // Runs once the old file is open and locked (fd -1 when there is none), before anything is
    // written; returning false stops the replacement with Refused. A writer that keeps the
    // file's content in memory compares the identity here and keeps a changed file aside.
    std::function<bool(int oldFd)> beforeReplace;
    // Runs once the new content is complete (and flushed) in the temporary file, just before
    // it is renamed over the old file, with the identity the file will then have; returning
    // false removes the temporary file and stops the replacement with Refused. A record kept
    // in step with the file (the change journal) notes the coming change here.
    std::function<bool(const FileIdentity& next)> beforeRename;
    // Receives the identity of the new file when the replacement succeeded.
    FileIdentity* written = nullptr;
};

// Replaces the file at path with what write(fd) produces. A symbolic link is written through to
// the file it names; a folder or device is never replaced (OpenFailed); the permissions of the
// old file are kept; the old file stays locked until the new one has replaced it. When write
// throws, the temporary file is removed and the exception passes on; a failed flush, close or
// rename gives IoFailed with its errno. Either way the old file is left as it was.
// Before the temporary file is made, stale temporaries of earlier saves of the same file are
// removed (RemoveStaleTemporaries).
ReplaceOutcome ReplaceFile(const std::string& path, const LockWait& wait, bool syncToDisk,
                           const std::function<void(int fd)>& write,
                           const ReplaceHooks& hooks = {});

} // namespace safefile
