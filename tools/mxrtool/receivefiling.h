// receive --register: what a reception received, filed into a set of the application folder's
// store as the transfer sheet files it, saved, backed up and journaled, with each record's link
// to its archived lines.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "link/receivedrecord.h"
#include "link/receptionworker.h"

// The set to file into (CP932 names); missing levels are made.
struct FilingTarget {
    std::string customer, cable, set;
};

struct FilingResult {
    bool ok = false;
    int records = 0;      // records filed
    int linked = 0;       // of them, with their link to the archive
    bool setMade = false; // the set did not exist before
    std::string storePath;
};

// Files records into the target. Messages go to standard error; false when nothing was filed
// (no application folder, MXRView running on it, a name that cannot be used, a store that
// cannot be read or written).
bool FileReceived(const ToolContext& ctx, const FilingTarget& target,
                  const std::vector<ReceivedRecord>& records, const std::vector<ArchiveSpan>& spans,
                  const std::string& archivePath, FilingResult& result);
