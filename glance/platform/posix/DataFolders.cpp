// POSIX-only code belongs in this file.
#include "platform/posix/DataFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace Vanta::internal {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string dataHome() {
    std::string xdg = environment("XDG_DATA_HOME");
    if (!xdg.empty()) {
        return xdg;
    }
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return home.empty() ? std::string() : home + "/.local/share";
}

} // namespace

std::string dataFolderFromEnvironment(const char* variable, const char* defaultLeaf) {
    std::string folder = environment(variable);
    if (folder.empty()) {
        const std::string home = dataHome();
        if (home.empty()) {
            return {};
        }
        folder = home + "/kestrel/" + defaultLeaf;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string programDataFolder() {
    return dataFolderFromEnvironment("KESTREL_PROGRAMDATA", "ProgramData");
}

} // namespace Vanta::internal
