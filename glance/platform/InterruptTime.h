// The monotonic interrupt-time clock: it never goes back and does not advance
// while the machine sleeps, so deadlines measured on it survive clock changes.
#pragma once

#include <cstdint>

namespace Vanta {

// Interrupt time in 100-nanosecond units since an arbitrary fixed start.
uint64_t unbiasedInterruptTime() noexcept;

// The same clock in milliseconds.
inline int64_t interruptTimeMilliseconds() noexcept {
    return static_cast<int64_t>(unbiasedInterruptTime() / 10000);
}

} // namespace Vanta
