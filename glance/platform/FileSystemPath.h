// The system's text (UTF-16 units) as a std::filesystem path: native wide on
// Windows, UTF-8 bytes on Linux (never the C library's locale conversion).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vanta {

std::filesystem::path toFileSystemPath(std::wstring_view path);

// The whole file; none when it cannot be read or is larger than `largest`.
std::optional<std::vector<uint8_t>> readWholeFile(const std::wstring& path,
                                                  std::uintmax_t largest = UINTMAX_MAX);

} // namespace Vanta
