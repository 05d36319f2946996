// The running process's executable (not the module holding this code).
#pragma once

#include <string>

namespace Vanta {

// Its full path (GetModuleFileNameW into 260 characters on Windows,
// /proc/self/exe on Linux); empty when it cannot be read.
std::wstring executablePath();

} // namespace Vanta
