// The fixed tables of the communication settings lists and the rules that select and read them.
#include "ui/dialogs/serialsettingstables.h"

#include <cctype>
#include <charconv>
#include <iterator>

namespace serialsettings {

namespace {

constexpr TableRow kPorts[] = {
    {"COM1", 1},   {"COM2", 2},   {"COM3", 3},   {"COM4", 4},   {"COM5", 5},
    {"COM6", 6},   {"COM7", 7},   {"COM8", 8},   {"COM9", 9},   {"COM10", 10},
    {"COM11", 11}, {"COM12", 12}, {"COM13", 13}, {"COM14", 14}, {"COM15", 15},
};

constexpr TableRow kBaudRates[] = {
    {"110", 110},     {"300", 300},     {"600", 600},       {"1200", 1200},     {"2400", 2400},
    {"4800", 4800},   {"9600", 9600},   {"14400", 14400},   {"19200", 19200},   {"38400", 38400},
    {"56000", 56000}, {"57600", 57600}, {"115200", 115200}, {"128000", 128000}, {"256000", 256000},
};

constexpr TableRow kDataBits[] = {{"4", 4}, {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}};

constexpr TableRow kParity[] = {{"なし", 0}, {"奇数", 1}, {"偶数", 2}, {"マーク", 3}};

constexpr TableRow kStopBits[] = {{"1", 0}, {"1.5", 1}, {"2", 2}};

constexpr TableRow kFlowControl[] = {{"なし", 0}, {"ハードウェア", 1}, {"Xon/Xoff", 2}};

// Case-insensitive (ASCII) test that text begins with prefix.
bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}

} // namespace

std::span<const TableRow> portTable()
{
    return kPorts;
}
std::span<const TableRow> baudRateTable()
{
    return kBaudRates;
}
std::span<const TableRow> dataBitsTable()
{
    return kDataBits;
}
std::span<const TableRow> parityTable()
{
    return kParity;
}
std::span<const TableRow> stopBitsTable()
{
    return kStopBits;
}
std::span<const TableRow> flowControlTable()
{
    return kFlowControl;
}

CCommSetting scanSetting(int port)
{
    CCommSetting s;
    s.port = port;
    s.baudRate = 2400;
    s.dataBits = 8;
    s.stopBits = 0;
    s.parity = 0;
    s.flowControl = 0;
    return s;
}

std::vector<ScannedPort> scanPorts(const std::function<PortInfo(int)>& probe)
{
    std::vector<ScannedPort> found;
    for (int port = kFirstScannedPort; port <= kLastScannedPort; ++port) {
        if (!probe)
            break;
        PortInfo info = probe(port);
        if (info.presence == PortPresence::Available || info.presence == PortPresence::NoAccess)
            found.push_back({port, std::move(info)});
    }
    return found;
}

std::string portEntryText(const ScannedPort& found)
{
    std::string text = "COM" + std::to_string(found.port);
    if (!found.info.product.empty())
        text += " — " + found.info.product;
    if (!found.info.device.empty())
        text += " (" + found.info.device + ")";
    if (found.info.presence == PortPresence::NoAccess)
        text += " [アクセス権なし]";
    return text;
}

std::vector<std::string> portEntries(const std::vector<ScannedPort>& found)
{
    std::vector<std::string> entries;
    if (found.empty()) {
        for (const TableRow& row : kPorts)
            entries.emplace_back(row.text);
        return entries;
    }
    for (const ScannedPort& port : found)
        entries.push_back(portEntryText(port));
    return entries;
}

int portPosition(const std::vector<std::string>& entries, int32_t port)
{
    // The port itself when the list has it: the prefix search alone would show "COM10" for a
    // setting of 17 when both are listed, and OK would then switch the port unasked.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (startsWithNoCase(entries[i], "COM") && portFromEntry(entries[i]) == port)
            return static_cast<int>(i);
    const std::string search = kPorts[positionOf(kPorts, port)].text;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (startsWithNoCase(entries[i], search))
            return static_cast<int>(i);
    return 0;
}

int positionOf(std::span<const TableRow> table, int32_t value)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].value == value)
            return static_cast<int>(i);
    return 0;
}

int32_t valueAt(std::span<const TableRow> table, int position)
{
    if (table.empty())
        return 0;
    if (position < 0 || static_cast<std::size_t>(position) >= table.size())
        return table.front().value;
    return table[static_cast<std::size_t>(position)].value;
}

int32_t portFromEntry(const std::string& text)
{
    if (text.size() < 4)
        return 1;
    const char* first = text.data() + 3;
    const char* last = text.data() + text.size();
    while (first != last && (*first == ' ' || *first == '\t'))
        ++first;
    if (first != last && *first == '+')
        ++first;
    int32_t port = 0;
    const auto [end, ec] = std::from_chars(first, last, port);
    if (ec != std::errc() || end == first || port <= 0)
        return 1;
    return port;
}

ListPositions positionsFor(const CCommSetting& setting)
{
    ListPositions p;
    p.baudRate = positionOf(kBaudRates, setting.baudRate);
    p.dataBits = positionOf(kDataBits, setting.dataBits);
    p.parity = positionOf(kParity, setting.parity);
    p.stopBits = positionOf(kStopBits, setting.stopBits);
    p.flowControl = positionOf(kFlowControl, setting.flowControl);
    return p;
}

CCommSetting settingFrom(const std::string& portEntry, const ListPositions& positions)
{
    CCommSetting s;
    s.port = portFromEntry(portEntry);
    s.baudRate = valueAt(kBaudRates, positions.baudRate);
    s.dataBits = valueAt(kDataBits, positions.dataBits);
    s.parity = valueAt(kParity, positions.parity);
    s.stopBits = valueAt(kStopBits, positions.stopBits);
    s.flowControl = valueAt(kFlowControl, positions.flowControl);
    return s;
}

} // namespace serialsettings
