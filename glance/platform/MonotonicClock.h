// A clock for deadlines: the monotonic interrupt-time clock by default, any
// other clock (one that tests set by hand, say) through a derived class.
#pragma once

#include "platform/InterruptTime.h"

#include <cstdint>

namespace Vanta {

class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    // Milliseconds since an arbitrary fixed start; never goes back.
    virtual int64_t nowMilliseconds() const { return interruptTimeMilliseconds(); }
};

} // namespace Vanta
