// Fuzz target for the INI reader and writer: any bytes read without harm, and a written value
// reads back as written.
// links: mxr_settings
#include "settings/inifile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // tmpfs when there is one: every write is flushed to disk.
    static const std::string path =
        std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/mxr_fuzz_ini_" +
        std::to_string(::getpid()) + ".ini";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    CIniFile ini(path);
    ini.GetString("Param", "DataFile", "d", false);
    ini.GetInt("check", "RunningNum", 15685, false);
    ini.GetDouble("title", "Cable1WidRate", 6, false);
    // Section and key taken from the input, so the fuzzer can reach existing lines.
    const std::string section(reinterpret_cast<const char*>(data), size < 4 ? size : 4);
    const std::string key =
        size > 8 ? std::string(reinterpret_cast<const char*>(data) + 4, 4) : "K";
    const bool plain = section.find_first_of("[]=;\r\n \t\"'") == std::string::npos &&
                       key.find_first_of("[]=;\r\n \t\"'") == std::string::npos && !key.empty();
    if (ini.SetString(section, key, "value") && plain) {
        const auto back = ini.Find(section, key);
        if (!back || *back != "value")
            std::abort();
    }
    ::unlink(path.c_str());
    return 0;
}
