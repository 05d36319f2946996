// POSIX only: the dynamic-linker calls behind platform/CurrentModule.h.
#include "platform/CurrentModule.h"

#include "platform/TextCodec.h"

#include <dlfcn.h>

#include <string_view>

namespace Vanta {

// The load address of the object containing this code: dladdr resolves any
// address inside it back to the object, as GetModuleHandleEx does on Windows.
ModuleHandle currentModuleHandle() noexcept {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&currentModuleHandle), &info) == 0) {
        return nullptr;
    }
    return info.dli_fbase;
}

std::wstring currentModuleFileName() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&currentModuleHandle), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    std::string_view path(info.dli_fname);
    const auto slash = path.find_last_of('/');
    if (slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    return fromUtf8(path);
}

} // namespace Vanta
