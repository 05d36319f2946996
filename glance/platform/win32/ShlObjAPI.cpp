// Windows-only code belongs in this file.
#include "platform/ShlObjAPI.h"

#include "platform/win32/WindowsHandles.h"

#include <shlobj.h>

namespace Strato {

int32_t ShlObjAPI::SHGetKnownFolderPath(const Guid& folderId, uint32_t flags, void* token,
                                        std::wstring& path) {
    static_assert(sizeof(Guid) == sizeof(GUID));
    GUID id{};
    id.Data1 = folderId.data1;
    id.Data2 = folderId.data2;
    id.Data3 = folderId.data3;
    for (int i = 0; i < 8; ++i) {
        id.Data4[i] = folderId.data4[i];
    }
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
