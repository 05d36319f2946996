// Windows-only code belongs in this file.
#include "platform/LocalClock.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

LocalTime localTimeNow() noexcept {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace Vanta
