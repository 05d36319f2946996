// Loading a library by its path and finding its exports, and the owner of a
// loaded library: LoadLibraryW, GetProcAddress and FreeLibrary on Windows;
// dlopen, dlsym and dlclose on Linux.
#pragma once

#include "platform/ModuleHandle.h"
#include "platform/ScopedHandle.h"

#include <string>

namespace Vanta {

struct LibraryHandleTraits {
    using Handle = ModuleHandle;
    static constexpr Handle empty() noexcept { return nullptr; }
    static void close(Handle library) noexcept;
};

using ScopedLibrary = ScopedHandle<LibraryHandleTraits>;

// Empty when the library cannot be loaded.
ScopedLibrary loadLibraryFile(const std::wstring& path);
// The address of an exported function, null when there is none.
void* libraryExport(ModuleHandle library, const char* name);

} // namespace Vanta
