// CIniFile: parsing, look-up and rewriting of INI lines, and the atomic file write.
#include "settings/inifile.h"

#include "model/cp932text.h"
#include "model/number.h"
#include "model/safefile.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kStringBuffer = 5000; // GetString's buffer, terminator included
constexpr std::size_t kDoubleBuffer = 50;   // GetDouble's buffer, terminator included

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The name of a section header line ("[name]"), or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.find(']');
    return trim(line.substr(0, close));
}

// Splits a key line into key and value; nothing for comments and lines without '='.
bool splitKeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';')
        return false;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

// The value as the profile functions return it: one pair of matching quotes removed.
std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string withoutLineBreaks(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// GetPrivateProfileInt's reading of a value: sign and leading decimal digits, 32-bit.
int leadingInteger(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    uint32_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        v = v * 10u + static_cast<uint32_t>(s[i++] - '0');
    return static_cast<int>(negative ? 0u - v : v);
}

bool readFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

} // namespace

bool iniNamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (cp932::isLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character: both bytes compare exactly.
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes)
{
    // INI files are not locked against other copies (the private-profile functions never were);
    // the replacement itself is atomic.
    // A failed write (a full disk) is a false result, never an exception: callers run in
    // event handlers and on the exit path, where nothing would catch it.
    try {
        const safefile::ReplaceOutcome r =
            safefile::ReplaceFile(path, {0, 0}, true, [bytes](int fd) {
                if (!safefile::WriteAll(fd, bytes))
                    throw std::system_error(errno, std::generic_category());
            });
        return r.status == safefile::ReplaceStatus::Ok;
    } catch (const std::exception&) {
        return false;
    }
}

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

void CIniFile::SetPath(std::string path)
{
    m_path = std::move(path);
    m_loaded = false;
    m_dirty = false;
}

void CIniFile::load()
{
    if (m_loaded && m_batchDepth > 0)
        return;
    m_lines.clear();
    m_diskBytes.clear();
    m_dirty = false;
    m_loaded = true;
    if (!readFile(m_path, m_diskBytes))
        return;
    // Lines end in CR LF, LF or a lone CR (as old editors of another platform wrote them);
    // each line keeps its own end so that an untouched line is written back as it was.
    std::string_view rest = m_diskBytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\r\n");
        Line line;
        if (end == std::string_view::npos) {
            line.text = std::string(rest);
            rest = {};
        } else {
            line.text = std::string(rest.substr(0, end));
            std::size_t eolSize = 1;
            if (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n')
                eolSize = 2;
            line.eol = std::string(rest.substr(end, eolSize));
            rest.remove_prefix(end + eolSize);
        }
        m_lines.push_back(std::move(line));
    }
}

std::string CIniFile::serialize() const
{
    std::string out;
    out.reserve(m_diskBytes.size() + 64);
    for (const Line& l : m_lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

bool CIniFile::flush()
{
    if (!m_dirty)
        return true;
    m_dirty = false;
    std::string bytes = serialize();
    if (bytes == m_diskBytes)
        return true;
    if (!writeFileAtomically(m_path, bytes))
        return false;
    m_diskBytes = std::move(bytes);
    return true;
}

CIniFile::Location CIniFile::locate(std::string_view section, std::string_view key) const
{
    Location loc;
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (auto name = sectionName(m_lines[i].text)) {
            if (loc.sectionLine >= 0)
                break; // only the first section of that name is used
            inSection = iniNamesEqual(*name, section);
            if (inSection)
                loc.sectionLine = static_cast<std::ptrdiff_t>(i);
            continue;
        }
        std::string_view k, v;
        if (inSection && splitKeyLine(m_lines[i].text, k, v)) {
            loc.lastKeyLine = static_cast<std::ptrdiff_t>(i);
            if (loc.keyLine < 0 && iniNamesEqual(k, key))
                loc.keyLine = static_cast<std::ptrdiff_t>(i);
        }
    }
    return loc;
}

std::optional<std::string> CIniFile::Find(std::string_view section, std::string_view key)
{
    load();
    const Location loc = locate(section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    std::string_view k, v;
    splitKeyLine(m_lines[static_cast<std::size_t>(loc.keyLine)].text, k, v);
    return std::string(unquote(v));
}

int CIniFile::GetInt(std::string_view section, std::string_view key, int def, bool writeBack)
{
    const auto text = Find(section, key);
    const int value = (!text || text->empty()) ? def : leadingInteger(*text);
    if (writeBack && value == def)
        SetInt(section, key, def);
    return value;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                const std::string& def, bool writeBack)
{
    const auto text = Find(section, key);
    std::string value = text ? cp932::cutToBytes(*text, kStringBuffer - 1) : def;
    if (writeBack && value == def)
        SetString(section, key, def);
    return value;
}

double CIniFile::GetDouble(std::string_view section, std::string_view key, double def,
                           bool writeBack)
{
    const std::string defText = formatC("%lf", def);
    const auto text = Find(section, key);
    const double value = mxrAtof(text ? cp932::cutToBytes(*text, kDoubleBuffer - 1) : defText);
    if (writeBack && value == def)
        SetString(section, key, defText);
    return value;
}

bool CIniFile::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    load();
    const std::string cleanKey = withoutLineBreaks(trim(key));
    const std::string cleanValue = withoutLineBreaks(value);
    const Location loc = locate(section, cleanKey);
    if (loc.keyLine >= 0) {
        Line& line = m_lines[static_cast<std::size_t>(loc.keyLine)];
        std::string_view k, v;
        splitKeyLine(line.text, k, v);
        line.text = std::string(k) + "=" + cleanValue; // the key keeps its spelling
    } else {
        std::size_t at = m_lines.size();
        if (loc.sectionLine >= 0)
            at =
                static_cast<std::size_t>(loc.lastKeyLine >= 0 ? loc.lastKeyLine : loc.sectionLine) +
                1;
        if (at > 0 && m_lines[at - 1].eol.empty())
            m_lines[at - 1].eol = "\r\n";
        std::vector<Line> added;
        if (loc.sectionLine < 0)
            added.push_back({"[" + withoutLineBreaks(section) + "]", "\r\n"});
        added.push_back({cleanKey + "=" + cleanValue, "\r\n"});
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(),
                       added.end());
    }
    m_dirty = true;
    return m_batchDepth > 0 ? true : flush();
}

bool CIniFile::SetInt(std::string_view section, std::string_view key, long value)
{
    return SetString(section, key, formatC("%ld", value));
}

void CIniFile::BeginBatch()
{
    if (m_batchDepth++ == 0) {
        m_loaded = false;
        load();
    }
}

bool CIniFile::EndBatch()
{
    if (m_batchDepth == 0)
        return true;
    if (--m_batchDepth > 0)
        return true;
    const bool ok = flush();
    m_loaded = false;
    return ok;
}
