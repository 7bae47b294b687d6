// Helpers of the sync tests: a workstation's folder, a place in a tree and a tree's records
// in comparable form.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/customerdb.h"
#include "store/recordcodec.h"
#include "samplerecords.h"
#include "shareddb/sync.h"

namespace synctest {

inline CMeasData& setOf(CCustomerDB& db, const std::string& cu, const std::string& ca,
                        const std::string& set)
{
    return sample::setAt(db, cu, ca, set);
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
                    all.push_back(recordcodec::NameKey(db.customers.At(c).name) + "/" +
                                  recordcodec::NameKey(db.customers.At(c).cables.At(k).name) + "/" +
                                  recordcodec::NameKey(set.name) + "/" + recordcodec::EncodeRecord(r));
            }
    std::sort(all.begin(), all.end());
    return all;
}

// A workstation's folder `name` under `root` (its DATA folder made), syncing with `params`.
inline shareddb::SyncTarget folder(const std::vector<std::pair<std::string, std::string>>& params,
                                   const std::filesystem::path& root, const std::string& name)
{
    shareddb::SyncTarget t;
    t.db.params = params;
    const std::filesystem::path dir = root / name;
    std::filesystem::create_directories(dir / "DATA");
    t.storePath = (dir / "DATA" / "MXR.DAT").string();
    t.statePath = (dir / shareddb::kStateFileName).string();
    t.workstation = name;
    return t;
}

} // namespace synctest
