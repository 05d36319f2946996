// Windows-only code belongs in this file.
// The project's GUID as the system's structure.
#pragma once

#include "platform/Guid.h"
#include "platform/win32/WindowsInclude.h"

namespace Vanta::win32 {

inline GUID toWindowsGuid(const Strato::Guid& guid) {
    static_assert(sizeof(Strato::Guid) == sizeof(GUID));
    GUID out{};
    out.Data1 = guid.data1;
    out.Data2 = guid.data2;
    out.Data3 = guid.data3;
    for (int i = 0; i < 8; ++i) {
        out.Data4[i] = guid.data4[i];
    }
    return out;
}

} // namespace Vanta::win32
