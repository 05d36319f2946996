// The library (or executable) that contains this code.
#pragma once

#include "platform/ModuleHandle.h"

namespace Vanta {

// Handle of the module containing this code, without adding a reference.
ModuleHandle currentModuleHandle() noexcept;

} // namespace Vanta
