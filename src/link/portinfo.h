// What the port scan tells the user about a device: whether it can be opened, and which
// adapter it is (its name under /dev and, for USB adapters, the maker and product).
#pragma once

#include <cstdint>
#include <string>

enum class PortPresence {
    Absent,    // no such device (or it cannot be opened for another reason)
    Available, // opened and closed again
    InUse,     // held by another program (lock file, exclusive mode or advisory lock)
    NoAccess   // present, but this user may not open it
};

struct PortInfo {
    PortPresence presence = PortPresence::Absent;
    std::string device;  // the resolved device under /dev without that prefix ("ttyUSB0",
                         // "pts/3"); any other path as it stands
    std::string product; // "Maker A USB Serial Adapter" for a USB adapter, otherwise empty
};

// The presence an Open result stands for: the error code (errno) of a failed open decides.
PortPresence presenceAfterOpen(bool opened, uint32_t errorCode);

// The device behind devicePath (symbolic links such as /dev/serial/by-id/... resolved) and the
// maker and product strings that sysfs reports for a USB adapter (the same strings the
// /dev/serial/by-id names are made of). sysfsRoot is "/sys" except in tests.
PortInfo describeDevice(const std::string& devicePath, const std::string& sysfsRoot = "/sys");

// The group that may open the device ("dialout"), empty when unknown.
std::string deviceGroup(const std::string& devicePath);

// The message for a device that exists but may not be opened (CP932): names the device and
// says how Linux grants access to serial devices.
std::string noAccessText(const std::string& devicePath);
