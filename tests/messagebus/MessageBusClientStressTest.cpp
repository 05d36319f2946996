// Several threads use one client while the fake library delivers messages and
// replies (some of them time-outs) from its own thread. Run under
// ThreadSanitizer this shows the client's locking: no race, no deadlock, and
// every request that went out is completed exactly once.
#include "messagebus/MessageBusClient.h"

#include "fakes/FakeBusLibrary.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusShimImpl.h"
#include "messagebus/Reply.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using testfakes::FakeBusLibrary;
using Vanta::Message;

TEST(MessageBusClientStress, ConcurrentUseLosesAndDoublesNothing) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 150;
    FakeBusLibrary bus;
    // Every third request times out; the others are answered; all from the fake's thread.
    bus.onRequest([&bus](const FakeBusLibrary::Call& call) {
        if (call.replyIndex % 3 == 0) {
            bus.postReply(call.replyIndex, MODULE_STATUS_TIMEOUT, std::nullopt);
        } else {
            bus.postReply(call.replyIndex, MODULE_STATUS_SUCCESS,
                          FakeBusLibrary::message(L"Answer", call.data));
        }
    });
    std::mutex completedLock;
    std::map<std::wstring, int> completed; // request data -> completions
    std::map<std::wstring, Vanta::ReplyStatus> outcome;
    std::atomic<int> kept{0};    // deliveries to the subscriptions that stay
    std::atomic<int> churned{0}; // may see theirs or not: they race with unsubscribe
    {
        Vanta::MessageBusClient client(
            std::make_shared<Vanta::MessageBusShimImpl>(bus.handle(), FakeBusLibrary::functions()));
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                const std::wstring alias = L"alias" + std::to_wstring(t);
                const std::wstring name = L"Stress." + std::to_wstring(t);
                const std::wstring keptName = L"Kept." + std::to_wstring(t);
                client.subscribe(keptName, [&kept](std::shared_ptr<Message>) {
                    ++kept;
                    return MODULE_STATUS_SUCCESS;
                });
                for (int round = 0; round < kRounds; ++round) {
                    client.subscribe(name, alias, [&churned](std::shared_ptr<Message>) {
                        ++churned;
                        return MODULE_STATUS_SUCCESS;
                    });
                    bus.postToSubscribers(FakeBusLibrary::message(name));
                    bus.postToSubscribers(FakeBusLibrary::message(keptName));
                    client.publish(Vanta::createMessage(name, L"", L"{}"));
                    const std::wstring key = alias + L"/" + std::to_wstring(round);
                    client.request(
                        Vanta::createMessage(L"Stress.Request", L"", key),
                        [&, key](std::shared_ptr<Vanta::Reply> reply) {
                            std::lock_guard lock(completedLock);
                            ++completed[key];
                            outcome[key] = reply->getStatus();
                        },
                        1000);
                    if (round % 2 == 0) {
                        client.unsubscribe(alias);
                    }
                }
                client.unsubscribe(alias);
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        bus.drain();
        EXPECT_EQ(kThreads * kRounds, kept.load());
    }
    std::lock_guard lock(completedLock);
    ASSERT_EQ(size_t{kThreads * kRounds}, completed.size());
    int timedOut = 0;
    for (const auto& [key, count] : completed) {
        EXPECT_EQ(1, count) << testing::PrintToString(key);
        timedOut += outcome[key] == Vanta::ReplyTimedOut;
    }
    EXPECT_EQ(kThreads * kRounds / 3, timedOut);
    EXPECT_EQ(0u, bus.subscriptionCount());
}
