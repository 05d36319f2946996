// Windows-only code belongs in this file.
#include "platform/ShlObjAPI.h"

#include "platform/win32/WindowsGuid.h"
#include "platform/win32/WindowsHandles.h"

#include <shlobj.h>

namespace Strato {

int32_t ShlObjAPI::SHGetKnownFolderPath(const Guid& folderId, uint32_t flags, void* token,
                                        std::wstring& path) {
    const GUID id = Vanta::win32::toWindowsGuid(folderId);
    // The system may hand out a buffer even on failure: it is freed either way.
    Vanta::win32::ScopedCoTaskString raw;
    const HRESULT result =
        ::SHGetKnownFolderPath(id, flags, static_cast<HANDLE>(token), raw.receive());
    try {
        if (SUCCEEDED(result) && raw) {
            path = raw.get();
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return result;
}

} // namespace Strato
