// Windows-only code belongs in this file.
#include "platform/PathAPI.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

bool PathAPI::fileExists(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace Vanta
