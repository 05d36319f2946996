// The library (or executable) that contains this code.
#pragma once

#include "platform/ModuleHandle.h"

#include <string>

namespace Vanta {

// Handle of the module containing this code, without adding a reference.
ModuleHandle currentModuleHandle() noexcept;

// File name, without its folder, of the module containing this code ("Glance.dll" in the
// product; the test executable's own name in tests). Empty when the path cannot be obtained.
std::wstring currentModuleFileName();

} // namespace Vanta
