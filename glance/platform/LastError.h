// The calling thread's last error: GetLastError and SetLastError on Windows,
// a per-thread value of the same meaning on Linux.
#pragma once

#include <cstdint>

namespace Vanta {

uint32_t lastError();
void setLastError(uint32_t error);

} // namespace Vanta
