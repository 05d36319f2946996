// POSIX-only code belongs in this file.
#include "platform/WinOSVersionAPI.h"

namespace Strato {

bool WinOSVersionAPI::VerifyVersionInfoW(const OsVersionQuery&, uint32_t) {
    return false;
}

} // namespace Strato
