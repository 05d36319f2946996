// Windows-only code belongs in this file.
#include "platform/WinOSVersionAPI.h"

#include "platform/win32/WindowsInclude.h"

namespace Strato {

bool WinOSVersionAPI::VerifyVersionInfoW(const OsVersionQuery& query, uint32_t typeMask) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = query.majorVersion;
    info.dwMinorVersion = query.minorVersion;
    info.dwBuildNumber = query.buildNumber;
    info.dwPlatformId = query.platformId;
    info.wServicePackMajor = query.servicePackMajor;
    info.wServicePackMinor = query.servicePackMinor;
    ULONGLONG conditions = 0;
    for (uint32_t bit = 1; bit <= kVerServicePackMajor; bit <<= 1) {
        if ((typeMask & bit) != 0) {
            conditions = ::VerSetConditionMask(conditions, bit, VER_EQUAL);
        }
    }
    return ::VerifyVersionInfoW(&info, typeMask, conditions) != FALSE;
}

} // namespace Strato
