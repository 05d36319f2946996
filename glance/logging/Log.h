// How call sites log: IsLogEnabled first, so that a message below the active
// level costs one virtual call and no formatting.
#pragma once

#include "logging/LogFrontEnd.h"
#include "logging/LogLevel.h"

#include <cstdint>
#include <type_traits>

namespace ETWLogging {

// WriteLog behind IsLogEnabled. Arguments go through C varargs, so only
// numbers and pointers are accepted: pass strings as c_str().
template <typename... Args>
void logIfEnabled(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, Args... args) noexcept {
    static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args>)&&...),
                  "log arguments must be numbers or pointers");
    if (IsLogEnabled(level)) {
        WriteLog(level, file, function, line, format, args...);
    }
}

} // namespace ETWLogging
