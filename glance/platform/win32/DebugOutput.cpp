// Windows only: the Win32 calls behind platform/DebugOutput.h.
#include "platform/DebugOutput.h"

#include "platform/win32/WindowsInclude.h"

#include <string>

namespace Vanta {

void writeDebugOutput(std::wstring_view text) noexcept {
    try {
        ::OutputDebugStringW(std::wstring(text).c_str());
    } catch (...) {
        // Diagnostics must never fail their caller.
    }
}

} // namespace Vanta
