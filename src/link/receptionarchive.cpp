// Writing the archive of a reception line by line, and its rotation.
#include "link/receptionarchive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "model/cp932text.h"
#include "model/safefile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kStemLength = 15; // "YYYYMMDD-HHMMSS"
constexpr int kMaxSameSecond = 99;      // "_2" ... "_99" for receptions in the same second

// "YYYYMMDD-HHMMSS" of a local time.
std::string stemFor(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// The order of an archive file name ("YYYYMMDD-HHMMSS" then "_N" for later ones in the same
// second; the plain name is the first), or nothing for any other name.
struct ArchiveName {
    std::string stem;
    int sequence = 1;
    bool operator<(const ArchiveName& o) const
    {
        return stem != o.stem ? stem < o.stem : sequence < o.sequence;
    }
};

bool parseArchiveName(const std::string& name, ArchiveName& out)
{
    if (name.size() < kStemLength + 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
        return false;
    for (std::size_t i = 0; i < kStemLength; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (i == 8 ? name[i] != '-' : !digit)
            return false;
    }
    out.stem = name.substr(0, kStemLength);
    out.sequence = 1;
    const std::string rest = name.substr(kStemLength, name.size() - 4 - kStemLength);
    if (rest.empty())
        return true;
    if (rest.size() < 2 || rest.size() > 3 || rest[0] != '_')
        return false;
    int n = 0;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return false;
        n = n * 10 + (rest[i] - '0');
    }
    out.sequence = n;
    return n >= 2;
}

std::string pathText(const std::string& path)
{
    return cp932::fromUtf8(path).value_or(path);
}

} // namespace

ArchiveLimits ArchiveLimitsFrom(int keepFiles, int keepMB)
{
    ArchiveLimits l;
    l.keepFiles = std::max(1, keepFiles);
    l.keepBytes = static_cast<uint64_t>(std::max(1, keepMB)) * 1024 * 1024;
    return l;
}

ReceptionArchive::ReceptionArchive(std::string folder, std::time_t start, FailureFn onFailure)
    : m_folder(std::move(folder)), m_start(start), m_onFailure(std::move(onFailure))
{
}

ReceptionArchive::~ReceptionArchive()
{
    close();
}

void ReceptionArchive::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void ReceptionArchive::fail(const std::string& what, int error)
{
    close();
    m_failed = true;
    m_missing = what;
    // What was written is cut short (or empty): it would replay as a reception that ended
    // early without an error, so it goes.
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    if (m_onFailure)
        m_onFailure(cp932::lit("受信データを保存できません:") + pathText(what) + " (" +
                    std::strerror(error) + ")");
}

bool ReceptionArchive::open()
{
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec) {
        fail(m_folder, ec.value());
        return false;
    }
    const std::string stem = stemFor(m_start);
    for (int seq = 1; seq <= kMaxSameSecond; ++seq) {
        const std::string name =
            seq == 1 ? stem + ".txt" : stem + "_" + std::to_string(seq) + ".txt";
        const std::string path = (fs::path(m_folder) / name).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            return true;
        }
        if (errno != EEXIST) {
            fail(path, errno);
            return false;
        }
    }
    fail((fs::path(m_folder) / (stem + ".txt")).string(), EEXIST);
    return false;
}

void ReceptionArchive::addLine(std::string_view bytes)
{
    if (m_failed || (m_fd < 0 && !open()))
        return;
    std::string line = hexText(bytes);
    line += "\r\n";
    if (!safefile::WriteAll(m_fd, line))
        fail(m_path, errno);
    else
        ++m_lines;
}

void ReceptionArchive::addNote(const std::string& note)
{
    if (m_failed || m_fd < 0)
        return;
    if (!safefile::WriteAll(m_fd, note + "\r\n"))
        fail(m_path, errno);
    else
        ++m_lines;
}

void ReceptionArchive::addRaw(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t cr = bytes.find('\r');
        if (cr == std::string_view::npos) {
            addLine(bytes);
            return;
        }
        addLine(bytes.substr(0, cr));
        bytes.remove_prefix(cr + 1);
    }
}

int PruneReceptionArchive(const std::string& folder, const ArchiveLimits& limits,
                          const std::string& keep)
{
    struct Entry {
        ArchiveName name;
        fs::path path;
        uint64_t size = 0;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    uint64_t keptBytes = 0;
    int keptFiles = 0;
    std::error_code keepEc;
    const fs::path keepPath = keep.empty() ? fs::path() : fs::weakly_canonical(keep, keepEc);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        Entry e;
        if (!parseArchiveName(it->path().filename().string(), e.name))
            continue;
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc))
            continue;
        e.path = it->path();
        e.size = it->file_size(fileEc);
        std::error_code sameEc;
        if (!keep.empty() && fs::weakly_canonical(e.path, sameEc) == keepPath) {
            ++keptFiles; // the running reception's file counts first and stays
            keptBytes += e.size;
            continue;
        }
        entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return b.name < a.name; }); // newest first
    const int maxFiles = std::max(1, limits.keepFiles);
    int removed = 0;
    bool full = false;
    for (const Entry& e : entries) {
        full = full || keptFiles + 1 > maxFiles || keptBytes + e.size > limits.keepBytes;
        if (!full) {
            ++keptFiles;
            keptBytes += e.size;
            continue;
        }
        std::error_code rmEc;
        if (fs::remove(e.path, rmEc))
            ++removed;
    }
    return removed;
}
