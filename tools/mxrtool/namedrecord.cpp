#include "namedrecord.h"

#include <QFile>

#include <optional>
#include <string>

#include "model/cp932text.h"
#include "store/store.h"
#include "toolmessages.h"

namespace {

// A name as the store holds it; a name without a CP932 form matches nothing.
template <class List>
int findName(const List& list, const QString& name)
{
    const std::optional<std::string> stored = cp932::fromUtf8(name.toStdString());
    return stored ? list.Find(*stored) : -1;
}

} // namespace

int LoadNamedRecord(const RecordNames& names, CCustomerDB& db, NamedRecord& found)
{
    const StoreOutcome loaded = LoadStore(db, QFile::encodeName(names.store).toStdString());
    if (!loaded.ok)
        return ProgramFailure(ToolMsg::StoreNotRead, {names.store}, loaded.message);
    const int c = findName(db.customers, names.customer);
    if (c < 0)
        return ToolFailure(ToolMsg::NoCustomer, {names.customer});
    found.customer = &db.customers.At(c);
    const int k = findName(found.customer->cables, names.cable);
    if (k < 0)
        return ToolFailure(ToolMsg::NoCable, {names.cable});
    found.cable = &found.customer->cables.At(k);
    if (names.set.isEmpty())
        return 0;
    const int s = findName(found.cable->sets, names.set);
    if (s < 0)
        return ToolFailure(ToolMsg::NoSet, {names.set});
    found.set = &found.cable->sets.At(s);
    if (names.index < 0)
        return 0;
    if (static_cast<std::size_t>(names.index) >= found.set->RecordCount())
        return ToolFailure(ToolMsg::NoIndex, {QString::number(found.set->RecordCount()),
                                              QString::number(names.index)});
    found.record = &found.set->RecordAt(static_cast<std::size_t>(names.index));
    return 0;
}
