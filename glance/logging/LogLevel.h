// The log levels, by name. A level is a plain number on every interface (levels
// outside 1-6 are accepted and produce no record), so these stay unscoped.
#pragma once

#include <cstdint>

namespace ETWLogging {

enum : uint32_t {
    kLevelNormal = 1,
    kLevelWarning = 2,
    kLevelInformation = 3,
    kLevelError = 4,
    kLevelCritical = 5,
    kLevelInformation2 = 6, // a second information level; the trace sink reports it as 3
};

} // namespace ETWLogging
