// POSIX-only code belongs in this file.
#include "platform/LibraryHandle.h"

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
