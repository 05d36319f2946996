// The system calls behind resource library access, one virtual operation per
// call so that ResourceDll can run against a replacement. Library and string
// loads go through the multilingual loader when it is usable (RtMuiImpl) and
// through the plain calls otherwise.
//
// On Linux the resource library exports the tables of
// include/kestrel/ResourceTables.h in place of a resource section; loadString
// keeps the Windows contract (a size of 0 hands out a read-only pointer to the
// length-counted text, valid while the library stays loaded), and failures set
// a per-thread last error with the Windows codes, read by getLastError.
#pragma once

#include "platform/ModuleHandle.h"

#include <cstdint>

namespace Vanta {

class ResourceAPI {
public:
    ResourceAPI() = default;
    ResourceAPI(const ResourceAPI&) = delete;
    ResourceAPI& operator=(const ResourceAPI&) = delete;
    virtual ~ResourceAPI() = default;

    // True when a non-null handle was obtained; `module` is then that handle.
    virtual bool loadLibrary(const wchar_t* path, ModuleHandle& module);
    // Number of characters, 0 when the id is missing. With bufferSize 0 the
    // buffer receives a const wchar_t* to the text, which has no terminator;
    // otherwise at most bufferSize - 1 characters and a NUL are copied.
    virtual int32_t loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                               int32_t bufferSize);
    // Handle of an already loaded module with this file name, else null.
    virtual ModuleHandle getModuleHandle(const wchar_t* moduleName);
    // Full path of the module, NUL-terminated; characters written, 0 on failure.
    virtual uint32_t getModuleFileName(ModuleHandle module, wchar_t* buffer, uint32_t bufferSize);
    virtual bool pathFileExists(const wchar_t* path);
    virtual bool freeLibrary(ModuleHandle module);
    virtual bool closeHandle(void* handle);
    virtual uint32_t getLastError();
};

} // namespace Vanta
