// Whether this process is a 32-bit process on 64-bit Windows.
#pragma once

namespace Strato::internal {

// IsWow64Process for the current process, looked up by name in "kernel32";
// a missing function or a failed call answers false, as does Linux.
bool currentProcessIsWow64() noexcept;

} // namespace Strato::internal
