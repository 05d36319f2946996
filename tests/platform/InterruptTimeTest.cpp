#include "platform/InterruptTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(InterruptTime, AdvancesInHundredNanosecondTicks) {
    const uint64_t before = Vanta::unbiasedInterruptTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint64_t after = Vanta::unbiasedInterruptTime();
    ASSERT_GE(after, before);
    // 50 ms is 500000 ticks; the Windows clock moves in steps of up to about 16 ms.
    EXPECT_GE(after - before, 300000u);
    EXPECT_LT(after - before, 50000000u);
    EXPECT_GE(Vanta::interruptTimeMilliseconds(), static_cast<int64_t>(after / 10000));
}
