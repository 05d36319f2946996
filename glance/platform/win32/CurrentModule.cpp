// Windows only: the Win32 calls behind platform/CurrentModule.h.
#include "platform/CurrentModule.h"

#include "platform/win32/WindowsInclude.h"

#include <vector>

namespace Vanta {

ModuleHandle currentModuleHandle() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&currentModuleHandle), &module);
    return module;
}

std::wstring currentModuleFileName() {
    const HMODULE module = static_cast<HMODULE>(currentModuleHandle());
    if (module == nullptr) {
        return {};
    }
    // Paths may exceed MAX_PATH; a full buffer means the path was cut short.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            const std::wstring path(buffer.data(), length);
            const auto backslash = path.find_last_of(L'\\');
            return backslash == std::wstring::npos ? path : path.substr(backslash + 1);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace Vanta
