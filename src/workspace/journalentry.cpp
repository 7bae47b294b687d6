#include "workspace/journalentry.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace ws {
namespace {

constexpr std::array<const char*, 4> kChangeNames{"added", "removed", "changed", "renamed"};

} // namespace

const char* ItemChangeName(ItemChange change)
{
    return kChangeNames[static_cast<std::size_t>(change)];
}

bool ParseItemChange(const std::string& text, ItemChange& change)
{
    for (std::size_t i = 0; i < kChangeNames.size(); ++i)
        if (text == kChangeNames[i]) {
            change = static_cast<ItemChange>(i);
            return true;
        }
    return false;
}

Actor CurrentActor(const std::string& workstationSetting)
{
    Actor actor;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        actor.user = pw->pw_name;
    else if (const char* user = std::getenv("USER"))
        actor.user = user;
    actor.workstation = workstationSetting;
    if (actor.workstation.empty()) {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0)
            actor.workstation = host;
    }
    return actor;
}

} // namespace ws
