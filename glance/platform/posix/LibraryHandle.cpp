// POSIX-only code belongs in this file.
#include "platform/LibraryHandle.h"

#include "platform/LastError.h"
#include "platform/TextCodec.h"

#include <dlfcn.h>

namespace Vanta {

void LibraryHandleTraits::close(Handle library) noexcept {
    ::dlclose(library);
}

ScopedLibrary loadLibraryFile(const std::wstring& path) {
    return ScopedLibrary(::dlopen(toUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL));
}

void* libraryExport(ModuleHandle library, const char* name) {
    return library != nullptr ? ::dlsym(library, name) : nullptr;
}

} // namespace Vanta

namespace Vanta {

ModuleHandle mapLibrary(const std::wstring& path) {
    void* library = ::dlopen(toUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        setLastError(126); // ERROR_MOD_NOT_FOUND
    }
    return library;
}

ModuleHandle loadedLibrary(const std::wstring& path) {
    return ::dlopen(toUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
}

bool unmapLibrary(ModuleHandle library) {
    return library != nullptr && ::dlclose(library) == 0;
}

} // namespace Vanta
