// File-system tests on paths.
#pragma once

#include <string>

namespace Vanta {

class PathAPI {
public:
    virtual ~PathAPI() = default;
    // True only for a non-empty path that names an existing file, not a folder
    // (GetFileAttributesW without the directory attribute).
    virtual bool fileExists(const std::wstring& path);
};

} // namespace Vanta
