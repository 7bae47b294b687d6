// Reading a record's archived lines and decoding them alone.
#include "link/archivespan.h"

#include <atomic>
#include <fstream>
#include <vector>

#include <sys/stat.h>

#include "link/replaysource.h"
#include "link/transferdecoder.h"
#include "model/cp932text.h"
#include "model/cxexception.h"

SpanRead ReadArchiveLines(const std::string& path, int first, int count, std::string& text)
{
    text.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return SpanRead::Missing;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return SpanRead::Missing;
    if (first < 1 || count < 1)
        return SpanRead::Short;
    std::string line;
    for (int n = 1; n < first + count; ++n) {
        if (!std::getline(in, line))
            return SpanRead::Short;
        // A last line without its line end is cut short: the archive writes each line whole.
        if (in.eof())
            return SpanRead::Short;
        if (n >= first) {
            text += line;
            text += '\n';
        }
    }
    return SpanRead::Ok;
}

std::optional<ReceivedRecord> DecodeArchivedRecord(const std::string& text, int triggValidSec,
                                                   std::string* error)
{
    const auto fail = [error](const std::string& why) -> std::optional<ReceivedRecord> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    ReplaySource source;
    source.attachText(text);
    std::vector<ReceivedRecord> records;
    const std::atomic<bool> showData{false};
    CTransferDecoder decoder(
        source, records, [](const std::string&) {}, showData, triggValidSec);
    decoder.setWarningHandler([](const std::string&) {});
    try {
        // A record's lines end the run once they are used up (the replay's end after a
        // complete record); the bound only guards against a source that never ends.
        const std::size_t limit = text.size() + 16;
        std::size_t passes = 0;
        while (decoder.pass())
            if (++passes > limit)
                return fail(cp932::lit("受信データ異常"));
    } catch (const CxException& e) {
        return fail(e.HasMessage() ? e.Message() : cp932::lit("受信データ異常"));
    }
    if (decoder.recordedEnd() != ReceptionEnd::Complete || records.size() != 1)
        return fail(cp932::lit("受信データ異常"));
    return records.front();
}
