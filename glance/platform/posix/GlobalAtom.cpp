// POSIX-only code belongs in this file.
#include "platform/GlobalAtom.h"

#include "platform/AsciiCase.h"
#include "platform/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace Strato {
namespace {

std::string atomFolder() {
    if (const char* configured = std::getenv("KESTREL_ATOMS"); configured && *configured) {
        return configured;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::string(runtime) + "/kestrel-atoms";
    }
    return "/tmp/kestrel-atoms-" + std::to_string(::getuid());
}

// Atom names are compared ignoring case, as Windows does; a name that could
// leave the folder is no atom.
std::string atomFile(const std::wstring& name) {
    if (name.empty() || name.find_first_of(std::wstring(L"/\0", 2)) != std::wstring::npos ||
        name == L"." || name == L"..") {
        return {};
    }
    return atomFolder() + "/" + Vanta::toUtf8(Vanta::asciiUppered<wchar_t>(name));
}

} // namespace

bool GlobalAtomAPI::exists(const std::wstring& name) const {
    const std::string file = atomFile(name);
    return !file.empty() && ::access(file.c_str(), F_OK) == 0;
}

bool GlobalAtomAPI::add(const std::wstring& name) const {
    const std::string file = atomFile(name);
    if (file.empty()) {
        return false;
    }
    // Private to the user, like the session's atom table.
    ::mkdir(atomFolder().c_str(), 0700);
    const int descriptor = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return false;
    }
    ::close(descriptor);
    return true;
}

bool GlobalAtomAPI::remove(const std::wstring& name) const {
    const std::string file = atomFile(name);
    return !file.empty() && ::unlink(file.c_str()) == 0;
}

} // namespace Strato
