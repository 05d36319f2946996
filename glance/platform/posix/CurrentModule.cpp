// POSIX only: the dynamic-linker calls behind platform/CurrentModule.h.
#include "platform/CurrentModule.h"

#include <dlfcn.h>

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

} // namespace Vanta
