// The wall clock in the user's time zone (GetLocalTime on Windows,
// localtime_r on Linux), to the second.
#pragma once

#include <cstdint>

namespace Vanta {

struct LocalTime {
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour; // 0-23
    uint16_t minute;
    uint16_t second;
};

LocalTime localTimeNow() noexcept;

} // namespace Vanta
