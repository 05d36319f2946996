// POSIX-only code belongs in this file.
#include "platform/Wow64Process.h"

namespace Strato::internal {

bool currentProcessIsWow64() noexcept {
    return false;
}

} // namespace Strato::internal
