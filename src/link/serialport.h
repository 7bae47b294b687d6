// The serial port: ISerialPort (what the reception needs of a port) and CxSerialPort, its
// POSIX termios implementation, plus the mapping from port numbers to device paths.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "model/customerdb.h" // CCommSetting
#include "link/cxlogfile.h"
#include "link/uucplock.h"

// Port number overrides: the keys "COM%d" of the INI section "Ports", read by the caller.
using PortMap = std::map<int, std::string>;

// The device path of port n: the override when present, otherwise COM1-4 -> /dev/ttyS0-3,
// COM5-12 -> /dev/ttyUSB0-7, COM13-20 -> /dev/ttyACM0-7; other numbers give "/dev/ttyS<n-1>",
// which normally does not exist, so opening it fails with "no such file".
std::string portDevicePath(int port, const PortMap& overrides);

// Parses the lines of an INI section "Ports" ("COM3=/dev/pts/4") into a PortMap; keys are
// case-insensitive, other keys are ignored.
PortMap parsePortSection(const std::map<std::string, std::string>& keyValues);

// A receive-only serial line. Read, Close, SetCommTimeout and SetTimeout may be called from
// another thread while one thread is blocked in Read: the read returns within about a second
// (in practice within 50 ms) once the time-outs are shortened or the port is closed.
class ISerialPort {
public:
    virtual ~ISerialPort() = default;

    virtual void SetParam(const CCommSetting& settings) = 0;
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool SetCommTimeout(uint32_t readInterval, uint32_t readMultiplier,
                                uint32_t readConstant, uint32_t writeMultiplier,
                                uint32_t writeConstant) = 0;
    // The software receive time-out in ms; 0xFFFFFFFF never times out.
    virtual void SetTimeout(uint32_t ms) = 0;
    // Reads exactly count bytes: 0 all arrived, -1 the system read failed (error code kept),
    // -2 the software time-out ran out (silence measured from the last byte received).
    virtual int Read(unsigned char* buffer, std::size_t count, std::size_t& received) = 0;
    virtual uint32_t GetErrorCode() const = 0;
    // The system's text for the stored error code (CP932).
    virtual std::string ErrorText() const = 0;
    virtual bool IsOpen() const = 0;
    // Sets up the communication log (empty path: disabled).
    virtual void SetupLog(const std::string& basePath) = 0;
};

class CxSerialPort : public ISerialPort, public CxLogFile {
public:
    CxSerialPort() = default;
    ~CxSerialPort() override;
    CxSerialPort(const CxSerialPort&) = delete;
    CxSerialPort& operator=(const CxSerialPort&) = delete;

    // How port numbers become device paths; a fixed device path wins over the port number.
    void SetPortMap(PortMap overrides) { m_portMap = std::move(overrides); }
    void SetDevicePath(std::string path) { m_fixedPath = std::move(path); }
    std::string DevicePath() const;
    // Where the UUCP lock files live (/var/lock unless set); empty: no lock files at all.
    void SetLockFolder(std::string folder) { m_lockFolder = std::move(folder); }

    void SetParam(const CCommSetting& settings) override { m_settings = settings; }
    const CCommSetting& Param() const { return m_settings; }
    bool Open() override;
    bool Close() override;
    bool SetCommTimeout(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                        uint32_t writeMultiplier, uint32_t writeConstant) override;
    void SetTimeout(uint32_t ms) override;
    uint32_t Timeout() const { return m_timeout.load(); }
    int Read(unsigned char* buffer, std::size_t count, std::size_t& received) override;
    uint32_t GetErrorCode() const override { return m_errorCode.load(); }
    // For a port in use or without permission a sentence that says so and names the device
    // (and the holder's PID, or how to get access); otherwise the system's text.
    std::string ErrorText() const override;
    bool IsOpen() const override;
    void SetupLog(const std::string& basePath) override;

private:
    // One byte: 1 came, 0 none within the wait, -1 failure (errno kept).
    int readOne(unsigned char* byte, uint32_t waitMs);
    bool configure(int fd);
    void closeFd();
    void keepError(int code) { m_errorCode.store(static_cast<uint32_t>(code)); }

    bool openDevice(const std::string& path);

    CCommSetting m_settings;
    PortMap m_portMap;
    std::string m_fixedPath;
    std::string m_lockFolder = kDefaultLockFolder;
    bool m_lockFolderLogged = false; // an unusable lock folder is logged once per port
    std::string m_openFailure;       // ErrorText of the last failed Open, when it has its own

    // Held while the port is open; released by Close under m_fdMutex.
    UucpLock m_lock;

    // Protects m_fd against Close from another thread while Read polls it; Read holds it for
    // one short poll slice at a time only.
    mutable std::mutex m_fdMutex;
    int m_fd = -1;

    std::atomic<uint32_t> m_timeout{5000};  // software receive time-out, ms
    std::atomic<uint32_t> m_callWait{1010}; // longest wait of one system read, ms
    std::atomic<uint32_t> m_commTimeouts[5] = {0, 0, 0, 0, 0}; // as last set, for the record
    std::atomic<uint32_t> m_errorCode{0};
};
