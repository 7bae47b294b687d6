// A small tmpfs mounted on a fresh folder for the life of the object, so writers can be run
// into a really full disk. Mounting needs the privilege to mount; where it is missing,
// mounted() is false and reason() says why (the test skips with it).
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>

class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& size = "256k")
    {
        char tmpl[] = "/tmp/mxr_tmpfs_XXXXXX";
        if (!::mkdtemp(tmpl)) {
            m_reason = std::string("mkdtemp: ") + std::strerror(errno);
            return;
        }
        m_path = tmpl;
        const std::string options = "size=" + size + ",mode=0777";
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) != 0)
            m_reason = "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) + ")";
        else
            m_mounted = true;
    }
    ~SmallTmpfs()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        if (!m_path.empty())
            ::rmdir(m_path.c_str());
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& reason() const { return m_reason; }
    const std::string& path() const { return m_path; }

    // Writes a filler file until the file system is full; returns the bytes written.
    long fill(const std::string& name = "filler") const
    {
        const int fd = ::open((m_path + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return 0;
        static const char block[4096] = {};
        long total = 0;
        for (;;) {
            const ssize_t n = ::write(fd, block, sizeof block);
            if (n <= 0)
                break;
            total += n;
        }
        ::close(fd);
        return total;
    }

private:
    std::string m_path;
    std::string m_reason;
    bool m_mounted = false;
};
