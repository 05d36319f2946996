#include "tiles/GlanceImpl.h"

#include "fakes/FakeBusLibrary.h"
#include "fakes/FakeRegistryAPI.h"
#include "fakes/RecordingFormatter.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusClient.h"
#include "messagebus/MessageBusShimImpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

using testfakes::FakeBusLibrary;
using Vanta::GlanceImpl;
using E = FakeBusLibrary::Entry;

namespace {

const std::wstring kReport =
    L"SOFTWARE\\Talmor\\Zalvo\\Settings\\Stats\\avmod\\Activity\\ScanReport\\";
const std::wstring kBlocked =
    L"SOFTWARE\\Talmor\\Zalvo\\Settings\\Stats\\fwmod\\Activity\\TotalInboundConnectionBlocked";
const std::vector<std::wstring> kCounters = {
    kReport + L"RootKitsResolved",        kReport + L"TrackingCookiesResolved",
    kReport + L"TrojansResolved",         kReport + L"UnwantedProgramResolved",
    kReport + L"VirusResolved",           kReport + L"RootKitsDetected",
    kReport + L"TrackingCookiesDetected", kReport + L"TrojansDetected",
    kReport + L"UnwantedProgramDetected", kReport + L"VirusDetected",
    kReport + L"TotalItemScanned",        kBlocked,
};

// A module over the fake bus library, a recording formatter and a registry map. Members go
// in reverse: the module first, the library last.
class GlanceImplTest : public ::testing::Test {
protected:
    GlanceImplTest() {
        auto client = std::make_shared<Vanta::MessageBusClient>(
            std::make_shared<Vanta::MessageBusShimImpl>(bus.handle(), FakeBusLibrary::functions()));
        EXPECT_EQ(0u, module->baseInitialize(
                          L"Glance", L"", {},
                          std::make_shared<Vanta::internal::ModuleManagerShim>(nullptr, nullptr),
                          client));
    }

    // Payload messages published so far.
    std::vector<std::wstring> payloads() const {
        std::vector<std::wstring> texts;
        for (const auto& call : bus.callsTo(E::kPublish)) {
            if (call.name == Vanta::kProcessedMessageName) {
                EXPECT_EQ(L"GlanceImpl", call.sender);
                texts.push_back(call.data);
            }
        }
        return texts;
    }
    void deliver(const std::wstring& name, const std::wstring& data) {
        bus.postToSubscribers(FakeBusLibrary::message(name, data));
        bus.drain();
    }

    FakeBusLibrary bus;
    std::shared_ptr<Vanta::ProcState> state = std::make_shared<Vanta::ProcState>();
    std::shared_ptr<testfakes::RecordingFormatter> formatter =
        std::make_shared<testfakes::RecordingFormatter>();
    std::shared_ptr<testfakes::FakeRegistryAPI> registry =
        std::make_shared<testfakes::FakeRegistryAPI>();
    std::unique_ptr<GlanceImpl> module = std::make_unique<GlanceImpl>(state, formatter, registry);
};

} // namespace

TEST_F(GlanceImplTest, StartAsksForEveryStateAndPublishesNoTiles) {
    ASSERT_EQ(0u, module->initialize());
    std::vector<std::wstring> subscribed;
    for (const auto& call : bus.callsTo(E::kSubscribe)) {
        subscribed.push_back(call.name);
    }
    std::sort(subscribed.begin(), subscribed.end());
    EXPECT_EQ((std::vector<std::wstring>{L"Core.Antivirus.DATState", L"Core.Antivirus.LastScanTime",
                                         L"Core.Antivirus.RTSState", L"Core.Firewall.State",
                                         L"Core.ProductState.3rdPartyListChange",
                                         L"Core.ProductState.ProductListChange",
                                         L"Core.Protection.State", L"Core.Update.State"}),
              subscribed);

    ASSERT_EQ(0u, module->start());
    std::vector<std::wstring> requested;
    for (const auto& call : bus.callsTo(E::kPublish)) {
        EXPECT_EQ(L"Glance Module", call.sender);
        EXPECT_EQ(L"", call.data);
        requested.push_back(call.name);
    }
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Core.Antivirus.RefreshLastScanTime", L"Core.ProductState.RefreshProductList",
                  L"Core.ProductState.Refresh3rdPartyList", L"Core.Antivirus.RefreshRTSState",
                  L"Core.Firewall.RefreshState", L"Core.Antivirus.RefreshDATState",
                  L"Core.Update.RefreshState", L"Core.Protection.RefreshState"}),
              requested);
    EXPECT_EQ(0u, module->stop());
    EXPECT_TRUE(payloads().empty());
    EXPECT_EQ(0u, module->stop()); // a second stop finds no worker
}

TEST_F(GlanceImplTest, EveryHandledMessageRebuildsTheTiles) {
    testfakes::ScopedRecordingLogger log;
    ASSERT_EQ(0u, module->initialize());
    ASSERT_EQ(0u, module->start());
    size_t logsBeforeFormatting = 0;
    formatter->onCall = [&] {
        logsBeforeFormatting = log->records().size();
    };
    deliver(L"Core.Firewall.State", L"{\"state\":\"off\",\"off_by_user\":false}");
    deliver(L"Core.Protection.State", L"{}"); // the handler answers false
    deliver(L"Core.Unknown.Name", L"{}");
    ASSERT_EQ(0u, module->stop());

    EXPECT_EQ((std::vector<std::wstring>{L"payload 1", L"payload 2"}), payloads());
    EXPECT_EQ(1, formatter->states()[0].firewallState);
    // The failed message's tiles were built before its failure was logged.
    const auto records = log->records();
    const auto failed = std::find_if(records.begin(), records.end(), [](const auto& r) {
        return r.text == L"Message handling failed for message: Core.Protection.State";
    });
    ASSERT_NE(records.end(), failed);
    EXPECT_EQ(4u, failed->level);
    EXPECT_EQ(L"Vanta::GlanceImpl::listenForUpdates", failed->function);
    EXPECT_GE(static_cast<size_t>(failed - records.begin()), logsBeforeFormatting);
    EXPECT_NE(records.end(), std::find_if(records.begin(), records.end(), [](const auto& r) {
                  return r.text == L"Handled message Core.Firewall.State" && r.level == 1;
              }));
}

TEST_F(GlanceImplTest, ASecondInitializeHandlesEachMessageOnce) {
    ASSERT_EQ(0u, module->initialize());
    ASSERT_EQ(0u, module->initialize());
    EXPECT_EQ(8u, bus.subscriptionCount());
    ASSERT_EQ(0u, module->start());
    deliver(L"Core.Firewall.State", L"{\"state\":\"on\",\"off_by_user\":true}");
    ASSERT_EQ(0u, module->stop());
    EXPECT_EQ(1u, formatter->calls());
}

TEST_F(GlanceImplTest, StopOnTheWorkerIsRefusedAndClosesNothing) {
    std::atomic<bool> refused{false};
    formatter->onCall = [&] {
        try {
            module->stop();
        } catch (const std::system_error& error) {
            refused = error.code() == std::errc::resource_deadlock_would_occur;
        }
    };
    ASSERT_EQ(0u, module->initialize());
    ASSERT_EQ(0u, module->start());
    deliver(L"Core.Firewall.State", L"{\"state\":\"on\",\"off_by_user\":true}");
    deliver(L"Core.Firewall.State", L"{\"state\":\"off\",\"off_by_user\":true}");
    ASSERT_EQ(0u, module->stop());
    EXPECT_TRUE(refused);
    EXPECT_EQ(2u, formatter->calls()); // the queue stayed open for the second message
}

TEST_F(GlanceImplTest, MessagesQueuedBeforeStartAreHandledInOrder) {
    ASSERT_EQ(0u, module->initialize());
    for (const wchar_t* firewall : {L"off", L"on", L"off"}) {
        deliver(L"Core.Firewall.State",
                std::wstring(L"{\"state\":\"") + firewall + L"\",\"off_by_user\":true}");
    }
    EXPECT_EQ(0u, formatter->calls());
    ASSERT_EQ(0u, module->start());
    ASSERT_EQ(0u, module->stop()); // returns once every queued message was taken
    const auto states = formatter->states();
    ASSERT_EQ(3u, states.size());
    EXPECT_EQ(2, states[0].firewallState);
    EXPECT_EQ(0, states[1].firewallState);
    EXPECT_EQ(2, states[2].firewallState);

    // After stop the module takes nothing more, and start gives a worker that ends at once.
    deliver(L"Core.Firewall.State", L"{\"state\":\"on\",\"off_by_user\":true}");
    ASSERT_EQ(0u, module->start());
    ASSERT_EQ(0u, module->stop());
    EXPECT_EQ(3u, formatter->calls());
}

TEST_F(GlanceImplTest, StopWithoutStartReturnsWithMessagesQueued) {
    ASSERT_EQ(0u, module->initialize());
    deliver(L"Core.Firewall.State", L"{\"state\":\"on\",\"off_by_user\":true}");
    EXPECT_EQ(0u, module->stop());
    EXPECT_EQ(0u, formatter->calls());
}

TEST_F(GlanceImplTest, AStartedModuleRefusesASecondStartAndStopsWhenDestroyed) {
    testfakes::ScopedRecordingLogger log;
    ASSERT_EQ(0u, module->initialize());
    ASSERT_EQ(0u, module->start());
    EXPECT_EQ(MODULE_STATUS_INVALID_STATE, module->start());
    EXPECT_EQ(L"Module already started", log->texts().back());
    EXPECT_EQ(L"Vanta::GlanceImpl::start", log->records().back().function);
    deliver(L"Core.Firewall.State", L"{\"state\":\"on\",\"off_by_user\":true}");
    module.reset();
    // Stopping lets the worker take the message still queued.
    EXPECT_EQ(1u, formatter->calls());
    const auto texts = log->texts();
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(),
                                     L"Module destroyed while started: stopping it"));
}

TEST_F(GlanceImplTest, FailuresAreLoggedAndAnswered) {
    testfakes::ScopedRecordingLogger log;
    bus.answerSubscriptions({1, 0});
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, module->initialize());
    // After the client's own line for the refused subscription.
    auto texts = log->texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ(L"Failed to subscribe to all messages", texts[1]);
    EXPECT_EQ(L"Could not subscribe to required messages", texts[2]);
    EXPECT_EQ(2u, bus.callsTo(E::kSubscribe).size()); // the first stays, nothing after

    log->clear();
    bus.answer(E::kPublish, MODULE_STATUS_UNSUCCESSFUL);
    module->refreshStatus();
    texts = log->texts();
    EXPECT_EQ(L"Failed to publish refresh message Core.Antivirus.RefreshLastScanTime",
              std::find_if(texts.begin(), texts.end(),
                           [](const auto& t) { return t.find(L"refresh message") != t.npos; })[0]);
    EXPECT_EQ(8, std::count_if(texts.begin(), texts.end(), [](const auto& t) {
                  return t.starts_with(L"Failed to publish refresh message ");
              }));
    const auto payload = std::make_shared<std::wstring>(L"kept");
    log->clear();
    EXPECT_EQ(0u, module->createTiles(payload));
    EXPECT_EQ(L"Failed to publish tile payload.", log->texts().back());
    EXPECT_EQ(L"kept", *payload);

    log->clear();
    formatter->fails = true;
    EXPECT_EQ(0u, module->createTiles(payload));
    EXPECT_EQ(L"Failed to generate tile payload.", log->texts().back());
    EXPECT_EQ(L"Vanta::GlanceImpl::createTiles", log->records().back().function);

    formatter->fails = false;
    bus.answer(E::kPublish, MODULE_STATUS_SUCCESS);
    const uint32_t tiles = module->createTiles(payload);
    EXPECT_GT(tiles, 0u);
    EXPECT_EQ(payloads().back(), *payload);
}

TEST_F(GlanceImplTest, StatisticsFromTheTwelveCounters) {
    testfakes::ScopedRecordingLogger log;
    state->filesScanned = 5;
    state->connectionsBlocked = 6;
    module->readStatistics();
    std::vector<std::wstring> expected;
    for (const std::wstring& key : kCounters) {
        expected.push_back(L"Failed to read statistics from " + key);
    }
    EXPECT_EQ(expected, log->texts());
    for (const auto& record : log->records()) {
        EXPECT_EQ(3u, record.level);
        EXPECT_EQ(L"Vanta::GlanceImpl::readStatKeyDword", record.function);
    }
    EXPECT_EQ(0u, state->threatsRemoved);
    EXPECT_EQ(0u, state->threatsDetected);
    EXPECT_FALSE(state->threatsUnresolved);
    EXPECT_EQ(5u, state->filesScanned);
    EXPECT_EQ(6u, state->connectionsBlocked);

    for (size_t i = 1; i < 5; ++i) {
        registry->set(kCounters[i], L"SDSValue", 1); // RootKitsResolved stays unreadable
    }
    registry->set(kCounters[5], L"SDSValue", 7);
    registry->set(kCounters[10], L"SDSValue", 123456);
    registry->set(kCounters[11], L"SDSValue", 0xFFFFFFFF);
    for (int read = 0; read < 3; ++read) {
        module->readStatistics();
        EXPECT_EQ(4u, state->threatsRemoved);
        EXPECT_EQ(7u, state->threatsDetected);
        EXPECT_TRUE(state->threatsUnresolved);
        EXPECT_EQ(123456u, state->filesScanned);
        EXPECT_EQ(0xFFFFFFFFu, state->connectionsBlocked);
    }
}
