// Small file helpers shared by the settings, demo and process tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

namespace testfile {

inline std::string readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeAll(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// The inode number, 0 when the file is missing: a changed inode means the file was replaced.
inline ino_t inode(const std::filesystem::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace testfile
