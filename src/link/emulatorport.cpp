// Pseudo-terminal creation, reader detection and paced sending for the tester emulator.
#include "link/emulatorport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool stopped(const std::atomic<bool>* stop)
{
    return stop && stop->load();
}

// Waits until fd can take more bytes. False on stop, error or (with watchHangup) hang-up.
bool waitWritable(int fd, const std::atomic<bool>* stop, bool watchHangup)
{
    for (;;) {
        if (stopped(stop))
            return false;
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, 20);
        if (n < 0 && errno != EINTR)
            return false;
        if (n > 0) {
            if (watchHangup && (p.revents & POLLHUP))
                return false;
            if (p.revents & (POLLERR | POLLNVAL))
                return false;
            if (p.revents & POLLOUT)
                return true;
        }
    }
}

} // namespace

bool sendPaced(int fd, const std::vector<EmulatorChunk>& chunks, int baud,
               const std::atomic<bool>* stop, bool watchHangup)
{
    // Bytes are due at start + k * 10 / baud seconds; a chunk's pause moves the schedule on.
    const double secondsPerByte = baud > 0 ? double(kBitsPerByte) / baud : 0.0;
    const Clock::time_point start = Clock::now();
    double dueOffset = 0.0; // seconds of pauses so far
    std::size_t sent = 0;   // bytes so far
    for (const EmulatorChunk& chunk : chunks) {
        std::size_t pos = 0;
        while (pos < chunk.bytes.size()) {
            // Up to about 5 ms of line time per write keeps the pace even.
            std::size_t n = chunk.bytes.size() - pos;
            if (secondsPerByte > 0) {
                n = std::min<std::size_t>(
                    n, std::max<std::size_t>(1, std::size_t(0.005 / secondsPerByte)));
                const auto due =
                    start + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(dueOffset + sent * secondsPerByte));
                while (Clock::now() < due) {
                    if (stopped(stop))
                        return false;
                    std::this_thread::sleep_until(
                        std::min(due, Clock::now() + std::chrono::milliseconds(20)));
                }
            }
            if (!waitWritable(fd, stop, watchHangup))
                return false;
            const ssize_t w = ::write(fd, chunk.bytes.data() + pos, n);
            if (w < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                return false;
            }
            pos += static_cast<std::size_t>(w);
            sent += static_cast<std::size_t>(w);
        }
        if (chunk.pauseAfterMs > 0) {
            dueOffset += chunk.pauseAfterMs / 1000.0;
            if (secondsPerByte == 0.0)
                std::this_thread::sleep_for(std::chrono::milliseconds(chunk.pauseAfterMs));
        }
    }
    // The last bytes are due a little after the write; let them go out at line time.
    if (secondsPerByte > 0) {
        const auto due =
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(dueOffset + sent * secondsPerByte));
        std::this_thread::sleep_until(due);
    }
    return true;
}

EmulatorPty::~EmulatorPty()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool EmulatorPty::create(std::string& error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = std::strerror(errno);
        return false;
    }
    char name[256] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        error = std::strerror(errno);
        return false;
    }
    m_slavePath = name;
    // Raw slave line: what the emulator writes arrives unchanged even before the reader has
    // set its own line up.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = std::strerror(errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave); // from now on the master shows a hang-up until a reader opens the slave
    // Packet mode: the master learns of every flush of the slave's receive queue.
    int one = 1;
    ::ioctl(m_master, TIOCPKT, &one);
    return true;
}

bool EmulatorPty::readerPresent() const
{
    pollfd p{m_master, POLLOUT, 0};
    ::poll(&p, 1, 0);
    return (p.revents & POLLHUP) == 0;
}

bool EmulatorPty::waitForReader(const std::atomic<bool>& stop, uint32_t settleMs) const
{
    while (!readerPresent()) {
        if (stop.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(settleMs);
    while (Clock::now() < until) {
        if (stop.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool EmulatorPty::waitForReaderGone(const std::atomic<bool>& stop) const
{
    while (readerPresent()) {
        if (stop.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void EmulatorPty::clearOpenings() const
{
    char packet[256];
    while (::read(m_master, packet, sizeof packet) > 0) {
    }
}

bool EmulatorPty::waitForNextOpening(const std::atomic<bool>& stop) const
{
    for (;;) {
        if (stop.load())
            return false;
        pollfd p{m_master, POLLIN | POLLPRI, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & (POLLIN | POLLPRI))) {
            // poll reports a hang-up at once while nobody has the slave open.
            if (p.revents & POLLHUP)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        char packet[256];
        const ssize_t n = ::read(m_master, packet, sizeof packet);
        if (n > 0 && (packet[0] & TIOCPKT_FLUSHREAD))
            return true;
        if (n <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool EmulatorPty::send(const std::vector<EmulatorChunk>& chunks, int baud,
                       const std::atomic<bool>* stop) const
{
    return sendPaced(m_master, chunks, baud, stop, true);
}

int openSendDevice(const std::string& path, int baud)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        speed_t speed = B38400;
        switch (baud) {
        case 9600: speed = B9600; break;
        case 19200: speed = B19200; break;
        case 57600: speed = B57600; break;
        case 115200: speed = B115200; break;
        default: break;
        }
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

EmulatorPtySender::EmulatorPtySender(std::vector<EmulatorChunk> chunks, int baud, uint32_t settleMs,
                                     bool repeat)
    : m_chunks(std::move(chunks))
{
    if (!m_pty.create(m_error)) {
        if (m_error.empty())
            m_error = "pty";
        return;
    }
    m_thread = std::thread([this, baud, settleMs, repeat] {
        do {
            if (!m_pty.waitForReader(m_stop, settleMs))
                return;
            m_pty.clearOpenings(); // this reader's own opening
            m_pty.send(m_chunks, baud, &m_stop);
            // The next opening gets the whole dump again, not what is left of this one.
            if (repeat && !m_pty.waitForNextOpening(m_stop))
                return;
        } while (repeat);
    });
}

EmulatorPtySender::~EmulatorPtySender()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}
