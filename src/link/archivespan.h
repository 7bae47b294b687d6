// The lines of one record in a reception's archive: reading them back and decoding them alone,
// as a replay of just that record. This is how a stored record is checked against what the
// tester sent.
#pragma once

#include <optional>
#include <string>

#include "link/receivedrecord.h"

enum class SpanRead {
    Ok,
    Missing, // the archive file is not there (or is no regular file)
    Short,   // the file ends before the last line of the span
};

// Lines first .. first+count-1 (counting from 1) of the archive at path, each with its line
// end as written (CR LF), into text.
SpanRead ReadArchiveLines(const std::string& path, int first, int count, std::string& text);

// Decodes the lines of one record with the reception's decoder (the replay path). Nothing,
// with the reason in error (CP932, the decoder's own message where it gave one), unless the
// lines give exactly one complete record.
std::optional<ReceivedRecord> DecodeArchivedRecord(const std::string& text, int triggValidSec,
                                                   std::string* error = nullptr);
