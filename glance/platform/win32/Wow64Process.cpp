// Windows-only code belongs in this file.
#include "platform/Wow64Process.h"

#include "platform/win32/WindowsInclude.h"

namespace Strato::internal {

bool currentProcessIsWow64() noexcept {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) {
        return false;
    }
    auto function = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return function != nullptr && function(::GetCurrentProcess(), &wow64) && wow64;
}

} // namespace Strato::internal
