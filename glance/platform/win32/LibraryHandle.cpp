// Windows-only code belongs in this file.
#include "platform/LibraryHandle.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

void LibraryHandleTraits::close(Handle library) noexcept {
    ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace Vanta
