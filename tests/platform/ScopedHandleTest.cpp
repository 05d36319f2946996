#include "platform/ScopedHandle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Records which handles were given back.
struct CountingTraits {
    using Handle = int;
    static inline std::vector<int> closed;
    static Handle empty() noexcept { return -1; }
    static void close(Handle handle) noexcept { closed.push_back(handle); }
};

using Scoped = Vanta::ScopedHandle<CountingTraits>;

} // namespace

TEST(ScopedHandle, ClosesEachHandleExactlyOnce) {
    CountingTraits::closed.clear();
    {
        Scoped first(3);
        Scoped second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(3, second.get());

        Scoped third(5);
        third = std::move(second); // 5 closed, 3 taken over
        EXPECT_EQ((std::vector<int>{5}), CountingTraits::closed);

        third.close();
        third.close(); // idempotent
        EXPECT_EQ((std::vector<int>{5, 3}), CountingTraits::closed);

        *third.receive() = 7; // as a system call's out parameter
        Scoped kept(9);
        EXPECT_EQ(9, kept.release());
        Scoped empty;
    }
    // Leaving the scope closes 7; the released and the empty ones are not closed.
    EXPECT_EQ((std::vector<int>{5, 3, 7}), CountingTraits::closed);
}
