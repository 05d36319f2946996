// Windows-only code belongs in this file.
#include "platform/LibraryHandle.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

void LibraryHandleTraits::close(Handle library) noexcept {
    ::FreeLibrary(static_cast<HMODULE>(library));
}

ScopedLibrary loadLibraryFile(const std::wstring& path) {
    return ScopedLibrary(::LoadLibraryW(path.c_str()));
}

void* libraryExport(ModuleHandle library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

} // namespace Vanta
