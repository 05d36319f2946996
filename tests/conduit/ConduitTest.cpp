// Conduit.dll through its exports and table only, loaded as the module loads
// the bus library.
#include "fakes/ConduitLibrary.h"
#include "platform/LibraryHandle.h"
#include "platform/ProcessAPI.h"

#include "TestPaths.h"

#include <kestrel/MessageBusLibrary.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

const KestrelMessageBusFunctions& bus() {
    return testfakes::conduit();
}

// What reached one callback, with the means to wait for it.
struct Inbox {
    struct Entry {
        std::wstring name;
        std::wstring data;
        std::optional<KestrelRawMessageHeader> header;
        uint64_t replyIndex = 0;
        MODULE_STATUS status = 0;
        std::thread::id thread;
    };

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;
    // Runs inside the callback, before it returns.
    std::function<void(const Entry&)> react;

    void add(Entry entry) {
        if (react) {
            react(entry);
        }
        std::lock_guard lock(mutex);
        entries.push_back(std::move(entry));
        changed.notify_all();
    }
    bool waitFor(size_t count, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return entries.size() >= count; });
    }
    std::vector<Entry> snapshot() {
        std::lock_guard lock(mutex);
        return entries;
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return entries.size();
    }

    static MODULE_STATUS onMessage(void* context, const KestrelRawMessageHeader* header,
                                   const wchar_t* name, const wchar_t* sender,
                                   const wchar_t* data) {
        (void)sender;
        Entry entry;
        entry.name = name;
        entry.data = data;
        entry.header = *header;
        entry.thread = std::this_thread::get_id();
        static_cast<Inbox*>(context)->add(std::move(entry));
        return MODULE_STATUS_SUCCESS;
    }
    static MODULE_STATUS onReply(void* context, uint64_t replyIndex,
                                 const KestrelRawMessageHeader* header, const wchar_t* name,
                                 const wchar_t*, const wchar_t* data, MODULE_STATUS status) {
        Entry entry;
        entry.name = name != nullptr ? name : L"<null>";
        entry.data = data != nullptr ? data : L"<null>";
        if (header != nullptr) {
            entry.header = *header;
        }
        entry.replyIndex = replyIndex;
        entry.status = status;
        entry.thread = std::this_thread::get_id();
        static_cast<Inbox*>(context)->add(std::move(entry));
        return MODULE_STATUS_SUCCESS;
    }
};

// One handle on the process-wide bus, released at the end.
class Handle {
public:
    Handle() { EXPECT_EQ(0u, bus().open(&handle_)); }
    ~Handle() { release(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    KestrelBusHandle get() const { return handle_; }
    MODULE_STATUS release() {
        if (handle_ == nullptr) {
            return MODULE_STATUS_SUCCESS;
        }
        return bus().release(std::exchange(handle_, nullptr));
    }
    MODULE_STATUS publish(const wchar_t* name, const wchar_t* data = L"{}",
                          KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader()) {
        return bus().publish(handle_, &header, name, L"Test", data);
    }
    KestrelSubscriptionId subscribe(Inbox& inbox, const wchar_t* name) {
        return bus().subscribe(handle_, &inbox, &Inbox::onMessage, name);
    }
    KestrelSubscriptionId subscribePattern(Inbox& inbox, const wchar_t* pattern) {
        return bus().subscribeFilter(handle_, &inbox, &Inbox::onMessage, pattern);
    }
    MODULE_STATUS request(Inbox& replies, uint64_t index, const wchar_t* name, uint64_t timeoutMs,
                          const wchar_t* data = L"{}") {
        KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
        return bus().request(handle_, index, &replies, &Inbox::onReply, &header, name, L"Test",
                             data, timeoutMs);
    }

private:
    KestrelBusHandle handle_ = nullptr;
};

// Answers every request it sees, with the request's own header flagged as a reply.
void answerRequests(Inbox& inbox, Handle& responder) {
    inbox.react = [&responder](const Inbox::Entry& request) {
        KestrelRawMessageHeader header = *request.header;
        header.flags |= KESTREL_MESSAGE_FLAG_REPLY;
        responder.publish(L"Answer", (L"answer to " + request.data).c_str(), header);
    };
}

} // namespace

TEST(Conduit, ExportsAnswerTheTableAndTheVersion) {
    const Vanta::ScopedLibrary library = Vanta::loadLibraryFile(GLANCE_CONDUIT_LIBRARY);
    ASSERT_TRUE(library);
    auto create = reinterpret_cast<KestrelBusCreateObjectFn>(
        Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_CREATE_OBJECT));
    auto versionText = reinterpret_cast<KestrelBusGetVersionStrFn>(
        Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_GET_VERSION_STR));
    auto versionNumber = reinterpret_cast<KestrelBusGetVersionNumFn>(
        Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_GET_VERSION_NUM));
    ASSERT_NE(nullptr, create);
    ASSERT_NE(nullptr, Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_RELEASE_OBJECT));
    ASSERT_NE(nullptr, versionText);
    ASSERT_NE(nullptr, versionNumber);
    EXPECT_NE(nullptr, create(2001000));
    EXPECT_EQ(nullptr, create(2000000));
    EXPECT_EQ(nullptr, create(0));
    EXPECT_STREQ("1.0.0", versionText());
    EXPECT_EQ(1000000u, versionNumber());
}

TEST(Conduit, MessagesReachMatchingSubscriptionsOfEveryHandle) {
    // Inboxes outlive the handles that deliver to them.
    Inbox exact, pattern, partial, other;
    Handle first, second, publisher;
    EXPECT_NE(0u, first.subscribe(exact, L"Core.Update.State"));
    EXPECT_NE(0u, second.subscribePattern(pattern, L"Core\\..*State"));
    EXPECT_NE(0u, second.subscribePattern(partial, L"Update"));
    EXPECT_NE(0u, first.subscribe(other, L"Core.Update"));
    EXPECT_EQ(0u, publisher.publish(L"Core.Update.State", L"1"));
    EXPECT_EQ(0u, publisher.publish(L"Core.Firewall.State", L"2"));
    ASSERT_TRUE(pattern.waitFor(2));
    ASSERT_TRUE(exact.waitFor(1));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(1u, exact.size());
    EXPECT_EQ(0u, partial.size());
    EXPECT_EQ(0u, other.size());

    const auto delivered = exact.snapshot()[0];
    EXPECT_EQ(L"1", delivered.data);
    EXPECT_NE(std::this_thread::get_id(), delivered.thread);
    // A header that names no session gets the publisher's.
    Vanta::ProcessAPI process;
    uint32_t session = 0;
    process.ProcessIdToSessionId(process.GetCurrentProcessId(), session);
    EXPECT_EQ(session, uint32_t{delivered.header->session.sessionId});
    KestrelRawMessageHeader named = KestrelDefaultRawMessageHeader();
    named.session.sessionId = 77;
    EXPECT_EQ(0u, publisher.publish(L"Core.Update.State", L"3", named));
    ASSERT_TRUE(exact.waitFor(2));
    EXPECT_EQ(77u, uint32_t{exact.snapshot()[1].header->session.sessionId});
}

TEST(Conduit, EachSubscriptionSeesEachPublisherInOrder) {
    constexpr int kPublishers = 4;
    constexpr int kEach = 300;
    Inbox inboxes[2];
    Handle subscriber, publisher;
    for (Inbox& inbox : inboxes) {
        ASSERT_NE(0u, subscriber.subscribe(inbox, L"Ordered"));
    }
    std::vector<std::thread> threads;
    for (int p = 0; p < kPublishers; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i) {
                publisher.publish(L"Ordered",
                                  (std::to_wstring(p) + L":" + std::to_wstring(i)).c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (Inbox& inbox : inboxes) {
        ASSERT_TRUE(inbox.waitFor(kPublishers * kEach));
        std::map<int, int> last;
        for (const auto& entry : inbox.snapshot()) {
            const size_t colon = entry.data.find(L':');
            const int p = std::stoi(entry.data.substr(0, colon));
            const int i = std::stoi(entry.data.substr(colon + 1));
            EXPECT_EQ(last.count(p) ? last[p] + 1 : 0, i) << "publisher " << p;
            last[p] = i;
        }
    }
}

TEST(Conduit, NoCallbackRunsOrStartsAfterUnsubscribeReturns) {
    struct Slow {
        std::atomic<bool> inside{false};
        std::atomic<bool> removed{false};
        std::atomic<int> late{0};
        std::atomic<int> calls{0};
    } slow;
    Handle handle;
    const KestrelSubscriptionId id = bus().subscribe(
        handle.get(), &slow,
        [](void* context, const KestrelRawMessageHeader*, const wchar_t*, const wchar_t*,
           const wchar_t*) -> MODULE_STATUS {
            auto& state = *static_cast<Slow*>(context);
            state.late += state.removed.load();
            state.inside = true;
            ++state.calls;
            std::this_thread::sleep_for(1ms);
            state.inside = false;
            return 0;
        },
        L"Slow");
    ASSERT_NE(0u, id);
    std::atomic<bool> publishing{true};
    std::thread publisher([&] {
        while (publishing) {
            handle.publish(L"Slow");
        }
    });
    while (slow.calls < 5) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(0u, bus().unsubscribe(handle.get(), id));
    slow.removed = true;
    EXPECT_FALSE(slow.inside);
    std::this_thread::sleep_for(20ms);
    publishing = false;
    publisher.join();
    EXPECT_EQ(0, slow.late);
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND, bus().unsubscribe(handle.get(), id));
}

TEST(Conduit, CallbacksMayRemoveThemselves) {
    struct Self {
        KestrelBusHandle handle = nullptr;
        KestrelSubscriptionId id = 0;
        std::atomic<int> calls{0};
        std::atomic<MODULE_STATUS> answer{1};
    } self;
    struct Dropper {
        KestrelBusHandle handle = nullptr;
        std::atomic<int> calls{0};
        std::atomic<MODULE_STATUS> dropped{1};
        std::atomic<MODULE_STATUS> released{0};
    } dropper;
    Inbox marker;
    Handle handle;
    self.handle = dropper.handle = handle.get();
    self.id = bus().subscribe(
        handle.get(), &self,
        [](void* context, const KestrelRawMessageHeader*, const wchar_t*, const wchar_t*,
           const wchar_t*) -> MODULE_STATUS {
            auto& state = *static_cast<Self*>(context);
            ++state.calls;
            state.answer = bus().unsubscribe(state.handle, state.id);
            return 0;
        },
        L"Once");
    for (int i = 0; i < 5; ++i) {
        handle.publish(L"Once");
    }
    handle.subscribe(marker, L"Marker");
    handle.publish(L"Marker");
    ASSERT_TRUE(marker.waitFor(1));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(1, self.calls);
    EXPECT_EQ(0u, self.answer);

    // A reply callback that drops its own replies, and releasing from a bus thread.
    const KestrelReplyCallback onReply = [](void* context, uint64_t, const KestrelRawMessageHeader*,
                                            const wchar_t*, const wchar_t*, const wchar_t*,
                                            MODULE_STATUS) -> MODULE_STATUS {
        auto& state = *static_cast<Dropper*>(context);
        ++state.calls;
        state.released = bus().release(state.handle);
        state.dropped = bus().dropReplies(state.handle, nullptr);
        return 0;
    };
    KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
    ASSERT_EQ(0u,
              bus().request(handle.get(), 1, &dropper, onReply, &header, L"Nobody", L"T", L"", 1));
    // The callback answers dropReplies last; 1 until then.
    for (int waited = 0; dropper.dropped == 1 && waited < 10000; ++waited) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(1, dropper.calls);
    EXPECT_EQ(MODULE_STATUS_INVALID_STATE, dropper.released);
    EXPECT_EQ(0u, dropper.dropped);
}

TEST(Conduit, RequestsAreAnsweredOrTimeOutExactlyOnce) {
    Inbox questions, replies, slowQuestions;
    Handle requester, responder;
    answerRequests(questions, responder);
    ASSERT_NE(0u, responder.subscribe(questions, L"Question"));
    ASSERT_EQ(0u, requester.request(replies, 42, L"Question", 5000, L"q1"));
    ASSERT_TRUE(replies.waitFor(1));
    const auto answer = replies.snapshot()[0];
    EXPECT_EQ(42u, answer.replyIndex);
    EXPECT_EQ(0u, answer.status);
    EXPECT_EQ(L"Answer", answer.name);
    EXPECT_EQ(L"answer to q1", answer.data);
    EXPECT_NE(std::this_thread::get_id(), answer.thread);

    // Nobody answers: the time-out comes with no message.
    ASSERT_EQ(0u, requester.request(replies, 43, L"Unanswered", 20));
    ASSERT_TRUE(replies.waitFor(2));
    const auto timedOut = replies.snapshot()[1];
    EXPECT_EQ(43u, timedOut.replyIndex);
    EXPECT_EQ(MODULE_STATUS_TIMEOUT, timedOut.status);
    EXPECT_FALSE(timedOut.header.has_value());
    EXPECT_EQ(L"<null>", timedOut.name);

    // An answer after the time-out is dropped.
    ASSERT_NE(0u, responder.subscribe(slowQuestions, L"Slow question"));
    ASSERT_EQ(0u, requester.request(replies, 44, L"Slow question", 10));
    ASSERT_TRUE(replies.waitFor(3));
    ASSERT_TRUE(slowQuestions.waitFor(1));
    KestrelRawMessageHeader late = *slowQuestions.snapshot()[0].header;
    late.flags |= KESTREL_MESSAGE_FLAG_REPLY;
    EXPECT_EQ(0u, responder.publish(L"Late", L"", late));
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(3u, replies.size());
    EXPECT_EQ(MODULE_STATUS_TIMEOUT, replies.snapshot()[2].status);
}

TEST(Conduit, ReleaseEndsRequestsAndSubscriptions) {
    Inbox replies, messages;
    Handle other;
    KestrelBusHandle released = nullptr;
    {
        Handle handle;
        released = handle.get();
        ASSERT_NE(0u, handle.subscribe(messages, L"Live"));
        ASSERT_EQ(0u, handle.request(replies, 7, L"Nobody", 60000));
        ASSERT_EQ(0u, handle.request(replies, 8, L"Nobody", UINT64_MAX)); // never times out
        EXPECT_EQ(0u, handle.release());
        ASSERT_EQ(2u, replies.size()); // ended before release returned
        for (const auto& ended : replies.snapshot()) {
            EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, ended.status);
            EXPECT_FALSE(ended.header.has_value());
        }
    }
    other.publish(L"Live");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(0u, messages.size());
    // The released handle is refused everywhere.
    KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
    EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().publish(released, &header, L"x", L"", L""));
    EXPECT_EQ(0u, bus().subscribe(released, &messages, &Inbox::onMessage, L"x"));
    EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().release(released));
}

TEST(Conduit, ReleaseWaitsForTheCallbackThatRuns) {
    struct Busy {
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
    } busy;
    Handle handle;
    ASSERT_NE(0u, bus().subscribe(
                      handle.get(), &busy,
                      [](void* context, const KestrelRawMessageHeader*, const wchar_t*,
                         const wchar_t*, const wchar_t*) -> MODULE_STATUS {
                          auto& state = *static_cast<Busy*>(context);
                          state.started = true;
                          std::this_thread::sleep_for(50ms);
                          state.finished = true;
                          return 0;
                      },
                      L"Busy"));
    handle.publish(L"Busy");
    while (!busy.started) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(0u, handle.release());
    EXPECT_TRUE(busy.finished);
}

TEST(Conduit, BadInputIsAnsweredNotFollowed) {
    Inbox inbox;
    Handle handle;
    KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
    int unknown = 0;
    for (KestrelBusHandle bad :
         {static_cast<KestrelBusHandle>(nullptr), static_cast<KestrelBusHandle>(&unknown)}) {
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().publish(bad, &header, L"x", L"", L""));
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().publishEx(bad, &header, L"x", L"", L""));
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE,
                  bus().request(bad, 1, &inbox, &Inbox::onReply, &header, L"x", L"", L"", 1));
        EXPECT_EQ(0u, bus().subscribe(bad, &inbox, &Inbox::onMessage, L"x"));
        EXPECT_EQ(0u, bus().subscribeFilter(bad, &inbox, &Inbox::onMessage, L"x"));
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().unsubscribe(bad, 1));
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().dropReplies(bad, &Inbox::onReply));
        EXPECT_EQ(MODULE_STATUS_INVALID_HANDLE, bus().release(bad));
    }
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, bus().open(nullptr));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              bus().publish(handle.get(), &header, nullptr, L"", L""));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              bus().request(handle.get(), 1, &inbox, nullptr, &header, L"x", L"", L"", 1));
    EXPECT_EQ(0u, bus().subscribe(handle.get(), &inbox, nullptr, L"x"));
    EXPECT_EQ(0u, bus().subscribe(handle.get(), &inbox, &Inbox::onMessage, nullptr));
    EXPECT_EQ(0u, bus().subscribeFilter(handle.get(), &inbox, &Inbox::onMessage, L"(unbalanced"));
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND, bus().unsubscribe(handle.get(), 0));

    // Null header and texts from a publisher still deliver, with a default header.
    ASSERT_NE(0u, handle.subscribe(inbox, L"Bare"));
    EXPECT_EQ(0u, bus().publish(handle.get(), nullptr, L"Bare", nullptr, nullptr));
    ASSERT_TRUE(inbox.waitFor(1));
    EXPECT_EQ(KESTREL_RAW_MESSAGE_HEADER_VERSION, inbox.snapshot()[0].header->version);
    EXPECT_EQ(L"", inbox.snapshot()[0].data);
}

TEST(ConduitStress, LiveSubscriptionsLoseNothingAndRemovedOnesGetNothing) {
    constexpr int kPublishers = 8;
    constexpr int kEach = 400;
    Inbox permanent;
    Handle publisherHandle, subscriberHandle;
    ASSERT_NE(0u, subscriberHandle.subscribe(permanent, L"Stress"));
    struct Churned {
        std::atomic<bool> removed{false};
        std::atomic<int> afterRemoval{0};
    };
    std::atomic<bool> running{true};
    std::atomic<int> violations{0};
    std::vector<std::thread> churners;
    for (int c = 0; c < 2; ++c) {
        churners.emplace_back([&] {
            while (running) {
                Churned churned;
                const KestrelSubscriptionId id = bus().subscribe(
                    subscriberHandle.get(), &churned,
                    [](void* context, const KestrelRawMessageHeader*, const wchar_t*,
                       const wchar_t*, const wchar_t*) -> MODULE_STATUS {
                        auto& state = *static_cast<Churned*>(context);
                        state.afterRemoval += state.removed.load();
                        return 0;
                    },
                    L"Stress");
                std::this_thread::sleep_for(200us);
                bus().unsubscribe(subscriberHandle.get(), id);
                churned.removed = true;
                std::this_thread::sleep_for(100us);
                violations += churned.afterRemoval.load();
            }
        });
    }
    std::vector<std::thread> publishers;
    for (int p = 0; p < kPublishers; ++p) {
        publishers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                publisherHandle.publish(L"Stress");
            }
        });
    }
    for (std::thread& thread : publishers) {
        thread.join();
    }
    running = false;
    for (std::thread& thread : churners) {
        thread.join();
    }
    EXPECT_TRUE(permanent.waitFor(kPublishers * kEach, 20s));
    EXPECT_EQ(size_t{kPublishers * kEach}, permanent.size());
    EXPECT_EQ(0, violations.load());
}
