// Helpers of the sync tests: a place in a tree and a tree's records in comparable form.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "shareddb/recordcodec.h"

namespace synctest {

inline CMeasData& setOf(CCustomerDB& db, const std::string& cu, const std::string& ca,
                        const std::string& set)
{
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(cu));
    CCable& k = c.cables.At(c.cables.FindOrInsert(ca));
    return k.sets.At(k.sets.FindOrInsert(set));
}

// Every record with the folded names of its place, sorted: stores that spell a name in other
// ASCII case still hold the same contents.
inline std::vector<std::string> contents(const CCustomerDB& db)
{
    std::vector<std::string> all;
    for (int c = 0; c < db.customers.Count(); ++c)
        for (int k = 0; k < db.customers.At(c).cables.Count(); ++k)
            for (int s = 0; s < db.customers.At(c).cables.At(k).sets.Count(); ++s) {
                const CMeasData& set = db.customers.At(c).cables.At(k).sets.At(s);
                for (const CMeasRecord& r : set.Records())
                    all.push_back(shareddb::NameKey(db.customers.At(c).name) + "/" +
                                  shareddb::NameKey(db.customers.At(c).cables.At(k).name) + "/" +
                                  shareddb::NameKey(set.name) + "/" + shareddb::EncodeRecord(r));
            }
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace synctest
