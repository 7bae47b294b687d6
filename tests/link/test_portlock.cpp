// A serial port among other Linux programs, on real pseudo-terminals: UUCP lock files of live
// and dead processes, a lock folder that cannot be written, a device the user may not open,
// and the device names the port scan shows.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/emulatorport.h"
#include "link/portinfo.h"
#include "link/receptionworker.h"
#include "link/serialport.h"
#include "link/uucplock.h"
#include "linktestutil.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() /
               ("mxr_lock_" + std::to_string(::getpid()) + "_" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
};

// Another program: a child process that waits until it is ended.
struct OtherProcess {
    pid_t pid = -1;
    OtherProcess()
    {
        pid = ::fork();
        if (pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    // Ends it and waits for it, so its PID no longer runs.
    void end()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1; // the number may soon belong to another process
        }
    }
    ~OtherProcess() { end(); }
};

std::string hdb(pid_t pid)
{
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

std::string binaryPid(pid_t pid)
{
    const int32_t v = pid;
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::string baseName(const std::string& path)
{
    return fs::path(path).filename().string();
}

} // namespace

TEST(LockFile, PidFormsAreRead)
{
    TempDir dir;
    const struct {
        std::string bytes;
        pid_t pid;
    } cases[] = {
        {hdb(4321), 4321},  {"4321", 4321}, {" 77 \r\n", 77},   {binaryPid(4321), 4321}, {"", 0},
        {"not a pid\n", 0}, {"-5\n", 0},    {binaryPid(-3), 0}, {"99999999999\n", 0},
    };
    for (const auto& c : cases) {
        dir.write("LCK..x", c.bytes);
        const LockFileContent content = readLockFile((dir.path / "LCK..x").string());
        EXPECT_TRUE(content.exists);
        EXPECT_EQ(content.pid, c.pid) << c.bytes;
    }
    EXPECT_FALSE(readLockFile((dir.path / "LCK..none").string()).exists);
    EXPECT_EQ(uucpLockPath("/var/lock", "/dev/ttyUSB0"), "/var/lock/LCK..ttyUSB0");
}

TEST(PortLock, OpenCreatesTheLockAndCloseRemovesIt)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    TempDir dir;
    // A stable name (as /dev/serial/by-id gives) locks the device it leads to.
    const fs::path byId = dir.path / "usb-Maker_Adapter_0001-if00-port0";
    fs::create_symlink(pty.slavePath(), byId);
    const std::string lockName = "LCK.." + baseName(pty.slavePath());

    CxSerialPort port;
    port.SetLockFolder(dir.path.string());
    port.SetDevicePath(byId.string());
    ASSERT_TRUE(port.Open()) << port.ErrorText();
    EXPECT_EQ(dir.read(lockName), hdb(::getpid()));
    EXPECT_EQ(fs::status(dir.path / lockName).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);

    // A second user in this program, under the device's own name: in use.
    CxSerialPort other;
    other.SetLockFolder(dir.path.string());
    other.SetDevicePath(pty.slavePath());
    EXPECT_FALSE(other.Open());
    EXPECT_EQ(other.GetErrorCode(), static_cast<uint32_t>(EBUSY));

    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(fs::exists(dir.path / lockName));
    EXPECT_TRUE(other.Open()) << other.ErrorText();
    other.Close();
    // Nothing is left behind, no temporary files either.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path))
        files += e.path() != byId;
    EXPECT_EQ(files, 0);
}

TEST(PortLock, LiveHolderRefusesStaleHolderIsRemoved)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    TempDir dir;
    const std::string lockName = "LCK.." + baseName(pty.slavePath());

    for (const bool binary : {false, true}) {
        OtherProcess holder;
        ASSERT_GT(holder.pid, 0);
        dir.write(lockName, binary ? binaryPid(holder.pid) : hdb(holder.pid));

        CxSerialPort port;
        port.SetLockFolder(dir.path.string());
        port.SetDevicePath(pty.slavePath());
        EXPECT_FALSE(port.Open());
        EXPECT_EQ(port.GetErrorCode(), static_cast<uint32_t>(EBUSY));
        EXPECT_EQ(u8(port.ErrorText()), pty.slavePath() + " は他のプログラムが使用中です (PID " +
                                            std::to_string(holder.pid) + ")。");
        EXPECT_EQ(presenceAfterOpen(false, port.GetErrorCode()), PortPresence::InUse);
        EXPECT_EQ(readLockFile((dir.path / lockName).string()).pid, holder.pid); // left alone

        holder.end(); // the holder is gone: its lock is stale
        ASSERT_TRUE(port.Open()) << binary << " " << port.ErrorText();
        EXPECT_EQ(dir.read(lockName), hdb(::getpid()));
        port.Close();
    }

    // A lock that names nobody is still a lock; a lock with this program's PID that this
    // program does not hold was left by an earlier process with the same PID.
    dir.write(lockName, "");
    CxSerialPort port;
    port.SetLockFolder(dir.path.string());
    port.SetDevicePath(pty.slavePath());
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(u8(port.ErrorText()), pty.slavePath() + " は他のプログラムが使用中です。");
    dir.write(lockName, hdb(::getpid()));
    EXPECT_TRUE(port.Open()) << port.ErrorText();
}

TEST(PortLock, UnusableLockFolderIsLoggedOnceAndTheOpenGoesOn)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    TempDir dir;
    CxSerialPort port;
    port.SetupLog((dir.path / "COMM_").string());
    port.SetLockFolder((dir.path / "no-such-folder").string());
    port.SetDevicePath(pty.slavePath());
    ASSERT_TRUE(port.Open()) << port.ErrorText();
    ASSERT_TRUE(port.Open()) << port.ErrorText();
    port.Close();
    std::string log;
    for (const auto& e : fs::directory_iterator(dir.path))
        log += dir.read(e.path().filename().string());
    const std::string line = "no lock file in " + (dir.path / "no-such-folder").string() +
                             " (No such file or directory); going on without one";
    const auto first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);
}

TEST(PortLock, ReceptionNamesTheProgramHoldingThePort)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    TempDir dir;
    OtherProcess holder;
    dir.write("LCK.." + baseName(pty.slavePath()), hdb(holder.pid));

    CollectingListener listener;
    ReceptionWorker worker(listener);
    listener.worker = &worker;
    auto& port = dynamic_cast<CxSerialPort&>(worker.Port());
    port.SetPortMap({{17, pty.slavePath()}});
    port.SetLockFolder(dir.path.string());
    ReceptionOptions o;
    o.comm.port = 17;
    o.pauses = fastPauses();
    worker.Start(o);
    ASSERT_TRUE(listener.waitFinished(std::chrono::seconds(5)));
    EXPECT_FALSE(listener.success());
    ASSERT_FALSE(listener.errors().empty());
    EXPECT_EQ(listener.errors()[0], "シリアルポートのオープンに失敗," + pty.slavePath() +
                                        " は他のプログラムが使用中です (PID " +
                                        std::to_string(holder.pid) + ")。ｴﾗｰNo:hex(10),dec(16)");
}

// A device that exists but that this user may not open. As root the check runs in a child
// that has become an unprivileged user (root opens any device); otherwise on a pty whose
// permissions are taken away.
TEST(PortAccess, DeviceWithoutPermissionSaysHowToGetAccess)
{
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    const std::string group = deviceGroup(pty.slavePath());
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                report = "skip:cannot become an unprivileged user";
        } else if (::chmod(pty.slavePath().c_str(), 0) != 0) {
            report = "skip:cannot take the pty's permissions away";
        }
        if (report.empty()) {
            CxSerialPort port;
            port.SetLockFolder("");
            port.SetDevicePath(pty.slavePath());
            const bool opened = port.Open();
            report = std::to_string(opened) + ":" + std::to_string(port.GetErrorCode()) + ":" +
                     port.ErrorText();
        }
        (void)!::write(channel[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = ::read(channel[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<std::size_t>(n));
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (report.rfind("skip:", 0) == 0)
        GTEST_SKIP() << report.substr(5);

    EXPECT_EQ(report.substr(0, report.find(':', 2) + 1), "0:" + std::to_string(EACCES) + ":");
    const std::string text = u8(report.substr(report.find(':', 2) + 1));
    EXPECT_EQ(text.rfind(pty.slavePath() + " を開く権限がありません。", 0), 0u) << text;
    EXPECT_NE(text.find("グループ「" + group + "」のメンバー"), std::string::npos) << text;
    EXPECT_NE(text.find("usermod -aG " + group), std::string::npos) << text;
    EXPECT_NE(text.find("ログインし直してください"), std::string::npos) << text;
    EXPECT_EQ(presenceAfterOpen(false, EACCES), PortPresence::NoAccess);
}

TEST(PortInfo, NamesFromSysfs)
{
    // A fake sysfs: ttyUSB0 behind a USB interface of a device with maker and product, ttyS0
    // on a platform bus, ttyACM0 on a device that has only a product string.
    TempDir sys;
    const fs::path usb = sys.path / "devices/pci0/usb1/1-1";
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    std::ofstream(usb / "idVendor") << "fff0\n";
    std::ofstream(usb / "manufacturer") << "Maker A\n";
    std::ofstream(usb / "product") << "USB Serial Adapter\n";
    const fs::path acm = sys.path / "devices/pci0/usb1/1-2";
    fs::create_directories(acm / "1-2:1.0");
    std::ofstream(acm / "idVendor") << "fff1\n";
    std::ofstream(acm / "product") << "  Meter  \n";
    fs::create_directories(sys.path / "devices/platform/serial8250/tty/ttyS0");
    fs::create_directories(sys.path / "class/tty/ttyUSB0");
    fs::create_directories(sys.path / "class/tty/ttyACM0");
    fs::create_directories(sys.path / "class/tty/ttyS0");
    fs::create_directory_symlink(usb / "1-1:1.0/ttyUSB0", sys.path / "class/tty/ttyUSB0/device");
    fs::create_directory_symlink(acm / "1-2:1.0", sys.path / "class/tty/ttyACM0/device");
    fs::create_directory_symlink(sys.path / "devices/platform/serial8250",
                                 sys.path / "class/tty/ttyS0/device");

    const struct {
        std::string path;
        std::string device, product;
    } cases[] = {
        {"/dev/ttyUSB0", "ttyUSB0", "Maker A USB Serial Adapter"},
        {"/dev/ttyACM0", "ttyACM0", "Meter"},
        {"/dev/ttyS0", "ttyS0", ""},
        {"/dev/ttyUSB7", "ttyUSB7", ""}, // not there: named, nothing more
    };
    for (const auto& c : cases) {
        const PortInfo info = describeDevice(c.path, sys.path.string());
        EXPECT_EQ(info.device, c.device) << c.path;
        EXPECT_EQ(info.product, c.product) << c.path;
    }

    // A real pty, through a stable link: named after the device it leads to.
    EmulatorPty pty;
    std::string error;
    ASSERT_TRUE(pty.create(error)) << error;
    fs::create_symlink(pty.slavePath(), sys.path / "by-id-link");
    EXPECT_EQ(describeDevice((sys.path / "by-id-link").string(), sys.path.string()).device,
              pty.slavePath().substr(5));
}
