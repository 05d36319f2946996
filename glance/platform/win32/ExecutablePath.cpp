// Windows-only code belongs in this file.
#include "platform/ExecutablePath.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

std::wstring executablePath() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    // A full buffer means the path was cut short.
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

} // namespace Vanta
