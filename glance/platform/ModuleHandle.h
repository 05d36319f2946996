// An opaque handle to a loaded library: HMODULE on Windows, the dlopen handle
// or an address inside the library on Linux.
#pragma once

namespace Vanta {

using ModuleHandle = void*;

} // namespace Vanta
