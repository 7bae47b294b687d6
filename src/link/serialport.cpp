// CxSerialPort on POSIX termios: open by number with the six line settings, one-byte reads
// with a software time-out measured from the last byte, and the communication log lines.
#include "link/serialport.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "link/portinfo.h"
#include "model/cp932text.h"
#include "model/number.h"

// Non-standard rates (14400, 56000, 128000, 256000) go through termios2; see serialspeed.cpp.
bool setCustomBaudRate(int fd, int rate);

namespace {

using Clock = std::chrono::steady_clock;

uint64_t msSince(Clock::time_point ref)
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ref).count());
}

speed_t standardSpeed(int rate)
{
    switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
    }
}

// A poll slice: Close and shortened time-outs from another thread are seen within this.
constexpr uint32_t kSliceMs = 50;

} // namespace

std::string portDevicePath(int port, const PortMap& overrides)
{
    if (auto it = overrides.find(port); it != overrides.end() && !it->second.empty())
        return it->second;
    if (port >= 1 && port <= 4)
        return "/dev/ttyS" + std::to_string(port - 1);
    if (port >= 5 && port <= 12)
        return "/dev/ttyUSB" + std::to_string(port - 5);
    if (port >= 13 && port <= 20)
        return "/dev/ttyACM" + std::to_string(port - 13);
    return "/dev/ttyS" + std::to_string(port - 1);
}

PortMap parsePortSection(const std::map<std::string, std::string>& keyValues)
{
    PortMap map;
    for (const auto& [key, value] : keyValues) {
        if (key.size() < 4)
            continue;
        std::string head = key.substr(0, 3);
        for (char& c : head)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (head != "COM")
            continue;
        int n = 0;
        bool digits = true;
        for (std::size_t i = 3; i < key.size(); ++i) {
            if (key[i] < '0' || key[i] > '9' || n > 100000) {
                digits = false;
                break;
            }
            n = n * 10 + (key[i] - '0');
        }
        if (digits && n > 0 && !value.empty())
            map[n] = value;
    }
    return map;
}

CxSerialPort::~CxSerialPort()
{
    Close();
}

std::string CxSerialPort::DevicePath() const
{
    return m_fixedPath.empty() ? portDevicePath(m_settings.port, m_portMap) : m_fixedPath;
}

void CxSerialPort::SetupLog(const std::string& basePath)
{
    Setup(basePath, 7, 4, 10000, 0x500000);
}

bool CxSerialPort::IsOpen() const
{
    std::lock_guard lock(m_fdMutex);
    return m_fd >= 0;
}

std::string CxSerialPort::ErrorText() const
{
    const uint32_t code = m_errorCode.load();
    if (!m_openFailure.empty() && (code == EBUSY || code == EACCES || code == EPERM))
        return m_openFailure;
    const std::string text = std::strerror(static_cast<int>(code));
    return cp932::fromUtf8(text).value_or(text);
}

bool CxSerialPort::Open()
{
    Close();
    m_openFailure.clear();
    const std::string path = DevicePath();
    Printf("port open %s", path.c_str());
    if (openDevice(path))
        return true;
    std::lock_guard lock(m_fdMutex);
    m_lock.release();
    return false;
}

bool CxSerialPort::openDevice(const std::string& path)
{
    const std::string shown = cp932::fromUtf8(path).value_or(path);
    const auto inUse = [&](pid_t pid) {
        keepError(EBUSY);
        m_openFailure = shown + cp932::lit(" は他のプログラムが使用中です");
        if (pid > 0)
            m_openFailure += formatC(" (PID %d)", static_cast<int>(pid));
        m_openFailure += cp932::lit("。");
    };

    // The device itself: a /dev/serial/by-id name and the ttyUSB node share one lock.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        keepError(errno);
        return false;
    }
    const std::string resolved = real;
    std::free(real);

    if (!m_lockFolder.empty()) {
        std::lock_guard lock(m_fdMutex);
        switch (m_lock.acquire(m_lockFolder, resolved)) {
        case UucpLock::Outcome::Acquired: break;
        case UucpLock::Outcome::Held:
            Printf("lock file %s held by PID %d", m_lock.path().c_str(),
                   static_cast<int>(m_lock.holder()));
            inUse(m_lock.holder());
            return false;
        case UucpLock::Outcome::FolderUnusable:
            if (!m_lockFolderLogged) {
                Printf("no lock file in %s (%s); going on without one", m_lockFolder.c_str(),
                       std::strerror(m_lock.folderError()));
                m_lockFolderLogged = true;
            }
            break;
        }
    }

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        keepError(error);
        if (error == EBUSY)
            inUse(0); // another program has put the line in exclusive mode
        else if (error == EACCES || error == EPERM)
            m_openFailure = noAccessText(path);
        return false;
    }
    // Not shared: the tty's exclusive mode keeps other openers out (root bypasses it), the
    // advisory lock keeps out every program that also locks, this one included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        keepError(error);
        if (error == EWOULDBLOCK) {
            keepError(EBUSY);
            inUse(0);
        }
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    if (!configure(fd)) {
        ::close(fd);
        return false;
    }
    // Start with an empty receive queue, as a freshly opened COM port does.
    ::tcflush(fd, TCIFLUSH);
    {
        std::lock_guard lock(m_fdMutex);
        m_fd = fd;
    }
    if (!SetCommTimeout(0xFFFFFFFF, 10, 1000, 1000, 1000)) {
        closeFd();
        return false;
    }
    SetTimeout(5000);
    return true;
}

bool CxSerialPort::configure(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        keepError(errno);
        return false;
    }
    const CCommSetting& s = m_settings;
    const bool parityCheck = s.parity != 0;
    const bool xonxoff = s.flowControl == 2;
    // Written before anything is applied, so that a setting the line refuses is in the log
    // beside the failure it causes.
    Printf("BaudRate[%ld ], Parity[%ld], OutX[%d], InX[%d], ByteSize[%ld], Parity[%ld], "
           "StopBits[%ld]",
           static_cast<long>(s.baudRate), static_cast<long>(parityCheck ? 1 : 0), xonxoff ? 1 : 0,
           xonxoff ? 1 : 0, static_cast<long>(s.dataBits), static_cast<long>(s.parity),
           static_cast<long>(s.stopBits));

    // Raw bytes: no line editing, no translation of CR or NL, no echo, no signals.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    switch (s.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    case 8: tio.c_cflag |= CS8; break;
    default: keepError(EINVAL); return false; // 4 data bits: no such setting here
    }
    switch (s.parity) {
    case 0: break;
    case 1: tio.c_cflag |= PARENB | PARODD; break;
    case 2: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break; // mark
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;          // space
    default: keepError(EINVAL); return false;
    }
    if (parityCheck)
        tio.c_iflag |= INPCK;
    // 1.5 stop bits do not exist here (they are for 5-bit characters); 2 is the nearest.
    if (s.stopBits == 1 || s.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else if (s.stopBits != 0) {
        keepError(EINVAL);
        return false;
    }
    // Software flow control only for code 2; the hardware lines (CRTSCTS) stay as the driver
    // set them for codes 0 and 1.
    if (xonxoff)
        tio.c_iflag |= IXON | IXOFF;

    const speed_t speed = standardSpeed(s.baudRate);
    if (speed != 0) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    } else if (s.baudRate <= 0) {
        keepError(EINVAL);
        return false;
    }

    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        keepError(errno);
        return false;
    }
    if (speed == 0 && !setCustomBaudRate(fd, s.baudRate)) {
        keepError(errno);
        return false;
    }
    return true;
}

bool CxSerialPort::SetCommTimeout(uint32_t readInterval, uint32_t readMultiplier,
                                  uint32_t readConstant, uint32_t writeMultiplier,
                                  uint32_t writeConstant)
{
    m_commTimeouts[0] = readInterval;
    m_commTimeouts[1] = readMultiplier;
    m_commTimeouts[2] = readConstant;
    m_commTimeouts[3] = writeMultiplier;
    m_commTimeouts[4] = writeConstant;
    // A one-byte read waits at most multiplier + constant ms; the port is only ever read one
    // byte at a time.
    const uint64_t wait = uint64_t(readMultiplier) + readConstant;
    m_callWait.store(static_cast<uint32_t>(std::min<uint64_t>(wait, 0xFFFFFFFEu)));
    return true;
}

void CxSerialPort::SetTimeout(uint32_t ms)
{
    m_timeout.store(ms);
    Printf("SetTimeout[%ld]", static_cast<long>(static_cast<int32_t>(ms)));
}

bool CxSerialPort::Close()
{
    SetCommTimeout(1, 1, 1, 1, 1);
    SetTimeout(1);
    std::lock_guard lock(m_fdMutex);
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1; // forgotten in either case
    ::flock(fd, LOCK_UN);
    const bool closed = ::close(fd) == 0;
    if (!closed)
        keepError(errno);
    m_lock.release();
    return closed;
}

void CxSerialPort::closeFd()
{
    std::lock_guard lock(m_fdMutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_lock.release();
}

int CxSerialPort::readOne(unsigned char* byte, uint32_t waitMs)
{
    const Clock::time_point start = Clock::now();
    for (;;) {
        {
            std::lock_guard lock(m_fdMutex);
            if (m_fd < 0) {
                keepError(EBADF);
                return -1;
            }
            const uint64_t spent = msSince(start);
            const uint32_t left = spent >= waitMs ? 0 : static_cast<uint32_t>(waitMs - spent);
            pollfd p{m_fd, POLLIN, 0};
            const int n = ::poll(&p, 1, static_cast<int>(std::min(left, kSliceMs)));
            if (n < 0 && errno != EINTR) {
                keepError(errno);
                return -1;
            }
            if (n > 0) {
                const ssize_t r = ::read(m_fd, byte, 1);
                if (r == 1)
                    return 1;
                if (r < 0 && errno != EAGAIN && errno != EINTR) {
                    keepError(errno);
                    return -1;
                }
                if (r == 0 && (p.revents & POLLHUP)) {
                    keepError(EIO); // the other end has gone
                    return -1;
                }
            }
            if (left == 0)
                return 0;
        }
        // The wait may have been shortened from another thread.
        waitMs = std::min(waitMs, m_callWait.load());
    }
}

int CxSerialPort::Read(unsigned char* buffer, std::size_t count, std::size_t& received)
{
    received = 0;
    if (count == 0)
        return 0;
    int result = 0;
    Clock::time_point ref = Clock::now();
    for (;;) {
        // Wait no longer than the software time-out still allows, so that a time-out is
        // reported on time, not up to one system read later.
        const uint32_t timeout = m_timeout.load();
        const uint64_t spent = msSince(ref);
        uint32_t wait = m_callWait.load();
        if (timeout != 0xFFFFFFFFu)
            wait = static_cast<uint32_t>(
                std::min<uint64_t>(wait, spent > timeout ? 1 : timeout - spent + 1));
        const int r = readOne(buffer + received, wait);
        if (r < 0) {
            result = -1;
            break;
        }
        if (r == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (msSince(ref) > m_timeout.load()) {
                result = -2;
                break;
            }
            continue;
        }
        if (++received == count)
            break;
        ref = Clock::now();
    }
    if (IsEnabled())
        DumpReceived(buffer, received);
    return result;
}
