// The file path separator: a backslash on Windows, a slash on Linux. Rules
// that join a folder and a file name, or take the part after the last
// separator, use it; registry key paths always use backslashes.
#pragma once

namespace Vanta {

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

} // namespace Vanta
