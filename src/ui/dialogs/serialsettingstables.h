// The six lists of the communication settings dialog: their fixed tables, the port scan, the
// selection of the current values and the reading back of the chosen entries. Pure functions
// (no widgets), so every rule is tested without a dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/portinfo.h"
#include "model/customerdb.h" // CCommSetting

namespace serialsettings {

// One entry of a fixed list: its text (UTF-8) and the value it stands for. A row's list
// position is its index in the table.
struct TableRow {
    const char* text;
    int32_t value;
};

// The fixed port list "COM1" to "COM15": offered when the scan finds no port, and used to
// look up the setting that selects a port entry.
std::span<const TableRow> portTable();
std::span<const TableRow> baudRateTable();    // "110" ... "256000"
std::span<const TableRow> dataBitsTable();    // "4" ... "8"
std::span<const TableRow> parityTable();      // "なし", "奇数", "偶数", "マーク"
std::span<const TableRow> stopBitsTable();    // "1", "1.5", "2"
std::span<const TableRow> flowControlTable(); // "なし", "ハードウェア", "Xon/Xoff"

// The port numbers the scan tries, in this order.
inline constexpr int kFirstScannedPort = 1;
inline constexpr int kLastScannedPort = 20;

// The line settings the scan opens each port with: 2400 baud, 8 data bits, stop bits code 0,
// parity code 0, no flow control.
CCommSetting scanSetting(int port);

// A port the scan found, with what it found out about the device.
struct ScannedPort {
    int port = 0;
    PortInfo info;
};

// Every port number from 1 to 20, in ascending order, that probe finds present: openable, or
// there but not accessible to this user. Ports in use by another program and absent ones are
// not offered.
std::vector<ScannedPort> scanPorts(const std::function<PortInfo(int port)>& probe);

// The list entry of a found port (UTF-8): "COM%d", then the maker and product after a dash
// and the device in brackets ("COM5 — Maker A USB Serial Adapter (ttyUSB0)", "COM3 (pts/3)"), and
// " [アクセス権なし]" for a port this user may not open.
std::string portEntryText(const ScannedPort& found);

// The entries of the port list: one per found port, or the fixed list "COM1" to "COM15" when
// none was found.
std::vector<std::string> portEntries(const std::vector<ScannedPort>& found);

// The list position that shows the port setting: the entry for the port when the list has it;
// otherwise the first entry that begins, ignoring case, with the setting's row of the fixed
// table ("COM1" for a setting outside it), so "COM1" also finds "COM10" or "COM17"; position 0
// when nothing matches.
int portPosition(const std::vector<std::string>& entries, int32_t port);

// The position of the row whose value is value; 0 when no row has it.
int positionOf(std::span<const TableRow> table, int32_t value);

// The value of the row at position; the first row's value when position is outside the table.
int32_t valueAt(std::span<const TableRow> table, int position);

// The port number of a port entry: 1 for texts shorter than 4 characters, otherwise the
// decimal number that follows the first three characters ("COM17" gives 17). Entries without
// a number there give 1 as well, so the setting never becomes port 0.
int32_t portFromEntry(const std::string& text);

// The positions selected in the five fixed lists, in the dialog's order.
struct ListPositions {
    int baudRate = 0;
    int dataBits = 0;
    int parity = 0;
    int stopBits = 0;
    int flowControl = 0;
};

// The positions that show the setting's values (port excluded).
ListPositions positionsFor(const CCommSetting& setting);

// The setting read back from the selected port entry and the five positions.
CCommSetting settingFrom(const std::string& portEntry, const ListPositions& positions);

} // namespace serialsettings
