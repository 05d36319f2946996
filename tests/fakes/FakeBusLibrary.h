// The host's bus library, faked: a C table of the ten entries that records
// every call, answers scripted statuses and subscription ids, and delivers
// messages and replies from a thread of its own. Like the real library it
// guarantees that after unsubscribe or dropReplies returns, that callback is
// not running and will not start (except when called from that callback).
#pragma once

#include <kestrel/MessageBusLibrary.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testfakes {

class FakeBusLibrary {
public:
    enum Entry : int {
        kOpen,
        kRelease,
        kPublish,
        kRequest,
        kSubscribe,
        kSubscribeFilter,
        kUnsubscribe,
        kDropReplies,
        kPublishEx,
        kRequestEx,
        kEntryCount
    };

    struct Call {
        explicit Call(Entry which) : entry(which) {}
        Entry entry;
        std::wstring name; // message name, or the name or pattern subscribed to
        std::wstring sender;
        std::wstring data;
        std::optional<KestrelRawMessageHeader> header;
        uint64_t replyIndex = 0;
        uint64_t timeoutMs = 0;
        void* context = nullptr;
        KestrelMessageCallback messageCallback = nullptr;
        KestrelReplyCallback replyCallback = nullptr;
        uint32_t id = 0; // the id subscribed (answered) or unsubscribed
    };

    // What a delivery or a reply carries.
    struct Delivery {
        std::wstring name;
        std::wstring sender;
        std::wstring data;
        KestrelRawMessageHeader header;
    };

    FakeBusLibrary();
    ~FakeBusLibrary(); // runs what was posted, then stops the delivery thread
    FakeBusLibrary(const FakeBusLibrary&) = delete;
    FakeBusLibrary& operator=(const FakeBusLibrary&) = delete;

    static const KestrelMessageBusFunctions* functions();
    KestrelBusHandle handle() { return this; }

    std::vector<Call> calls() const;
    std::vector<Call> callsTo(Entry entry) const;

    // The status that publish, request, release, unsubscribe and dropReplies answer from
    // now on (0 at first).
    void answer(Entry entry, MODULE_STATUS status);
    // The next subscriptions answer these ids in turn (0: refused); afterwards ids count on.
    void answerSubscriptions(std::vector<uint32_t> ids);
    // Runs inside a successful request call, on the caller's thread, before it returns.
    void onRequest(std::function<void(const Call&)> hook);

    // Deliveries from the fake's own thread, in the order posted.
    void post(uint32_t subscriptionId, Delivery delivery);
    // To every subscription (name or pattern) whose text equals the name.
    void postToSubscribers(Delivery delivery);
    // The reply to the pending request with that index; a non-zero status carries no message.
    // A request already answered (or dropped) gets nothing.
    void postReply(uint64_t replyIndex, MODULE_STATUS status, std::optional<Delivery> reply);
    // The same, on the calling thread (from onRequest, say); answers the callback's status,
    // or MODULE_STATUS_NOT_FOUND when no request is pending under the index.
    MODULE_STATUS replyNow(uint64_t replyIndex, MODULE_STATUS status,
                           std::optional<Delivery> reply);
    // Waits until everything posted so far has run.
    void drain();

    // Live subscriptions and pending requests.
    size_t subscriptionCount() const;
    size_t pendingRequestCount() const;

    static Delivery message(std::wstring name, std::wstring data = L"",
                            std::wstring sender = L"Fake");

private:
    struct Subscription {
        void* context;
        KestrelMessageCallback callback;
        std::wstring nameOrPattern;
    };
    struct PendingRequest {
        void* context;
        KestrelReplyCallback callback;
    };

    MODULE_STATUS record(Call call);
    uint32_t subscribe(Call call);
    MODULE_STATUS request(Call call);
    MODULE_STATUS unsubscribe(uint32_t id);
    MODULE_STATUS dropReplies(KestrelReplyCallback callback);
    void enqueue(std::function<void()> task);
    void run();
    // Waits for the delivery in progress, unless called from it.
    void waitForDelivery();
    MODULE_STATUS deliverReply(uint64_t replyIndex, MODULE_STATUS status,
                               const std::optional<Delivery>& reply);

    static FakeBusLibrary& of(KestrelBusHandle handle);
    static MODULE_STATUS tableOpen(KestrelBusHandle* handle);
    static MODULE_STATUS tableRelease(KestrelBusHandle handle);
    static MODULE_STATUS tablePublish(KestrelBusHandle, KestrelRawMessageHeader*, const wchar_t*,
                                      const wchar_t*, const wchar_t*);
    static MODULE_STATUS tablePublishEx(KestrelBusHandle, KestrelRawMessageHeader*, const wchar_t*,
                                        const wchar_t*, const wchar_t*);
    static MODULE_STATUS tableRequest(KestrelBusHandle, uint64_t, void*, KestrelReplyCallback,
                                      KestrelRawMessageHeader*, const wchar_t*, const wchar_t*,
                                      const wchar_t*, uint64_t);
    static MODULE_STATUS tableRequestEx(KestrelBusHandle, uint64_t, void*, KestrelReplyCallback,
                                        KestrelRawMessageHeader*, const wchar_t*, const wchar_t*,
                                        const wchar_t*, uint64_t);
    static KestrelSubscriptionId tableSubscribe(KestrelBusHandle, void*, KestrelMessageCallback,
                                                const wchar_t*);
    static KestrelSubscriptionId tableSubscribeFilter(KestrelBusHandle, void*,
                                                      KestrelMessageCallback, const wchar_t*);
    static MODULE_STATUS tableUnsubscribe(KestrelBusHandle, KestrelSubscriptionId);
    static MODULE_STATUS tableDropReplies(KestrelBusHandle, KestrelReplyCallback);

    mutable std::mutex mutex_; // everything below but the delivery lock
    std::vector<Call> calls_;
    MODULE_STATUS answers_[kEntryCount] = {};
    std::deque<uint32_t> scriptedIds_;
    uint32_t nextId_ = 1;
    std::function<void(const Call&)> onRequest_;
    std::map<uint32_t, Subscription> subscriptions_;
    std::map<uint64_t, PendingRequest> pending_;

    std::deque<std::function<void()>> tasks_;
    size_t posted_ = 0;
    size_t done_ = 0;
    bool stopping_ = false;
    std::condition_variable changed_;
    // Held by the delivery thread while a task runs.
    std::mutex deliveryLock_;
    std::thread thread_;
};

} // namespace testfakes
