// The system's version test: does the running system equal the given
// numbers in every field of the type mask?
#pragma once

#include <cstdint>

namespace Strato {

struct OsVersionQuery {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
};

// Type mask bits (VER_MINORVERSION ...).
inline constexpr uint32_t kVerMinorVersion = 0x01;
inline constexpr uint32_t kVerMajorVersion = 0x02;
inline constexpr uint32_t kVerBuildNumber = 0x04;
inline constexpr uint32_t kVerPlatformId = 0x08;
inline constexpr uint32_t kVerServicePackMinor = 0x10;
inline constexpr uint32_t kVerServicePackMajor = 0x20;

class WinOSVersionAPI {
public:
    virtual ~WinOSVersionAPI() = default;
    // VerifyVersionInfoW with an equality condition on every field of
    // `typeMask`. Linux answers false: it is neither system family.
    virtual bool VerifyVersionInfoW(const OsVersionQuery& query, uint32_t typeMask);
};

} // namespace Strato
