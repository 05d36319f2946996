// The system's text (UTF-16 units) as a std::filesystem path: native wide on
// Windows, UTF-8 bytes on Linux (never the C library's locale conversion).
#pragma once

#include <filesystem>
#include <string_view>

namespace Vanta {

std::filesystem::path toFileSystemPath(std::wstring_view path);

} // namespace Vanta
