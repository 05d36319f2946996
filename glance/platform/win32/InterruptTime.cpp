// Windows only: the Win32 call behind platform/InterruptTime.h.
#include "platform/InterruptTime.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

uint64_t unbiasedInterruptTime() noexcept {
    ULONGLONG ticks = 0;
    ::QueryUnbiasedInterruptTime(&ticks);
    return ticks;
}

} // namespace Vanta
