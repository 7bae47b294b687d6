// The customer tree.
#include "model/customerdb.h"

std::array<int32_t, 6> CCommSetting::ToArray() const
{
    return {port, baudRate, dataBits, stopBits, parity, flowControl};
}

CCommSetting CCommSetting::FromArray(const std::array<int32_t, 6>& v)
{
    CCommSetting c;
    c.port = v[0];
    c.baudRate = v[1];
    c.dataBits = v[2];
    c.stopBits = v[3];
    c.parity = v[4];
    c.flowControl = v[5];
    return c;
}

std::size_t CCustomerDB::RecordCount() const
{
    std::size_t n = 0;
    for (int c = 0; c < customers.Count(); ++c) {
        const CCustomer& customer = customers.At(c);
        for (int k = 0; k < customer.cables.Count(); ++k) {
            const CCable& cable = customer.cables.At(k);
            for (int s = 0; s < cable.sets.Count(); ++s)
                n += cable.sets.At(s).RecordCount();
        }
    }
    return n;
}
