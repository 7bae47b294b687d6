// Notes in a reception's archive: text lines beside the hex lines that say what the hex cannot
// (the time a record with an unreadable date was given, how the reception ended). A note line
// starts with "#MXRVIEW " and is long enough to never pass for a block: a reader that does not
// know notes ignores one between a record's end and its marker (as any trailer line) and fails
// on one anywhere else with "受信データ異常", never taking it for data.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/oledate.h"

enum class ReceptionEnd { Complete, Cancelled, Failed };

struct ReplayNote {
    enum class Kind { Time, End };
    Kind kind = Kind::End;
    OleDateTime time;                       // Time: the StartTime the record was given
    ReceptionEnd end = ReceptionEnd::Complete; // End: how the reception ended
};

// "#MXRVIEW TIME YYYY/MM/DD HH:MM:SS": written after the end line of a record whose date block
// could not be read, with the time the reception gave it.
std::string TimeNote(const OleDateTime& time);
// "#MXRVIEW END COMPLETE|CANCELLED|FAILED": the last line of the archive.
std::string EndNote(ReceptionEnd end);

// True for a line (blanks around it already removed) in the form of a note.
bool IsNoteLine(std::string_view line);
// The note a line holds; nothing for a note of an unknown kind (a later version's) or any
// other line.
std::optional<ReplayNote> ParseNote(std::string_view line);
