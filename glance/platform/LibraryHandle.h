// A loaded library owned for its whole life: FreeLibrary on Windows, dlclose
// on Linux.
#pragma once

#include "platform/ModuleHandle.h"
#include "platform/ScopedHandle.h"

namespace Vanta {

struct LibraryHandleTraits {
    using Handle = ModuleHandle;
    static constexpr Handle empty() noexcept { return nullptr; }
    static void close(Handle library) noexcept;
};

using ScopedLibrary = ScopedHandle<LibraryHandleTraits>;

} // namespace Vanta
