// POSIX only: the clock call behind platform/InterruptTime.h.
#include "platform/InterruptTime.h"

#include <time.h>

namespace Vanta {

// CLOCK_MONOTONIC stops while the system is suspended on Linux, as unbiased
// interrupt time does on Windows.
uint64_t unbiasedInterruptTime() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 10000000u +
           static_cast<uint64_t>(now.tv_nsec) / 100u;
}

} // namespace Vanta
