// Port presence from an open's error, device names from sysfs, and the no-access message.
#include "link/portinfo.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/cp932text.h"

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute file, without surrounding blanks.
std::string attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

std::string cp932Text(const std::string& utf8)
{
    return cp932::fromUtf8(utf8).value_or(utf8);
}

} // namespace

PortPresence presenceAfterOpen(bool opened, uint32_t errorCode)
{
    if (opened)
        return PortPresence::Available;
    switch (errorCode) {
    case EBUSY:
    case EWOULDBLOCK: return PortPresence::InUse;
    case EACCES:
    case EPERM: return PortPresence::NoAccess;
    default: return PortPresence::Absent;
    }
}

PortInfo describeDevice(const std::string& devicePath, const std::string& sysfsRoot)
{
    PortInfo info;
    std::error_code ec;
    fs::path resolved = fs::canonical(devicePath, ec);
    if (ec)
        resolved = devicePath;
    const std::string text = resolved.string();
    info.device = text.rfind("/dev/", 0) == 0 ? text.substr(5) : text;

    // /sys/class/tty/<name>/device leads to the driver's node; the USB device that carries the
    // maker and product strings is one to three levels above it (interface, port).
    fs::path node =
        fs::canonical(fs::path(sysfsRoot) / "class/tty" / resolved.filename() / "device", ec);
    if (ec)
        return info;
    for (int up = 0; up < 4 && !node.empty() && node != node.root_path(); ++up) {
        if (fs::exists(node / "idVendor", ec)) {
            const std::string maker = attribute(node / "manufacturer");
            const std::string product = attribute(node / "product");
            info.product = maker.empty()     ? product
                           : product.empty() ? maker
                                             : maker + " " + product;
            break;
        }
        node = node.parent_path();
    }
    return info;
}

std::string deviceGroup(const std::string& devicePath)
{
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) != 0)
        return {};
    if (const group* g = ::getgrgid(st.st_gid))
        return g->gr_name;
    return std::to_string(st.st_gid);
}

std::string noAccessText(const std::string& devicePath)
{
    std::string group = deviceGroup(devicePath);
    if (group.empty())
        group = "dialout";
    std::string user;
    if (const passwd* pw = ::getpwuid(::geteuid()))
        user = pw->pw_name;
    else
        user = std::to_string(::geteuid());
    return cp932Text(devicePath) +
           cp932::lit(" を開く権限がありません。Linux ではシリアルポートを"
                      "そのデバイスのグループ「") +
           cp932Text(group) +
           cp932::lit("」のメンバーが使えます。ユーザーをグループに加えて (sudo usermod -aG ") +
           cp932Text(group) + " " + cp932Text(user) + cp932::lit(")、ログインし直してください。");
}
