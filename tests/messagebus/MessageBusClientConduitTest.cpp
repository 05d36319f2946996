// The client over Conduit.dll, where unsubscribing waits for a callback that
// runs: the cases that would deadlock or free a running callback.
#include "messagebus/MessageBusClient.h"

#include "fakes/ConduitLibrary.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusShimImpl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using testfakes::conduit;
using namespace std::chrono_literals;

namespace {

class ClientOverConduit : public ::testing::Test {
protected:
    ClientOverConduit() {
        EXPECT_EQ(0u, conduit().open(&handle));
        client = std::make_unique<Vanta::MessageBusClient>(
            std::make_shared<Vanta::MessageBusShimImpl>(handle, &conduit()));
    }
    ~ClientOverConduit() override {
        client.reset();
        conduit().release(handle);
    }
    void publish(const wchar_t* name) {
        client->publish(Vanta::createMessage(name, L"Test", L"{}"));
    }

    KestrelBusHandle handle = nullptr;
    std::unique_ptr<Vanta::MessageBusClient> client;
};

} // namespace

TEST_F(ClientOverConduit, UnsubscribingWhileTheCallbackSubscribesDoesNotDeadlock) {
    std::promise<void> started;
    std::atomic<MODULE_STATUS> subscribed{1};
    client->subscribe(L"A", [&](std::shared_ptr<Vanta::Message>) {
        started.set_value();
        std::this_thread::sleep_for(20ms); // the unsubscribe below is waiting by now
        subscribed = client->subscribe(L"B", [](std::shared_ptr<Vanta::Message>) { return 0u; });
        return MODULE_STATUS_SUCCESS;
    });
    publish(L"A");
    started.get_future().wait();
    auto removal = std::async(std::launch::async, [&] { return client->unsubscribe(L"A"); });
    ASSERT_EQ(std::future_status::ready, removal.wait_for(10s)) << "deadlock";
    EXPECT_EQ(0u, removal.get());
    EXPECT_EQ(0u, subscribed.load());
}

TEST_F(ClientOverConduit, ACallbackMayRemoveItsOwnSubscription) {
    auto seen = std::make_shared<std::atomic<int>>(0);
    std::promise<void> done;
    client->subscribe(L"Once", [this, seen, &done](std::shared_ptr<Vanta::Message>) {
        client->unsubscribe(L"Once");
        ++*seen; // the callable and what it holds are still alive here
        done.set_value();
        return MODULE_STATUS_SUCCESS;
    });
    publish(L"Once");
    ASSERT_EQ(std::future_status::ready, done.get_future().wait_for(10s));
    publish(L"Once");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(1, seen->load());
}
