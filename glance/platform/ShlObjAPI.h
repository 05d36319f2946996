// Known-folder lookup. The wrapper frees the system's buffer itself, so the
// caller gets an owned text and never frees anything.
#pragma once

#include "platform/Guid.h"

#include <cstdint>
#include <string>

namespace Strato {

class ShlObjAPI {
public:
    virtual ~ShlObjAPI() = default;
    // SHGetKnownFolderPath: an HRESULT, 0 on success with `path` set (no
    // trailing separator); on failure `path` is left unchanged. On Linux each
    // folder comes from its environment variable (KESTREL_PROGRAMDATA,
    // KESTREL_COMMONFILES, KESTREL_SYSTEM, KESTREL_PROFILE, ...) or a
    // per-user default, and must exist; other folders are not found.
    virtual int32_t SHGetKnownFolderPath(const Guid& folderId, uint32_t flags, void* token,
                                         std::wstring& path);
};

} // namespace Strato

namespace Vanta {
// The framework reaches the same facility under its own namespace.
using ShlObjAPI = Strato::ShlObjAPI;
} // namespace Vanta
