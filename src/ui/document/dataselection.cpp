// Finding what a selection names in a store.
#include "ui/document/dataselection.h"

#include "model/customerdb.h"

const CMeasData* SelectedSet(const CCustomerDB& db, const DataSelection& selection)
{
    const int c = db.customers.Find(selection.customer);
    if (c < 0)
        return nullptr;
    const CCustomer& customer = db.customers.At(c);
    const int k = customer.cables.Find(selection.cable);
    if (k < 0)
        return nullptr;
    const CCable& cable = customer.cables.At(k);
    const int s = cable.sets.Find(selection.measData);
    return s < 0 ? nullptr : &cable.sets.At(s);
}

const CMeasRecord* SelectedRecord(const CCustomerDB& db, const DataSelection& selection)
{
    const CMeasData* set = SelectedSet(db, selection);
    if (!set || selection.index < 0 ||
        static_cast<std::size_t>(selection.index) >= set->RecordCount())
        return nullptr;
    return &set->RecordAt(static_cast<std::size_t>(selection.index));
}
