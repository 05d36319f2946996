// The process wrapper's identity and session answers on the build's system.
#include "platform/ProcessAPI.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessAPI, CurrentProcessHasAnIdAndASession) {
    Vanta::ProcessAPI process;
    const uint32_t id = process.GetCurrentProcessId();
    EXPECT_NE(0u, id);
    EXPECT_EQ(id, process.GetProcessId(process.GetCurrentProcess()));
    uint32_t session = 0xDEAD;
    EXPECT_TRUE(process.ProcessIdToSessionId(id, session));
    EXPECT_NE(0xDEADu, session);
    EXPECT_TRUE(process.CloseHandle(process.GetCurrentProcess()));
}

} // namespace
