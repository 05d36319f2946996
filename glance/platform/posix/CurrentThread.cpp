// POSIX-only code belongs in this file.
#include "platform/CurrentThread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace Vanta {

uint32_t currentThreadId() noexcept {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

} // namespace Vanta
