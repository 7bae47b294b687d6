// The customer tree: CCustomerDB (serial-link settings and customers), CCustomer, CCable.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/measdata.h"
#include "model/namedlist.h"

// The six serial-link settings saved with the data, in their file order. The codes of the
// last three are those of the serial port and the communication settings dialog.
struct CCommSetting {
    int32_t port = 1; // 1 = COM1
    int32_t baudRate = 38400;
    int32_t dataBits = 8;
    int32_t stopBits = 0;    // code
    int32_t parity = 0;      // code
    int32_t flowControl = 1; // code

    // The six values in file order, and back.
    std::array<int32_t, 6> ToArray() const;
    static CCommSetting FromArray(const std::array<int32_t, 6>& values);

    bool operator==(const CCommSetting&) const = default;
};

class CCable {
public:
    std::string name; // CP932
    CNamedList<CMeasData> sets;

    void Clear() { *this = CCable(); }
    bool operator==(const CCable&) const = default;
};

class CCustomer {
public:
    std::string name; // CP932
    CNamedList<CCable> cables;

    void Clear() { *this = CCustomer(); }
    bool operator==(const CCustomer&) const = default;
};

// The root of all measurement data. Copying it copies the whole tree deeply; the editing
// pages, the export and the import work on such copies.
class CCustomerDB {
public:
    CCommSetting comm;
    CNamedList<CCustomer> customers;

    // Number of records in the whole tree.
    std::size_t RecordCount() const;

    bool operator==(const CCustomerDB&) const = default;
};
