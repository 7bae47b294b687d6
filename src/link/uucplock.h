// UucpLock: the lock files (LCK..ttyUSB0 in /var/lock) by which Linux terminal programs, modem
// managers and this program tell each other that a serial device is in use.
#pragma once

#include <string>

#include <sys/types.h>

inline constexpr const char* kDefaultLockFolder = "/var/lock";

// The lock file of a device: folder + "/LCK.." + the file name of the resolved device path
// ("/dev/ttyUSB0" -> "LCK..ttyUSB0"), so every name of one device shares one lock.
std::string uucpLockPath(const std::string& folder, const std::string& resolvedDevice);

// What a lock file says: exists is false when there is no such file; pid is the holder, or 0
// when the file holds no readable PID. Both forms are read: ASCII decimal with blanks and a
// newline (the usual ten-character form) and a 4-byte binary PID.
struct LockFileContent {
    bool exists = false;
    pid_t pid = 0;
};
LockFileContent readLockFile(const std::string& path);

class UucpLock {
public:
    enum class Outcome {
        Acquired,      // the lock file now holds this process's PID
        Held,          // another process holds the device (holder() says which, 0 = unknown)
        FolderUnusable // no lock file can be made there (folderError() says why); go on without
    };

    UucpLock() = default;
    ~UucpLock() { release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes the lock of resolvedDevice in folder. A lock file of a process that no longer
    // runs is removed first; so is one with this process's PID that this process does not
    // hold (a crashed earlier run whose PID came round again).
    Outcome acquire(const std::string& folder, const std::string& resolvedDevice);
    // Removes the lock file, if this object holds it and it still names this process.
    void release();

    bool held() const { return m_held; }
    pid_t holder() const { return m_holder; }
    int folderError() const { return m_error; }
    const std::string& path() const { return m_path; }

private:
    bool removeIfStale(const LockFileContent& content);
    bool create(); // false with m_error, or with m_error 0 when the file appeared meanwhile

    std::string m_path;
    bool m_held = false;
    pid_t m_holder = 0;
    int m_error = 0;
};
