// Windows-only code belongs in this file.
#include "platform/ResourceAPI.h"

#include "platform/RtMuiImpl.h"
#include "platform/win32/WindowsInclude.h"

#include <shlwapi.h>

namespace Vanta {

bool ResourceAPI::loadLibrary(const wchar_t* path, ModuleHandle& module) {
    RtMuiImpl& mui = RtMuiImpl::instance();
    if (mui.availability() == 0) {
        return mui.loadLibrary(path, module);
    }
    module = ::LoadLibraryW(path);
    return module != nullptr;
}

int32_t ResourceAPI::loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                                int32_t bufferSize) {
    RtMuiImpl& mui = RtMuiImpl::instance();
    if (mui.availability() == 0) {
        return mui.loadString(module, id, buffer, bufferSize);
    }
    return ::LoadStringW(static_cast<HINSTANCE>(module), id, buffer, bufferSize);
}

ModuleHandle ResourceAPI::getModuleHandle(const wchar_t* moduleName) {
    return ::GetModuleHandleW(moduleName);
}

uint32_t ResourceAPI::getModuleFileName(ModuleHandle module, wchar_t* buffer, uint32_t bufferSize) {
    return ::GetModuleFileNameW(static_cast<HMODULE>(module), buffer, bufferSize);
}

bool ResourceAPI::pathFileExists(const wchar_t* path) {
    return ::PathFileExistsW(path) != FALSE;
}

bool ResourceAPI::freeLibrary(ModuleHandle module) {
    return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

bool ResourceAPI::closeHandle(void* handle) {
    return ::CloseHandle(handle) != FALSE;
}

uint32_t ResourceAPI::getLastError() {
    return ::GetLastError();
}

} // namespace Vanta
