// The debugger output channel: OutputDebugStringW on Windows, standard error
// (as UTF-8) on Linux.
#pragma once

#include <string_view>

namespace Vanta {

void writeDebugOutput(std::wstring_view text) noexcept;

} // namespace Vanta
