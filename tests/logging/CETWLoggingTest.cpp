// The trace sink through a fake session: what a session's level and the
// registry let through, the level each event carries, the event's bytes, who
// holds the provider, and the initialisation codes.
#include "logging/CETWLogging.h"
#include "logging/CETWConfigurationListener.h"
#include "logging/ModuleFileIdentity.h"
#include "platform/CurrentModule.h"
#include "platform/CurrentThread.h"
#include "platform/ExecutablePath.h"
#include "platform/PathSeparator.h"
#include "platform/ProcessAPI.h"
#include "platform/TextCodec.h"

#include "fakes/FakeTraceAPI.h"
#include "fakes/ScratchTraceKey.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using ETWLogging::CETWLogging;
using testfakes::FakeTraceAPI;
using testfakes::ScratchTraceKey;

constexpr Vanta::TraceHandle kFirstSession = 0x1001;
constexpr Vanta::TraceHandle kSecondSession = 0x2002;

class TraceSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        sink = std::make_unique<CETWLogging>(trace);
        ASSERT_EQ(0u, sink->InitializeEx(ScratchTraceKey::name().c_str(), L"Glance",
                                         Vanta::currentModuleHandle(), nullptr, nullptr));
        ASSERT_EQ(0u, sink->Start());
    }

    // The levels 1-7 that pass the sink's test.
    std::vector<uint32_t> passing() {
        std::vector<uint32_t> levels;
        for (uint32_t level = 1; level <= 7; ++level) {
            if (sink->IsLevelEnabled(level)) {
                levels.push_back(level);
            }
        }
        return levels;
    }

    ScratchTraceKey key;
    std::shared_ptr<FakeTraceAPI> trace = std::make_shared<FakeTraceAPI>();
    std::unique_ptr<CETWLogging> sink;
};

TEST_F(TraceSinkTest, SessionLevelThenRegistryOverridesMostSpecificLast) {
    EXPECT_EQ(key.provider, trace->controlGuid);
    ASSERT_EQ(0u, trace->enable(kFirstSession, 4));
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 5, 6, 7}), passing());

    ScratchTraceKey::setDword(L"Provider", L"Severity", 2);
    ASSERT_EQ(0u, trace->enable(kFirstSession, 4)); // the same session again
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 4, 5, 6, 7}), passing());

    // The group's key, then the composed name's key below it, win.
    ScratchTraceKey::setDword(L"Provider\\Glance", L"Severity", 5);
    ASSERT_EQ(0u, trace->enable(kFirstSession, 4));
    EXPECT_EQ(5u, sink->GetSeverity());
    ASSERT_EQ(std::wstring(L"Glance\\") + sink->GetModuleName(Vanta::currentModuleHandle(), true),
              sink->GetComposedName());
    ScratchTraceKey::setDword(std::wstring(L"Provider\\") + sink->GetComposedName(), L"Severity",
                              1);
    ScratchTraceKey::setDword(L"Provider\\Glance", L"Enable", 0);
    ASSERT_EQ(0u, trace->enable(kFirstSession, 4));
    EXPECT_EQ(1u, sink->GetSeverity());
    EXPECT_FALSE(sink->IsEnabled());
    sink->LogEx(4, L"F", L"Fn", 1, L"dropped");
    EXPECT_TRUE(trace->events().empty());

    // A value of the wrong type changes nothing.
    ScratchTraceKey::removeKey(L"Provider", L"Glance");
    Strato::CRegKey provider;
    ASSERT_EQ(Strato::kErrorSuccess,
              provider.Open(Strato::kHKeyLocalMachine, ScratchTraceKey::path(L"Provider").c_str()));
    provider.SetStringValue(L"Severity", L"6");
    ASSERT_EQ(0u, trace->enable(kFirstSession, 5));
    EXPECT_EQ(5u, sink->GetSeverity());
    EXPECT_TRUE(sink->IsEnabled());
}

TEST_F(TraceSinkTest, EachLevelIsSentWithItsTraceLevel) {
    ASSERT_EQ(0u, trace->enable(kFirstSession, 1));
    struct Case {
        uint32_t level;
        uint32_t severity;
        bool sent;
        uint8_t traceLevel;
    };
    const Case cases[] = {
        {1, 1, true, 1}, {5, 1, true, 5},  {6, 1, true, 3}, {7, 1, true, 3},
        {3, 6, true, 3}, {2, 6, false, 0}, {6, 6, true, 3}, {0, 1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " severity " << c.severity);
        trace->clearEvents();
        sink->SetSeverity(c.severity);
        EXPECT_EQ(0u, sink->LogEx(c.level, L"F", L"Fn", 1, L"level %u", c.level));
        const auto events = trace->eventsOf(kFirstSession);
        ASSERT_EQ(c.sent ? 1u : 0u, events.size());
        if (c.sent) {
            EXPECT_EQ(c.traceLevel, events[0].header.header.classLevel);
        }
    }
    EXPECT_EQ(3u, sink->MapLevel(0));
    EXPECT_EQ(3u, sink->MapLevel(6));
    EXPECT_EQ(5u, sink->MapLevel(5));
    EXPECT_EQ(87u, sink->LogEx(3, L"F", L"Fn", 1, nullptr));
}

// Little-endian bytes of the fields block, written out by hand.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& u16(uint32_t v) { return n(v, 2); }
    Bytes& u32(uint32_t v) { return n(v, 4); }
    Bytes& u64(uint64_t v) { return n(v, 8); }
    Bytes& counted(const std::wstring& text) {
        u16(static_cast<uint32_t>(text.size()));
        for (wchar_t unit : text) {
            u16(static_cast<uint32_t>(unit));
        }
        return *this;
    }
    Bytes& n(uint64_t v, int width) {
        for (int i = 0; i < width; ++i) {
            data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
        return *this;
    }
};

TEST_F(TraceSinkTest, EventLayoutByteForByte) {
    ASSERT_EQ(0u, trace->enable(kFirstSession, 1));
    ASSERT_EQ(0u, sink->LogEx(4, L"GlanceImpl", L"Vanta::GlanceImpl::createTiles", -7, L"%s: %lu",
                              L"caf\u00e9 \u20ac", 42u));
    const auto events = trace->eventsOf(kFirstSession);
    ASSERT_EQ(1u, events.size());
    const KestrelTraceEvent& event = events[0].header;
    EXPECT_EQ(80u, event.header.size);
    EXPECT_EQ(0x120000u, event.header.flags);
    EXPECT_EQ(1u, event.header.classType);
    EXPECT_EQ(4u, event.header.classLevel);
    EXPECT_EQ(2u, event.header.classVersion);
    EXPECT_EQ(0xCD1DAAD0u, event.header.guid.data1);
    EXPECT_EQ(0x11E0u, event.header.guid.data3);
    EXPECT_EQ(0x66u, event.header.guid.data4[7]);
    EXPECT_EQ(0xCD1DAAD0u, trace->traceClassGuid.data1);

    const std::string message = "caf\xC3\xA9 \xE2\x82\xAC: 42";
    const std::wstring exe = Vanta::executablePath();
    const ETWLogging::ModuleFileIdentity& identity = ETWLogging::thisModuleFileIdentity();
    Bytes expected;
    expected.u32(Vanta::ProcessAPI().GetCurrentProcessId())
        .u32(Vanta::currentThreadId())
        .counted(exe.substr(exe.find_last_of(Vanta::kPathSeparator) + 1))
        .counted(L"GlanceImpl")
        .counted(L"Vanta::GlanceImpl::createTiles")
        .u32(static_cast<uint32_t>(-7))
        .counted(identity.fileName)
        .counted(identity.version)
        .counted(L"Glance")
        .u64(message.size());
    EXPECT_EQ(expected.data, events[0].fields);
    EXPECT_EQ(message, events[0].message);
    EXPECT_EQ(expected.data.size(), event.descriptors[0].length);
    EXPECT_EQ(message.size(), event.descriptors[1].length);
    EXPECT_EQ(Vanta::currentModuleFileName(), identity.fileName);
}

TEST_F(TraceSinkTest, LongMessagesAreCutTo2079UnitsAndConvertedWhole) {
    ASSERT_EQ(0u, trace->enable(kFirstSession, 1));
    struct Case {
        const char* what;
        std::wstring text;
        std::string utf8;
    };
    const Case cases[] = {
        {"5000 ASCII characters", std::wstring(5000, L'a'), std::string(2079, 'a')},
        // 2079 three-byte characters do not fit the stack buffer.
        {"5000 euro signs", std::wstring(5000, L'\u20ac'),
         [] {
             std::string s;
             for (int i = 0; i < 2079; ++i) {
                 s += "\xE2\x82\xAC";
             }
             return s;
         }()},
        {"2079 characters whole", std::wstring(2079, L'b'), std::string(2079, 'b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trace->clearEvents();
        sink->LogTextEx(1, L"F", L"Fn", 1, c.text.c_str());
        const auto events = trace->eventsOf(kFirstSession);
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(c.utf8, events[0].message);
    }
}

TEST_F(TraceSinkTest, FirstSessionKeepsTheProvider) {
    ASSERT_EQ(0u, trace->enable(kFirstSession, 4));
    ASSERT_EQ(0u, trace->enable(kSecondSession, 1));
    EXPECT_TRUE(sink->IsSameSession(kFirstSession));
    EXPECT_EQ(4u, sink->GetSeverity());
    // The second session letting go must not silence the first.
    ASSERT_EQ(0u, trace->disable(kSecondSession));
    EXPECT_TRUE(sink->IsEnabled());
    sink->LogEx(4, L"F", L"Fn", 1, L"to the first");
    ASSERT_EQ(1u, trace->eventsOf(kFirstSession).size());
    EXPECT_TRUE(trace->eventsOf(kSecondSession).empty());

    ASSERT_EQ(0u, trace->disable(kFirstSession));
    EXPECT_FALSE(sink->IsEnabled());
    EXPECT_TRUE(sink->IsSameSession(0));
    // Now the other session may take the provider.
    ASSERT_EQ(0u, trace->enable(kSecondSession, 2));
    EXPECT_TRUE(sink->IsSameSession(kSecondSession));
    EXPECT_EQ(2u, sink->GetSeverity());
}

TEST_F(TraceSinkTest, BadControlRequestsAreRefused) {
    EXPECT_EQ(87u, trace->control(2, kFirstSession));
    EXPECT_EQ(87u, sink->OnTraceControl(KESTREL_TRACE_ENABLE_EVENTS, nullptr));
    // A session the system does not know: its level cannot be read.
    EXPECT_EQ(6u, trace->control(KESTREL_TRACE_ENABLE_EVENTS, 0x3003));
}

TEST_F(TraceSinkTest, RegistersOnceAndUnregistersOnUninitializeAndDestruction) {
    EXPECT_EQ(20001u, sink->InitializeEx(nullptr, L"Glance", nullptr, nullptr, nullptr));
    std::vector<std::thread> threads;
    std::atomic<bool> go{false};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            while (!go) {
            }
            for (int n = 0; n < 50; ++n) {
                sink->Start();
                sink->LogEx(4, L"F", L"Fn", n, L"n=%d", n);
            }
        });
    }
    go = true;
    trace->enable(kFirstSession, 4);
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(1, trace->registrations);
    EXPECT_EQ(0u, sink->Uninitialize());
    EXPECT_EQ(1, trace->unregistrations);
    EXPECT_FALSE(sink->IsEnabled());
    EXPECT_TRUE(sink->IsSameSession(0));
    sink->Start();
    EXPECT_EQ(2, trace->registrations);
    sink.reset();
    EXPECT_EQ(2, trace->unregistrations);
}

TEST(TraceSink, FailedRegistrationIsAnsweredOnceAndNotRetried) {
    ScratchTraceKey key;
    auto trace = std::make_shared<FakeTraceAPI>();
    trace->registerResult = 5;
    CETWLogging sink(trace);
    ASSERT_EQ(0u, sink.InitializeEx(ScratchTraceKey::name().c_str(), L"Glance", nullptr, nullptr,
                                    nullptr));
    EXPECT_EQ(5u, sink.Start());
    EXPECT_EQ(0u, sink.Start());
    EXPECT_EQ(1, trace->registrations);
    EXPECT_EQ(0u, sink.LogEx(3, L"F", L"Fn", 1, L"no session"));
}

TEST(TraceSink, InitializationCodes) {
    ScratchTraceKey key;
    struct Case {
        const char* what;
        const wchar_t* applicationKey;
        const wchar_t* group;
        const wchar_t* host;
        uint32_t code;
    };
    const std::wstring scratch = ScratchTraceKey::name();
    const Case cases[] = {
        {"its own key", scratch.c_str(), L"Glance", nullptr, 0},
        {"empty group", scratch.c_str(), L"", nullptr, 87},
        {"empty host", scratch.c_str(), L"Glance", L"", 87},
        {"missing key of another name", L"NoSuchApplication", L"Glance", nullptr, 87},
        {"missing KSQ key: the defaults", nullptr, L"Glance", L"host", 0},
        {"ksq in other letters", L"ksq", nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CETWLogging sink(std::make_shared<FakeTraceAPI>());
        EXPECT_EQ(c.code, sink.InitializeEx(c.applicationKey, c.group, nullptr, c.host, nullptr));
    }

    auto trace = std::make_shared<FakeTraceAPI>();
    CETWLogging defaults(trace);
    ASSERT_EQ(0u, defaults.Initialize(L"Glance", nullptr, nullptr));
    EXPECT_EQ(L"SOFTWARE\\Talmor\\Logging\\Provider", defaults.properties().providerKeyPath());
    defaults.Start();
    EXPECT_EQ(0xE16CA450u, trace->controlGuid.data1);
}

// A listener handed in is the sink's to keep and is applied at once.
TEST(TraceSink, GivenListenerIsAppliedAndOwned) {
    struct Listener final : ETWLogging::LoggingConfigListenerIf {
        explicit Listener(int& applied, bool& destroyed)
            : applied_(applied), destroyed_(destroyed) {}
        ~Listener() override { destroyed_ = true; }
        void Apply(bool, uint32_t, uint32_t) override { ++applied_; }
        bool Attach(ETWLogging::CLoggingIf_ex*) override { return true; }
        void GetProviderKey(Strato::RegKeyHandle&, std::wstring&) override {}
        void ApplyKey(Strato::RegKeyHandle, const std::wstring&) override {}
        int& applied_;
        bool& destroyed_;
    };
    ScratchTraceKey key;
    int applied = 0;
    bool destroyed = false;
    {
        CETWLogging sink(std::make_shared<FakeTraceAPI>());
        ASSERT_EQ(0u, sink.InitializeEx(ScratchTraceKey::name().c_str(), L"Glance", nullptr,
                                        nullptr, new Listener(applied, destroyed)));
        EXPECT_EQ(1, applied);
    }
    EXPECT_TRUE(destroyed);

    ETWLogging::CETWConfigurationListener listener{ETWLogging::internal::ETWAppProperties()};
    CETWLogging target(std::make_shared<FakeTraceAPI>());
    EXPECT_FALSE(listener.Attach(nullptr));
    EXPECT_TRUE(listener.Attach(&target));
    EXPECT_FALSE(listener.Attach(&target));
}

} // namespace
