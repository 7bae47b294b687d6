// The application folder rules and the look-ups of the real environment behind them.
#include "settings/appfolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ResolveAppFolder(const AppFolderInputs& in)
{
    if (!in.homeOption.empty())
        return in.homeOption;
    if (in.envHome && !in.envHome->empty())
        return *in.envHome;
    if (in.exeDirPortable && !in.exeDir.empty())
        return in.exeDir;
    std::string home = in.userHome;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return (home == "/" ? std::string() : home) + "/.local/share/MXRView";
}

bool HasPortableMarker(const std::string& dir)
{
    const std::string marker = dir + "/portable";
    struct stat st {};
    return ::stat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(marker.c_str(), W_OK) == 0;
}

std::string ExecutablePath()
{
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string ExecutableDir()
{
    const std::string exe = ExecutablePath();
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::optional<std::string> ApplicationFolder(const std::string& homeOption, bool create)
{
    AppFolderInputs in;
    in.homeOption = homeOption;
    if (const char* env = std::getenv("MXRVIEW_HOME"))
        in.envHome = env;
    in.exeDir = ExecutableDir();
    in.exeDirPortable = HasPortableMarker(in.exeDir);
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0')
        in.userHome = h;
    else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        in.userHome = pw->pw_dir;
    else
        in.userHome = "/";

    std::error_code ec;
    fs::path folder = fs::absolute(ResolveAppFolder(in), ec);
    if (ec)
        folder = ResolveAppFolder(in);
    folder = folder.lexically_normal();
    std::string text = folder.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    if (create) {
        fs::create_directories(text, ec);
        if (!fs::is_directory(text, ec))
            return std::nullopt;
    }
    return text;
}
