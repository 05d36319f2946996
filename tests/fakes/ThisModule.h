// The test program's own file, where the build places OrloResources.dll,
// the tile images and the test data.
#pragma once

#include "platform/CurrentModule.h"
#include "platform/ResourceAPI.h"

#include <string>

namespace testrender {

inline std::wstring thisModulePath() {
    Vanta::ResourceAPI api;
    wchar_t buffer[4096] = {};
    const uint32_t length = api.getModuleFileName(Vanta::currentModuleHandle(), buffer, 4096);
    return std::wstring(buffer, length);
}

inline std::wstring thisModuleName() {
    const std::wstring path = thisModulePath();
    return path.substr(path.find_last_of(L"\\/") + 1);
}

inline std::wstring thisModuleFolder() {
    const std::wstring path = thisModulePath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

} // namespace testrender
