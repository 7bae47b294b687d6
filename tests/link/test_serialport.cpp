// CxSerialPort on real pseudo-terminals: port mapping, the line settings, read results and
// time-outs, cancelling a blocked read from another thread, and the log lines.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/emulatorport.h"
#include "link/serialport.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() /
               ("mxr_link_" + std::to_string(::getpid()) + "_" +
                std::to_string(steady_clock::now().time_since_epoch().count()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    // Every log file's text, concatenated.
    std::string logText() const
    {
        std::string all;
        for (const auto& e : fs::directory_iterator(path)) {
            std::ifstream in(e.path(), std::ios::binary);
            all += std::string(std::istreambuf_iterator<char>(in), {});
        }
        return all;
    }
};

struct Pty {
    EmulatorPty pty;
    Pty()
    {
        std::string error;
        EXPECT_TRUE(pty.create(error)) << error;
    }
    void write(const std::string& bytes) const
    {
        EXPECT_EQ(::write(pty.masterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

CCommSetting settingsFor(int port)
{
    CCommSetting s;
    s.port = port;
    return s;
}

long msSince(steady_clock::time_point t)
{
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - t).count());
}

} // namespace

TEST(PortMapping, NumbersAndOverrides)
{
    const PortMap overrides = parsePortSection({{"com7", "/dev/pts/9"},
                                                {"COM12", "/tmp/x"},
                                                {"Other", "/a"},
                                                {"COMx", "/b"},
                                                {"COM3", ""}});
    EXPECT_EQ(overrides.size(), 2u);
    const struct {
        int port;
        const char* path;
    } cases[] = {{1, "/dev/ttyS0"},    {4, "/dev/ttyS3"}, {5, "/dev/ttyUSB0"},
                 {11, "/dev/ttyUSB6"}, {12, "/tmp/x"},    {13, "/dev/ttyACM0"},
                 {20, "/dev/ttyACM7"}, {7, "/dev/pts/9"}, {3, "/dev/ttyS2"}};
    for (const auto& c : cases)
        EXPECT_EQ(portDevicePath(c.port, overrides), c.path) << c.port;
}

TEST(SerialPort, MissingDeviceFailsWithItsErrorAndLogsOnlyTheOpenLine)
{
    TempDir dir;
    CxSerialPort port;
    port.SetupLog((dir.path / "COMM_").string());
    port.SetPortMap({{15, (dir.path / "no-such-tty").string()}});
    port.SetParam(settingsFor(15));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.GetErrorCode(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(port.ErrorText(), "No such file or directory");
    EXPECT_FALSE(port.IsOpen());
    const std::string log = dir.logText();
    EXPECT_NE(log.find("port open " + (dir.path / "no-such-tty").string()), std::string::npos);
    EXPECT_EQ(log.find("BaudRate["), std::string::npos);

    // Closing a closed port succeeds and still logs the shortened time-out.
    EXPECT_TRUE(port.Close());
    EXPECT_NE(dir.logText().find("SetTimeout[1]"), std::string::npos);
    unsigned char b;
    std::size_t got = 9;
    EXPECT_EQ(port.Read(&b, 1, got), -1);
    EXPECT_EQ(got, 0u);
}

TEST(SerialPort, LineSettingsAndTheirLogLine)
{
    const struct {
        int parity, stop, flow, bits;
        tcflag_t cflagSet, cflagClear;
        bool xon;
        const char* log;
    } cases[] = {
        {0, 0, 1, 8, CS8, PARENB | CSTOPB, false,
         "BaudRate[38400 ], Parity[0], OutX[0], InX[0], ByteSize[8], Parity[0], StopBits[0]"},
        {3, 2, 2, 8, PARENB | PARODD | CMSPAR | CSTOPB, 0, true,
         "BaudRate[38400 ], Parity[1], OutX[1], InX[1], ByteSize[8], Parity[3], StopBits[2]"},
        {2, 1, 0, 7, PARENB | CSTOPB | CS7, PARODD | CMSPAR, false,
         "BaudRate[38400 ], Parity[1], OutX[0], InX[0], ByteSize[7], Parity[2], StopBits[1]"},
        {1, 0, 0, 8, PARENB | PARODD, CMSPAR, false,
         "BaudRate[38400 ], Parity[1], OutX[0], InX[0], ByteSize[8], Parity[1], StopBits[0]"},
    };
    for (const auto& c : cases) {
        Pty pty;
        TempDir dir;
        CxSerialPort port;
        port.SetupLog((dir.path / "COMM_").string());
        port.SetDevicePath(pty.pty.slavePath());
        CCommSetting s;
        s.parity = c.parity;
        s.stopBits = c.stop;
        s.flowControl = c.flow;
        s.dataBits = c.bits;
        port.SetParam(s);
        ASSERT_TRUE(port.Open()) << port.ErrorText();
        EXPECT_EQ(port.Timeout(), 5000u);
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.pty.masterFd(), &tio), 0);
        // A pty keeps neither the character size nor the parity-enable bit; the rest stays.
        const tcflag_t kept = ~static_cast<tcflag_t>(CSIZE | PARENB);
        EXPECT_EQ(tio.c_cflag & c.cflagSet & kept, c.cflagSet & kept) << c.log;
        EXPECT_EQ(tio.c_cflag & c.cflagClear & kept, 0u) << c.log;
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != 0) << c.log;
        EXPECT_EQ((tio.c_iflag & IXON) != 0, c.xon) << c.log;
        EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.xon) << c.log;
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        const std::string log = dir.logText();
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        EXPECT_NE(log.find("SetTimeout[5000]"), std::string::npos);
    }
}

TEST(SerialPort, RefusedSettingsAreLoggedBeforeTheOpenFails)
{
    const struct {
        CCommSetting setting;
        const char* log;
    } cases[] = {
        {{1, 38400, 4, 0, 0, 1},
         "BaudRate[38400 ], Parity[0], OutX[0], InX[0], ByteSize[4], Parity[0], StopBits[0]"},
        {{1, 9600, 8, 0, 7, 2},
         "BaudRate[9600 ], Parity[1], OutX[1], InX[1], ByteSize[8], Parity[7], StopBits[0]"},
        {{1, 9600, 8, 5, 0, 0},
         "BaudRate[9600 ], Parity[0], OutX[0], InX[0], ByteSize[8], Parity[0], StopBits[5]"},
    };
    for (const auto& c : cases) {
        Pty pty;
        TempDir dir;
        CxSerialPort port;
        port.SetupLog((dir.path / "COMM_").string());
        port.SetDevicePath(pty.pty.slavePath());
        port.SetParam(c.setting);
        EXPECT_FALSE(port.Open()) << c.log;
        EXPECT_EQ(port.GetErrorCode(), static_cast<uint32_t>(EINVAL));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_NE(dir.logText().find(c.log), std::string::npos) << dir.logText();
    }
}

TEST(SerialPort, ExclusiveAndStartsWithAnEmptyQueue)
{
    Pty pty;
    pty.write("stale");
    CxSerialPort a, b;
    a.SetDevicePath(pty.pty.slavePath());
    b.SetDevicePath(pty.pty.slavePath());
    ASSERT_TRUE(a.Open());
    EXPECT_FALSE(b.Open());
    EXPECT_EQ(b.GetErrorCode(), static_cast<uint32_t>(EBUSY));

    a.SetTimeout(100);
    unsigned char buf[8];
    std::size_t got = 0;
    EXPECT_EQ(a.Read(buf, 1, got), -2); // "stale" was written before the open
    pty.write("AB");
    EXPECT_EQ(a.Read(buf, 2, got), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 2), "AB");
    EXPECT_TRUE(a.Close());
    EXPECT_TRUE(b.Open()); // free again
}

TEST(SerialPort, TimeOutCountsSilenceSinceTheLastByte)
{
    Pty pty;
    TempDir dir;
    CxSerialPort port;
    port.SetupLog((dir.path / "COMM_").string());
    port.SetDevicePath(pty.pty.slavePath());
    ASSERT_TRUE(port.Open());
    port.SetTimeout(300);
    // A byte every 200 ms: a 5-byte read takes about a second but never times out.
    std::thread writer([&] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(200ms);
            pty.write(std::string(1, char('0' + i)));
        }
    });
    unsigned char buf[5];
    std::size_t got = 0;
    const auto t0 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 5, got), 0);
    EXPECT_EQ(got, 5u);
    EXPECT_GE(msSince(t0), 900);
    writer.join();

    // Silence: -2 after the time-out (not a whole system read later), with the bytes so far.
    pty.write("Z");
    const auto t1 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 3, got), -2);
    EXPECT_EQ(got, 1u);
    EXPECT_GE(msSince(t1), 300);
    EXPECT_LT(msSince(t1), 900);
    EXPECT_NE(dir.logText().find("**>5A "), std::string::npos); // the dump of that read
    EXPECT_EQ(port.Read(buf, 0, got), 0);
}

TEST(SerialPort, BlockedReadReturnsWhenAnotherThreadCancels)
{
    enum Action { CloseIt, ShortenTimeouts, HangUp };
    for (Action action : {CloseIt, ShortenTimeouts, HangUp}) {
        auto pty = std::make_unique<Pty>();
        CxSerialPort port;
        port.SetDevicePath(pty->pty.slavePath());
        ASSERT_TRUE(port.Open());
        port.SetTimeout(0xFFFFFFFF);
        int result = 0;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            unsigned char b;
            std::size_t got = 0;
            result = port.Read(&b, 1, got);
            done = true;
        });
        std::this_thread::sleep_for(300ms);
        EXPECT_FALSE(done.load()); // without limit: still waiting
        const auto t0 = steady_clock::now();
        if (action == CloseIt) {
            port.Close();
        } else if (action == ShortenTimeouts) {
            port.SetCommTimeout(1, 1, 1, 1, 1);
            port.SetTimeout(1);
        } else {
            pty.reset(); // the other end goes away
        }
        reader.join();
        EXPECT_LT(msSince(t0), 1100) << action;
        if (action == HangUp)
            EXPECT_EQ(result, -1);
        else // Close shortens the time-outs first, so the read may end either way
            EXPECT_TRUE(result == -1 || result == -2) << action;
    }
}
