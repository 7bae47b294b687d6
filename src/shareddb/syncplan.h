// What a sync decides record by record: which side holds the newer state, from what both
// sides hold now and what they held after the last sync. The server side is read as one
// snapshot with a digest of its records, so "nothing to do" is proven, not remembered.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "model/customerdb.h"
#include "model/oledate.h"
#include "shareddb/pgconnection.h"
#include "shareddb/syncstate.h"

namespace shareddb {

enum class RecordAction { InStep, Push, Pull };

struct RecordDecision {
    RecordAction action = RecordAction::InStep;
    bool conflict = false; // Push over a revision this workstation has not seen
};

struct ServerRecordState {
    int32_t revision = 0;
    uint64_t hash = 0;
};

// localHash/server null: the side lacks the record; base null: never synchronised here.
// A record one side lacks goes to it (deletions never travel). A difference is a change here
// when the local record differs from its base, a change elsewhere when the server's differs
// from its base; a server revision below the base is a database restored from an older copy,
// which gets the local record back.
RecordDecision DecideRecord(const uint64_t* localHash, const ServerRecordState* server,
                            const SyncedRecord* base);

// Where a data set sits in the local tree.
struct SetPlace {
    int customer = 0, cable = 0, set = 0;
};

// Calls fn(place, customer, cable, set) for every data set of the tree, in tree order: the
// walk both directions of a sync make over the local records.
template <class Fn> void ForEachSet(const CCustomerDB& db, Fn&& fn)
{
    for (int c = 0; c < db.customers.Count(); ++c) {
        const CCustomer& cu = db.customers.At(c);
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            for (int s = 0; s < ca.sets.Count(); ++s)
                fn(SetPlace{c, k, s}, cu, ca, ca.sets.At(s));
        }
    }
}

// A record of the server as the snapshot lists it (no body).
struct ServerRecord {
    int64_t id = 0;
    int64_t setId = 0;
    ServerRecordState state;
    int32_t dataNo = 0;
    double testVoltage = 0;
    OleDateTime startTime;
};

struct ServerSetNames {
    std::string customer, cable, set; // CP932, as the server keeps them
    int32_t showSeikyoku = 1, showJyakuten = 1;
};

struct ServerIndex {
    std::unordered_map<std::string, ServerRecord> records; // by RecordPathKey
    std::map<int64_t, ServerSetNames> sets;                // by the server's set id
    std::string digest;                                    // ServerDigest of the same snapshot
};

// Every record's place and state, and the digest, from one snapshot.
ServerIndex ReadServerIndex(PgConnection& c);

// A digest of every committed record's id, revision and state: it changes with any record
// added, changed or removed, whenever and in whatever order the writers committed, and with a
// database restored from an older copy.
std::string ServerDigest(PgConnection& c);

} // namespace shareddb
