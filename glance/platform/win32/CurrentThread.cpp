// Windows-only code belongs in this file.
#include "platform/CurrentThread.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

uint32_t currentThreadId() noexcept {
    return ::GetCurrentThreadId();
}

} // namespace Vanta
