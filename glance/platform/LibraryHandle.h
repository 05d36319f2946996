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

// The raw calls under the loader, each handle counted once by the system:
// maps the library at `path` (LoadLibraryExW, flags 0), null on failure with
// the thread's last error set;
ModuleHandle mapLibrary(const std::wstring& path);
// the library at `path` when it is already in the process, with its count
// raised (GetModuleHandleExW, flags 0; dlopen with RTLD_NOLOAD);
ModuleHandle loadedLibrary(const std::wstring& path);
// drops one count (FreeLibrary).
bool unmapLibrary(ModuleHandle library);

} // namespace Vanta
