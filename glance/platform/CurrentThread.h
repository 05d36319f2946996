// The calling thread's id as the system numbers threads: GetCurrentThreadId
// on Windows, gettid on Linux.
#pragma once

#include <cstdint>

namespace Vanta {

uint32_t currentThreadId() noexcept;

} // namespace Vanta
