// The object-shaped interface over the host's bus function table. A context is
// the address of a callable owned by the message bus client: a MessageCallback
// for the subscriptions, the client's ReplyHandler for requests.
#pragma once

#include <kestrel/ModuleStatus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Vanta {

class Message;

// What a subscription context points to.
using MessageCallback = std::function<MODULE_STATUS(std::shared_ptr<Message>)>;
// What a request context points to: (reply index, reply message or empty, reply status).
using ReplyHandler =
    std::function<MODULE_STATUS(uint64_t, std::shared_ptr<Message>, MODULE_STATUS)>;

namespace internal {
// The subscription callback that the bus is running on this thread, null when none: a
// subscription removed from inside its own callback must not free the callable that runs.
MessageCallback*& runningCallback() noexcept;
} // namespace internal

class MessageBusShim {
public:
    virtual ~MessageBusShim() = default;
    // `useSecondForm` selects the host's second publish or request entry.
    virtual MODULE_STATUS publish(const std::shared_ptr<Message>& message, bool useSecondForm) = 0;
    virtual MODULE_STATUS request(const std::shared_ptr<Message>& message, uint64_t replyIndex,
                                  ReplyHandler* context, uint64_t timeoutMs,
                                  bool useSecondForm) = 0;
    virtual MODULE_STATUS dropReplies() = 0;
    // The host's subscription id, 0 when it refused.
    virtual uint32_t subscribe(const std::wstring& name, MessageCallback* context) = 0;
    virtual uint32_t subscribeFilter(const std::wstring& pattern, MessageCallback* context) = 0;
    virtual MODULE_STATUS unsubscribe(uint32_t id) = 0;
};

} // namespace Vanta
