// Writing and reading the note lines of a reception archive.
#include "link/replaynotes.h"

namespace {

constexpr std::string_view kPrefix = "#MXRVIEW ";
constexpr std::string_view kTime = "TIME ";
constexpr std::string_view kEnd = "END ";

constexpr std::pair<ReceptionEnd, std::string_view> kEnds[] = {
    {ReceptionEnd::Complete, "COMPLETE"},
    {ReceptionEnd::Cancelled, "CANCELLED"},
    {ReceptionEnd::Failed, "FAILED"},
};

} // namespace

std::string TimeNote(const OleDateTime& time)
{
    return std::string(kPrefix) + std::string(kTime) + time.format("%Y/%m/%d %H:%M:%S");
}

std::string EndNote(ReceptionEnd end)
{
    for (const auto& [value, word] : kEnds)
        if (value == end)
            return std::string(kPrefix) + std::string(kEnd) + std::string(word);
    return std::string(kPrefix) + std::string(kEnd) + "FAILED";
}

bool IsNoteLine(std::string_view line)
{
    return line.substr(0, kPrefix.size()) == kPrefix;
}

std::optional<ReplayNote> ParseNote(std::string_view line)
{
    if (!IsNoteLine(line))
        return std::nullopt;
    line.remove_prefix(kPrefix.size());
    ReplayNote note;
    if (line.substr(0, kTime.size()) == kTime) {
        const std::optional<OleDateTime> t = OleDateTime::parse(line.substr(kTime.size()));
        if (!t)
            return std::nullopt;
        note.kind = ReplayNote::Kind::Time;
        note.time = *t;
        return note;
    }
    if (line.substr(0, kEnd.size()) == kEnd) {
        line.remove_prefix(kEnd.size());
        for (const auto& [value, word] : kEnds)
            if (line == word) {
                note.kind = ReplayNote::Kind::End;
                note.end = value;
                return note;
            }
    }
    return std::nullopt;
}
