// POSIX-only code belongs in this file.
#include "platform/LocalClock.h"

#include <ctime>

namespace Vanta {

LocalTime localTimeNow() noexcept {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
            static_cast<uint16_t>(local.tm_mday),        static_cast<uint16_t>(local.tm_hour),
            static_cast<uint16_t>(local.tm_min),         static_cast<uint16_t>(local.tm_sec)};
}

} // namespace Vanta
