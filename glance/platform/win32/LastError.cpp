// Windows-only code belongs in this file.
#include "platform/LastError.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

uint32_t lastError() {
    return ::GetLastError();
}

void setLastError(uint32_t error) {
    ::SetLastError(error);
}

} // namespace Vanta
