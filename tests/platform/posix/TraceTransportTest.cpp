// The Linux trace transport for real: the sink over the system TraceAPI and
// a TraceSession in one process, meeting in a rendezvous folder of the test's
// own. Every record sent while a session holds the provider arrives; bad
// datagrams are dropped by both sides.
#include "platform/posix/TraceTransport.h"
#include "TraceEventDecoder.h"
#include "logging/CETWLogging.h"
#include "platform/TraceSession.h"

#include "fakes/ScratchTraceKey.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace {

using ETWLogging::CETWLogging;
using testfakes::ScratchTraceKey;

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class TraceTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/kt-XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(folder));
        folder_ = folder;
        ::setenv("KESTREL_TRACE_DIR", folder, 1);
    }
    void TearDown() override {
        ::unsetenv("KESTREL_TRACE_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::unique_ptr<CETWLogging> newSink() {
        auto sink = std::make_unique<CETWLogging>();
        EXPECT_EQ(0u, sink->InitializeEx(ScratchTraceKey::name().c_str(), L"Glance", nullptr,
                                         nullptr, nullptr));
        return sink;
    }

    // Decoded events until `count` arrived or nothing comes for a while.
    std::vector<Vanta::TraceEventRecord> receive(Vanta::TraceSession& session, size_t count,
                                                 uint32_t quietMs = 2000) {
        std::vector<Vanta::TraceEventRecord> records;
        std::vector<uint8_t> event;
        while (records.size() < count && session.next(event, quietMs)) {
            Vanta::TraceEventRecord record;
            if (Vanta::decodeTraceEvent(event.data(), event.size(), record)) {
                records.push_back(record);
            } else {
                ++malformed;
            }
        }
        return records;
    }

    ScratchTraceKey key;
    std::string folder_;
    int malformed = 0;
};

TEST_F(TraceTransportTest, SessionFirstGetsEveryRecordFromEveryThread) {
    constexpr int kThreads = 4;
    constexpr int kEach = 150;
    Vanta::TraceSession session;
    ASSERT_EQ(0u, session.start(key.provider, 1, 0));
    std::vector<Vanta::TraceEventRecord> records;
    std::thread reader([&] { records = receive(session, kThreads * kEach); });
    auto sink = newSink();
    ASSERT_EQ(0u, sink->Start()); // the reading session enables it before this returns
    EXPECT_EQ(1u, sink->GetSeverity());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < kEach; ++n) {
                sink->LogEx(1 + static_cast<uint32_t>(n % 6), L"Writer", L"write", t, L"%d", n);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    reader.join();
    ASSERT_EQ(static_cast<size_t>(kThreads * kEach), records.size());
    EXPECT_EQ(0, malformed);
    std::map<int32_t, int> nextOf; // each thread's records arrive in its order
    for (const auto& record : records) {
        EXPECT_EQ(std::to_string(nextOf[record.line]++), record.message);
        EXPECT_EQ(L"Glance", record.group);
        EXPECT_EQ(static_cast<uint32_t>(::getpid()), record.processId);
        EXPECT_NE(0, record.timeStamp);
    }
}

TEST_F(TraceTransportTest, LaterSessionTakesOverAndAnEndedOneLetsGo) {
    auto sink = newSink();
    ASSERT_EQ(0u, sink->Start());
    sink->LogEx(4, L"F", L"Fn", 1, L"nobody listens");
    {
        Vanta::TraceSession session;
        ASSERT_EQ(0u, session.start(key.provider, 2, 0));
        ASSERT_TRUE(
            eventually([&] { return sink->GetSeverity() == 2 && !sink->IsSameSession(0); }));
        // A second session changes nothing while the first holds the provider.
        Vanta::TraceSession second;
        ASSERT_EQ(0u, second.start(key.provider, 5, 0));
        sink->LogEx(2, L"F", L"Fn", 2, L"to the first");
        const auto records = receive(session, 1);
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ("to the first", records[0].message);
        std::vector<uint8_t> none;
        EXPECT_FALSE(second.next(none, 100));
        EXPECT_EQ(2u, sink->GetSeverity());
    }
    ASSERT_TRUE(eventually([&] { return sink->IsSameSession(0) && !sink->IsEnabled(); }));

    // A session that dies without disabling: the provider notices on its next
    // send and lets go, so that the next session can take it.
    const std::string dead =
        folder_ + "/" + Vanta::internal::traceSocketPrefix(key.provider, 's') + "dead";
    const int socket = Vanta::internal::bindTraceSocket(dead);
    ASSERT_GE(socket, 0);
    for (const std::string& provider : Vanta::internal::traceSocketsWithPrefix(
             folder_, Vanta::internal::traceSocketPrefix(key.provider, 'p'))) {
        sockaddr_un address{};
        socklen_t length = 0;
        ASSERT_TRUE(Vanta::internal::traceAddress(provider, address, length));
        Vanta::internal::TraceControl enable;
        enable.kind = Vanta::internal::TraceControl::kEnable;
        enable.session = 99;
        enable.level = 3;
        enable.provider = key.provider;
        EXPECT_EQ(0, Vanta::internal::sendTraceDatagram(
                         socket, address, length, Vanta::internal::encodeTraceControl(enable)));
    }
    ASSERT_TRUE(eventually([&] { return sink->IsSameSession(99); }));
    ::close(socket);
    ::unlink(dead.c_str());
    sink->LogEx(4, L"F", L"Fn", 3, L"into the void");
    ASSERT_TRUE(eventually([&] { return sink->IsSameSession(0); }));
    Vanta::TraceSession next;
    ASSERT_EQ(0u, next.start(key.provider, 4, 0));
    ASSERT_TRUE(eventually([&] { return !sink->IsSameSession(0); }));
    sink->LogEx(4, L"F", L"Fn", 4, L"to the next");
    const auto records = receive(next, 1);
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("to the next", records[0].message);
}

TEST_F(TraceTransportTest, BadDatagramsAreDroppedByBothSides) {
    Vanta::TraceSession session;
    ASSERT_EQ(0u, session.start(key.provider, 3, 0));
    auto sink = newSink();
    ASSERT_EQ(0u, sink->Start());
    std::vector<uint8_t> none;
    EXPECT_FALSE(session.next(none, 300)); // answers the provider's request
    ASSERT_TRUE(eventually([&] { return !sink->IsSameSession(0); }));

    const std::string sender = folder_ + "/sender";
    const int socket = Vanta::internal::bindTraceSocket(sender);
    ASSERT_GE(socket, 0);
    Vanta::internal::TraceControl control;
    control.provider = key.provider;
    control.session = 5;
    control.level = 1;
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {0x4B, 0x54, 0x52, 0x43},
        std::vector<uint8_t>(40, 0xFF),
        std::vector<uint8_t>(4000, 0x50),
    };
    control.kind = static_cast<Vanta::internal::TraceControl::Kind>(9); // unknown request
    bad.push_back(Vanta::internal::encodeTraceControl(control));
    control.kind = Vanta::internal::TraceControl::kDisable; // a session it never saw
    bad.push_back(Vanta::internal::encodeTraceControl(control));
    control.kind = Vanta::internal::TraceControl::kEnable;
    control.provider.data1 ^= 1; // another provider's
    bad.push_back(Vanta::internal::encodeTraceControl(control));
    auto withLength = bad.back();
    withLength.push_back(0);
    bad.push_back(withLength);

    auto sendAll = [&](const std::string& path) {
        sockaddr_un address{};
        socklen_t length = 0;
        ASSERT_TRUE(Vanta::internal::traceAddress(path, address, length));
        for (const auto& datagram : bad) {
            ::sendto(socket, datagram.data(), datagram.size(), 0,
                     reinterpret_cast<const sockaddr*>(&address), length);
        }
    };
    for (char role : {'p', 's'}) {
        for (const std::string& path : Vanta::internal::traceSocketsWithPrefix(
                 folder_, Vanta::internal::traceSocketPrefix(key.provider, role))) {
            sendAll(path);
        }
    }
    // The session hands non-control datagrams on; none of them decodes.
    const auto records = receive(session, 100, 300);
    EXPECT_TRUE(records.empty());
    // Requests for the session are dropped; the rest is handed on and fails
    // to decode: the cut magic, the 0xFF and 0x50 bytes, the unknown request
    // and the request one byte too long.
    EXPECT_EQ(5, malformed);
    // The provider still serves its session.
    EXPECT_EQ(3u, sink->GetSeverity());
    sink->LogEx(4, L"F", L"Fn", 1, L"still here");
    malformed = 0;
    const auto after = receive(session, 1);
    ASSERT_EQ(1u, after.size());
    EXPECT_EQ("still here", after[0].message);
    ::close(socket);
}

} // namespace
