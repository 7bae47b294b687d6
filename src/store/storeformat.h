// The layout of the data store stream: header, communication settings, the customer tree.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/customerdb.h"
#include "store/archive.h"

namespace mxrstore {

inline constexpr std::string_view kSignature = "55FV56DF5FV-20051211-F55F6R44H4TGBDFV1VFD5";
inline constexpr int32_t kVersion = 6;    // written
inline constexpr int32_t kOldVersion = 3; // also read: no display flags

enum class HeaderResult { Ok, BadSignature, BadVersion };

// Signature and version. Throws ArchiveFailure / FileFailure when the stream ends early.
HeaderResult ReadHeader(ArchiveReader& in, int32_t& version);

// The communication settings and the customers, into db (whose customer list is empty).
// Customers read completely before a failure stay in db; the one being read is dropped.
void ReadBody(ArchiveReader& in, int32_t version, CCustomerDB& db);

// The whole stream, always as the current version.
void WriteStore(ArchiveWriter& out, const CCustomerDB& db);

// One record in the stream's record layout (current version), and back. The shared database
// keeps records in this form so that they come back byte for byte.
void WriteRecord(ArchiveWriter& out, const CMeasRecord& record);
void ReadRecord(ArchiveReader& in, CMeasRecord& record);

} // namespace mxrstore
