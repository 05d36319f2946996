// Windows-only code belongs in this file.
#include "platform/SystemMessage.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

std::wstring systemMessageText(uint32_t errorCode) {
    // The logging code quotes at most 1024 characters of a system text.
    constexpr DWORD kCapacity = 1024;
    wchar_t buffer[kCapacity];
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, kCapacity, nullptr);
    // A failed lookup (unknown code, text too long) answers 0: empty text.
    return std::wstring(buffer, length);
}

} // namespace Vanta
