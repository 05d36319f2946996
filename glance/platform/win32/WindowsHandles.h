// Windows-only code belongs in this file.
// Owners for the Windows handles and system-allocated buffers that the
// wrappers hold: each frees its handle with the call that matches how the
// system handed it out.
#pragma once

#include "platform/ScopedHandle.h"
#include "platform/win32/WindowsInclude.h"

#include <objbase.h>

namespace Vanta::win32 {

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle key) noexcept { ::RegCloseKey(key); }
};

// Kernel objects: some calls answer INVALID_HANDLE_VALUE for none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle handle) noexcept {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
};

// Buffers that the system allocated with LocalAlloc for the caller to free.
template <typename Pointer> struct LocalMemoryTraits {
    using Handle = Pointer;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle memory) noexcept { ::LocalFree(reinterpret_cast<HLOCAL>(memory)); }
};

// Buffers from the COM task allocator, such as known-folder paths.
template <typename Pointer> struct CoTaskMemoryTraits {
    using Handle = Pointer;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle memory) noexcept { ::CoTaskMemFree(memory); }
};

struct SidTraits {
    using Handle = PSID;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle sid) noexcept { ::FreeSid(sid); }
};

using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
template <typename Pointer> using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits<Pointer>>;
using ScopedCoTaskString = ScopedHandle<CoTaskMemoryTraits<PWSTR>>;
using ScopedSid = ScopedHandle<SidTraits>;

} // namespace Vanta::win32
