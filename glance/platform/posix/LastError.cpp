// POSIX-only code belongs in this file.
#include "platform/LastError.h"

namespace Vanta {
namespace {
thread_local uint32_t threadLastError = 0;
} // namespace

uint32_t lastError() {
    return threadLastError;
}

void setLastError(uint32_t error) {
    threadLastError = error;
}

} // namespace Vanta
