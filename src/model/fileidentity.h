// What a file on disk is (device, inode, size, modification time), so a program that keeps a
// file's content in memory can tell whether someone else replaced or changed it meanwhile; and
// the copy that keeps such a file aside before it is overwritten.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

struct FileIdentity {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0; // nanoseconds since the epoch

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of an open file, or of the file a path names (symbolic links followed); a
// missing file gives exists == false.
FileIdentity IdentityOfFd(int fd);
FileIdentity IdentityOfPath(const std::string& path);

// Copies the open file fd (from its start) to "<path>.<tag>-YYYYMMDD-HHMMSS" (local time of
// now; "-2", "-3", ... appended when that name is taken), flushed to disk. Returns the copy's
// path, or "" when it could not be made (no partial copy is left behind).
std::string CopyAsideFrom(int fd, const std::string& path, const char* tag, std::time_t now);
// The same for the file at path.
std::string CopyAside(const std::string& path, const char* tag, std::time_t now);
