#include "platform/win32/WindowsHandles.h"

#include <gtest/gtest.h>

using Vanta::win32::ScopedKernelHandle;

TEST(WindowsHandles, KernelHandleIsClosedWithItsOwner) {
    HANDLE raw = nullptr;
    {
        ScopedKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.get();
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    // "No handle" from the file calls is never passed to CloseHandle.
    ScopedKernelHandle none(INVALID_HANDLE_VALUE);
}
