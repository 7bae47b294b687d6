// CIniFile: INI files with the semantics of the Windows private-profile functions, written
// atomically.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One INI file. Sections and keys are CP932 byte strings compared without ASCII letter case
// (the second byte of a double-byte character is never folded); values are CP932 bytes as
// stored. Every line that is not the value being written (comments, blank lines, unknown
// sections, lines without '=') is kept byte for byte, and new lines end in CR LF.
//
// Outside a batch every call reads the file afresh and every change is written at once. Inside
// a batch (BeginBatch/EndBatch, or the Batch guard) the file is read once and all changes are
// written in one step when the outermost batch ends. A write that would leave the bytes of the
// file as they are does not touch the file. Writes go to a temporary file in the same folder,
// which is flushed to disk and renamed over the old file. Like the functions it stands for,
// nothing here fails visibly: an unreadable file reads as empty and a failed write is dropped
// (the Set functions and EndBatch report it for callers that care).
class CIniFile {
public:
    explicit CIniFile(std::string path = {});

    void SetPath(std::string path);
    const std::string& Path() const { return m_path; }

    // The integer of the value: optional white space and sign, then leading decimal digits;
    // 0 for text without digits; the default when the key is missing or its value empty.
    // With writeBack, a result equal to the default is written as "%ld".
    int GetInt(std::string_view section, std::string_view key, int def, bool writeBack);
    // The value (at most 4999 bytes, surrounding white space and one pair of matching quotes
    // removed); the default when the key is missing. With writeBack, a result equal to the
    // default is written back.
    std::string GetString(std::string_view section, std::string_view key, const std::string& def,
                          bool writeBack);
    // atof of the value (at most 49 bytes) read with the "%lf" text of the default as its
    // default. With writeBack, a number equal to the default is written as that "%lf" text.
    double GetDouble(std::string_view section, std::string_view key, double def, bool writeBack);
    // The value as GetString reads it, nothing when the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key);

    // Writes "key=value" into the section, creating the file, the section or the key as
    // needed. Line breaks in the value are stored as spaces so they cannot split the line.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    bool SetInt(std::string_view section, std::string_view key, long value);

    void BeginBatch();
    // Ends a batch; the outermost end writes the pending changes. False when that write failed.
    bool EndBatch();

    // Holds a batch for its lifetime.
    class Batch {
    public:
        explicit Batch(CIniFile& file) : m_file(file) { m_file.BeginBatch(); }
        ~Batch() { m_file.EndBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        CIniFile& m_file;
    };

private:
    struct Line {
        std::string text; // without its line end
        std::string eol;  // "\r\n", "\n", "\r" or "" (last line without a line end)
    };
    struct Location {
        std::ptrdiff_t sectionLine = -1; // the section header, -1 when the section is missing
        std::ptrdiff_t keyLine = -1;     // the key's line, -1 when the key is missing
        std::ptrdiff_t lastKeyLine = -1; // the section's last key line (insertion point)
    };

    void load();
    bool flush();
    Location locate(std::string_view section, std::string_view key) const;
    std::string serialize() const;

    std::string m_path;
    std::vector<Line> m_lines; // the file as last read, with the changes not yet written
    std::string m_diskBytes;   // the bytes of the file as last read or written
    bool m_loaded = false;     // m_lines holds the file (always true inside a batch)
    bool m_dirty = false;      // changes not yet written
    int m_batchDepth = 0;
};

// Compares two CP932 names without ASCII letter case, as the profile functions compare
// section and key names.
bool iniNamesEqual(std::string_view a, std::string_view b);

// Writes bytes to path through a temporary file in the same folder (flushed to disk, then
// renamed over the old file). The old file's permissions are kept. False on failure, in which
// case the old file is untouched and no temporary file is left.
bool writeFileAtomically(const std::string& path, std::string_view bytes);
