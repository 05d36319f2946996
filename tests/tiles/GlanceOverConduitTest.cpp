// The module over Conduit.dll: status messages that another handle publishes
// come back as tile payloads, in order, none lost.
#include "tiles/GlanceImpl.h"

#include "fakes/ConduitLibrary.h"
#include "fakes/FakeRegistryAPI.h"
#include "fakes/RecordingFormatter.h"
#include "fakes/ThisModule.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusClient.h"
#include "messagebus/MessageBusShimImpl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using testfakes::conduit;

namespace {

using namespace std::chrono_literals;

// What the test's own handle receives of the payload message.
struct Payloads {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::wstring> texts;

    bool waitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 60s, [&] { return texts.size() >= count; });
    }
    static MODULE_STATUS onMessage(void* context, const KestrelRawMessageHeader*, const wchar_t*,
                                   const wchar_t* sender, const wchar_t* data) {
        auto& self = *static_cast<Payloads*>(context);
        std::lock_guard lock(self.mutex);
        self.texts.push_back(std::wstring(sender) + L": " + data);
        self.changed.notify_all();
        return 0;
    }
};

// The module on a handle of its own, initialized and started as the host would.
class RunningModule {
public:
    explicit RunningModule(std::shared_ptr<Vanta::TileContentFormatter> formatter) {
        EXPECT_EQ(0u, conduit().open(&handle_));
        module_ = std::make_unique<Vanta::GlanceImpl>(
            nullptr, std::move(formatter), std::make_shared<testfakes::FakeRegistryAPI>());
        auto client = std::make_shared<Vanta::MessageBusClient>(
            std::make_shared<Vanta::MessageBusShimImpl>(handle_, &conduit()));
        EXPECT_EQ(0u, module_->baseInitialize(
                          L"Glance", L"", {},
                          std::make_shared<Vanta::internal::ModuleManagerShim>(nullptr, nullptr),
                          client));
        EXPECT_EQ(0u, module_->initialize());
        EXPECT_EQ(0u, module_->start());
    }
    ~RunningModule() {
        module_->stop();
        module_.reset();
        conduit().release(handle_);
    }

private:
    KestrelBusHandle handle_ = nullptr;
    std::unique_ptr<Vanta::GlanceImpl> module_;
};

} // namespace

TEST(GlanceOverConduit, ABurstFromFourThreadsComesBackWholeAndInOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 2500;
    Payloads payloads;
    KestrelBusHandle test = nullptr;
    ASSERT_EQ(0u, conduit().open(&test));
    ASSERT_NE(0u, conduit().subscribe(test, &payloads, &Payloads::onMessage,
                                      Vanta::kProcessedMessageName));
    {
        RunningModule running(std::make_shared<testfakes::RecordingFormatter>());
        std::vector<std::thread> publishers;
        for (int t = 0; t < kThreads; ++t) {
            publishers.emplace_back([test, t] {
                KestrelRawMessageHeader h = KestrelDefaultRawMessageHeader();
                const wchar_t* data = t % 2 == 0 ? L"{\"state\":\"off\",\"off_by_user\":false}"
                                                 : L"{\"state\":\"on\",\"off_by_user\":false}";
                for (int i = 0; i < kEach; ++i) {
                    conduit().publish(test, &h, L"Core.Firewall.State", L"Test", data);
                }
            });
        }
        for (std::thread& publisher : publishers) {
            publisher.join();
        }
        ASSERT_TRUE(payloads.waitFor(kThreads * kEach));
    }
    std::lock_guard lock(payloads.mutex);
    ASSERT_EQ(size_t{kThreads * kEach}, payloads.texts.size());
    for (size_t i = 0; i < payloads.texts.size(); ++i) {
        ASSERT_EQ(L"GlanceImpl: payload " + std::to_wstring(i + 1), payloads.texts[i]);
    }
    EXPECT_EQ(0u, conduit().release(test));
}

TEST(GlanceOverConduit, AStatusMessageComesBackAsRenderedTiles) {
    Payloads payloads;
    KestrelBusHandle test = nullptr;
    ASSERT_EQ(0u, conduit().open(&test));
    ASSERT_NE(0u, conduit().subscribe(test, &payloads, &Payloads::onMessage,
                                      Vanta::kProcessedMessageName));
    {
        // The real formatter over OrloResources.dll beside the test program.
        RunningModule running(std::make_shared<Vanta::TileContentFormatter>(
            std::make_shared<Vanta::PlaceHolders>(std::make_shared<Vanta::ResourceDll>(
                testrender::thisModuleName(), L"OrloResources.dll", nullptr))));
        KestrelRawMessageHeader h = KestrelDefaultRawMessageHeader();
        conduit().publish(test, &h, L"Core.Protection.State", L"Test", L"{\"state\":\"red\"}");
        ASSERT_TRUE(payloads.waitFor(1));
    }
    std::lock_guard lock(payloads.mutex);
    ASSERT_EQ(1u, payloads.texts.size());
    const std::wstring& text = payloads.texts[0];
    EXPECT_EQ(0u, text.find(L"GlanceImpl: {\"viewer_payload\":{\"tiles\":[{\"xml\":"));
    EXPECT_NE(std::wstring::npos, text.find(L"atrisk.png")) << testing::PrintToString(text);
    EXPECT_EQ(0u, conduit().release(test));
}
