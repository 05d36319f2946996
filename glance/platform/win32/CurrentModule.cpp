// Windows only: the Win32 calls behind platform/CurrentModule.h.
#include "platform/CurrentModule.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

ModuleHandle currentModuleHandle() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&currentModuleHandle), &module);
    return module;
}

} // namespace Vanta
