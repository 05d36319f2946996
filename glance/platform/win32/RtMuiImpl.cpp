// Windows-only code belongs in this file.
#include "platform/RtMuiImpl.h"

#include "platform/win32/WindowsInclude.h"

#include <string>

namespace Vanta {
namespace {

constexpr size_t kLoadLibrary = 1;
constexpr size_t kLoadString = 4;

using LoadLibraryFn = HMODULE(WINAPI*)(LPCWSTR, DWORD);
using LoadStringFn = int(WINAPI*)(HMODULE, UINT, LPWSTR, int, DWORD);
using RefCountFn = ULONG(WINAPI*)();

// The loader is mapped only from a fully qualified path, never through the
// library search order: "X:\..." or "\\server\...".
bool isFullyQualified(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        return (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    }
    return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

// Looks up an optional export without disturbing the caller's last error.
FARPROC optionalExport(HMODULE module, const char* name) {
    const DWORD saved = ::GetLastError();
    const FARPROC address = ::GetProcAddress(module, name);
    ::SetLastError(saved);
    return address;
}

uint32_t lastErrorOr(uint32_t fallback) {
    const DWORD error = ::GetLastError();
    return error != 0 ? error : fallback;
}

} // namespace

RtMuiImpl& RtMuiImpl::instance() {
    static RtMuiImpl holder;
    return holder;
}

RtMuiImpl::RtMuiImpl() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"CommonProgramFiles", folder, MAX_PATH);
    if (length == 0) {
        availability_ = lastErrorOr(ERROR_ENVVAR_NOT_FOUND);
        return;
    }
    const std::wstring path =
        std::wstring(folder, length < MAX_PATH ? length : 0) + L"\\Talmor\\Platform\\TmRtMui.dll";
    if (length >= MAX_PATH || path.size() + 1 > MAX_PATH) {
        availability_ = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    if (!isFullyQualified(path)) {
        availability_ = ERROR_INVALID_PARAMETER;
        return;
    }
    const HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, 0);
    if (library == nullptr) {
        availability_ = lastErrorOr(ERROR_MOD_NOT_FOUND);
        return;
    }
    reset(library);
    if (const FARPROC addRef = optionalExport(library, "DllAddRef")) {
        reinterpret_cast<RefCountFn>(reinterpret_cast<ExportFn>(addRef))();
    }
    for (size_t i = 0; i < kExportNames.size(); ++i) {
        const FARPROC address = ::GetProcAddress(library, kExportNames[i]);
        if (address == nullptr) {
            availability_ = lastErrorOr(ERROR_PROC_NOT_FOUND);
            return;
        }
        exports_[i] = reinterpret_cast<ExportFn>(address);
    }
}

RtMuiImpl::~RtMuiImpl() {
    const HMODULE library = static_cast<HMODULE>(module());
    if (library == nullptr) {
        return;
    }
    if (const FARPROC release = optionalExport(library, "DllRelease")) {
        reinterpret_cast<RefCountFn>(reinterpret_cast<ExportFn>(release))();
    }
    close();
}

bool RtMuiImpl::loadLibrary(const wchar_t* path, ModuleHandle& module) {
    if (availability_ != 0) {
        return false;
    }
    module = reinterpret_cast<LoadLibraryFn>(exports_[kLoadLibrary])(path, 0);
    return module != nullptr;
}

int32_t RtMuiImpl::loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                              int32_t bufferSize) {
    if (availability_ != 0) {
        return 0;
    }
    return reinterpret_cast<LoadStringFn>(exports_[kLoadString])(static_cast<HMODULE>(module), id,
                                                                 buffer, bufferSize, 0);
}

} // namespace Vanta
