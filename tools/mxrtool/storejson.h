// The JSON form of the customer tree (mxrtool store dump / from-json).
#pragma once

#include <QByteArray>

#include <string>

#include "jsonout.h"
#include "model/customerdb.h"

// The dump document: version, comm, customers with cables, sets and records, each record with
// the display texts of every screen. UTF-8; texts of the store are converted from CP932.
// Numbers read back as the same double; non-finite numbers are written as the strings "NaN",
// "Infinity" and "-Infinity", which StoreFromJson reads back.
std::string StoreToJson(const CCustomerDB& db, int version);

// Builds a tree from a document of the dump schema: missing members take the values of a new
// object, points become float64 values, "Texts" and "version" are ignored, records keep the
// order given, an entry whose name equals an earlier one replaces it (as when a store is
// read). False with a message (UTF-8) naming the place when the document does not fit.
bool StoreFromJson(const QByteArray& json, CCustomerDB& db, std::string& error);

// One record's members as the dump writes them, into an open Wrapped object. Used by decode and
// receive.
void WriteRecordMembers(JsonOut::Scope&& o, const CMeasRecord& r);
