// POSIX-only code belongs in this file.
#include "platform/LibraryHandle.h"

#include <dlfcn.h>

namespace Vanta {

void LibraryHandleTraits::close(Handle library) noexcept {
    ::dlclose(library);
}

} // namespace Vanta
