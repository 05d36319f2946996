// The module's one connection to the bus: MessageBus over a MessageBusShim. It
// keeps what the host library does not: the subscriptions whose callbacks the
// library calls back, the pending requests with their promises, and the
// session filter. It also delivers the host's direct messages locally.
//
// Locking: subscriptionLock guards the subscriptions and is held across the
// shim's subscribe calls and across the callbacks of a direct message (which
// therefore must not subscribe or unsubscribe on this client). It is not held
// while the shim unsubscribes: the bus library waits there for a running
// callback, which may itself subscribe. replyLock guards the pending requests
// and is never held while calling the shim or running a completion. The two
// are never held together; callbacks from the bus run without either.
#pragma once

#include "messagebus/MessageBus.h"
#include "platform/NamePattern.h"

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vanta {

class ProcessAPI;

class MessageBusClient : public MessageBus {
public:
    // Over the bus the module opens itself (MessageBusLib); its
    // ModuleException propagates.
    MessageBusClient();
    // Reads the session of the current process through `processApi` (a default one when
    // empty); a failed lookup leaves the session 0. Throws ModuleException without a shim.
    explicit MessageBusClient(std::shared_ptr<MessageBusShim> shim,
                              std::shared_ptr<ProcessAPI> processApi = {});
    // Removes every subscription and drops the pending replies: a Reply still waiting
    // ends as ReplyFailed.
    ~MessageBusClient() override;
    MessageBusClient(const MessageBusClient&) = delete;
    MessageBusClient& operator=(const MessageBusClient&) = delete;

    // A message whose header has the reply flag (and neither copy flag) is published twice:
    // as the reply, then as a plain message; the header keeps the changes.
    MODULE_STATUS publish(std::shared_ptr<Message> message) override;
    MODULE_STATUS publishEx(std::shared_ptr<Message> message) override;
    MODULE_STATUS request(std::shared_ptr<Message> message, Completion completion,
                          uint64_t timeoutMs) override;
    MODULE_STATUS request(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                          uint64_t timeoutMs) override;
    MODULE_STATUS requestEx(std::shared_ptr<Message> message, Completion completion,
                            uint64_t timeoutMs) override;
    MODULE_STATUS requestEx(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                            uint64_t timeoutMs) override;
    MODULE_STATUS subscribe(const std::wstring& name, const std::wstring& alias,
                            MessageCallback callback) override;
    MODULE_STATUS subscribe(const std::wstring& name, MessageCallback callback) override;
    MODULE_STATUS subscribeSession(const std::wstring& name, const std::wstring& alias,
                                   MessageCallback callback) override;
    MODULE_STATUS subscribeSession(const std::wstring& name, MessageCallback callback) override;
    MODULE_STATUS subscribeFilter(const std::wstring& pattern, const std::wstring& alias,
                                  MessageCallback callback) override;
    MODULE_STATUS subscribeFilter(const std::wstring& pattern, MessageCallback callback) override;
    MODULE_STATUS subscribeFilterSession(const std::wstring& pattern, const std::wstring& alias,
                                         MessageCallback callback) override;
    MODULE_STATUS subscribeFilterSession(const std::wstring& pattern,
                                         MessageCallback callback) override;
    MODULE_STATUS unsubscribe(const std::wstring& alias) override;

    // Settles the request with this index: status 0 with the message, MODULE_STATUS_TIMEOUT
    // as a time-out, anything else as a failure; then runs its completion, if any.
    // MODULE_STATUS_NOT_FOUND when no request is pending under the index.
    MODULE_STATUS replyCallback(uint64_t replyIndex, std::shared_ptr<Message> message,
                                MODULE_STATUS replyStatus);
    // Hands the message to every local subscription whose name equals the message name or
    // whose pattern matches all of it, one after the other on this thread.
    MODULE_STATUS dispatchDirectMessage(const std::shared_ptr<Message>& message);

    uint32_t currentSessionId() const noexcept { return sessionId; }

private:
    struct NameSubscription {
        uint32_t id = 0;
        std::wstring name;
        // Its address is the context given to the host: fixed while the lists grow.
        std::unique_ptr<MessageCallback> callback;
    };
    struct PatternSubscription {
        uint32_t id = 0;
        std::wstring pattern;
        NamePattern compiled;
        std::unique_ptr<MessageCallback> callback;
    };
    struct SubscriptionEntry {
        std::vector<NameSubscription> names;
        std::vector<PatternSubscription> patterns;
    };
    struct ReplySlot {
        std::promise<std::shared_ptr<Message>> promise;
        std::function<void()> completion; // empty for the Reply form
    };

    MODULE_STATUS internalPublish(const std::shared_ptr<Message>& message, bool useSecondForm);
    MODULE_STATUS internalRequest(const std::shared_ptr<Message>& message,
                                  std::shared_ptr<Reply>* reply, Completion completion,
                                  uint64_t timeoutMs, bool useSecondForm);
    MODULE_STATUS addNameSubscription(const std::wstring& name, const std::wstring& alias,
                                      MessageCallback callback);
    MODULE_STATUS addPatternSubscription(const std::wstring& pattern, const std::wstring& alias,
                                         MessageCallback callback);
    // The callback, or one that drops messages of other sessions when the session is known.
    MessageCallback sessionFiltered(MessageCallback callback) const;
    // Asks the shim to drop every id of the entry, then frees its callbacks; one that is
    // running on this thread (it removed itself) is kept until the client goes.
    void removeEntry(SubscriptionEntry entry);

    std::shared_ptr<MessageBusShim> shim;
    std::shared_ptr<ProcessAPI> processApi;
    std::mutex subscriptionLock;
    std::unordered_map<std::wstring, SubscriptionEntry> subscriptions;
    std::vector<std::unique_ptr<MessageCallback>> retiredCallbacks; // under subscriptionLock
    uint64_t nextReplyIndex = 0;
    ReplyHandler replyHandler;
    std::mutex replyLock;
    std::unordered_map<uint64_t, ReplySlot> pendingReplies;
    bool closing = false; // under replyLock: the client goes, no new requests
    uint32_t sessionId = 0;
};

} // namespace Vanta
