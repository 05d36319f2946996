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

namespace Vanta {

ModuleHandle mapLibrary(const std::wstring& path) {
    return ::LoadLibraryExW(path.c_str(), nullptr, 0);
}

ModuleHandle loadedLibrary(const std::wstring& path) {
    HMODULE module = nullptr;
    return ::GetModuleHandleExW(0, path.c_str(), &module) ? module : nullptr;
}

bool unmapLibrary(ModuleHandle library) {
    return ::FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

} // namespace Vanta
