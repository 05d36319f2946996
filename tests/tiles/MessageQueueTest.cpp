#include "tiles/MessageQueue.h"

#include "messagebus/Message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using Vanta::Message;
using Vanta::MessageQueue;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<Message> named(const std::wstring& name) {
    return Vanta::createMessage(name, L"t", L"");
}

} // namespace

TEST(MessageQueue, CloseWaitsUntilEveryMessageWasTakenAndDropsLaterOnes) {
    MessageQueue queue;
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
        queue.push(named(name));
    }
    std::atomic<bool> closing{false};
    std::atomic<bool> closed{false};
    std::vector<std::wstring> taken;
    std::thread worker([&] {
        std::shared_ptr<Message> message;
        while (queue.pop(message)) {
            // The first message is held until close has begun: it must wait for the rest.
            if (taken.empty()) {
                while (!closing) {
                    std::this_thread::sleep_for(1ms);
                }
                std::this_thread::sleep_for(20ms);  // close is waiting for the queue by now
                queue.push(named(L"during close")); // no longer accepted
            }
            // Close returns once the last message is taken, so only before that is it waiting.
            if (message->getName() != L"c") {
                EXPECT_FALSE(closed);
            }
            taken.push_back(message->getName());
        }
    });
    std::thread closer([&] {
        closing = true;
        queue.close();
        closed = true;
    });
    closer.join();
    worker.join();
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), taken);
    std::shared_ptr<Message> after;
    queue.push(named(L"after"));
    EXPECT_FALSE(queue.pop(after));
    EXPECT_FALSE(after);
}

TEST(MessageQueue, CloseWithoutDrainingReturnsWithMessagesQueued) {
    MessageQueue queue;
    queue.push(named(L"never taken"));
    queue.close(false);
    std::shared_ptr<Message> message;
    EXPECT_FALSE(queue.pop(message));
}

TEST(MessageQueue, PopWaitsForAPushOrTheClose) {
    MessageQueue queue;
    std::shared_ptr<Message> first;
    std::thread worker([&] {
        EXPECT_TRUE(queue.pop(first));
        std::shared_ptr<Message> second;
        EXPECT_FALSE(queue.pop(second)); // woken by the close
    });
    std::this_thread::sleep_for(10ms);
    queue.push(named(L"x"));
    std::this_thread::sleep_for(10ms);
    queue.close();
    worker.join();
    ASSERT_TRUE(first);
    EXPECT_EQ(L"x", first->getName());
}
