// The process-wide message bus behind Conduit's table: every handle opened in
// the process joins it. Publishing delivers to every subscription whose name
// equals the message name or whose pattern matches all of it, on the
// delivery pool's threads, never on the publisher's.
//
// Requests and replies. A request is registered (requester, its reply index,
// context, callback, deadline) under a token of the bus before it is
// delivered; the request as delivered carries the token in its reply index
// and in the reserved header bytes (kTokenMarker at offset 0, the token at
// offset 8, both little-endian). A message published with flag bit 0 is a reply:
// the token it carries back (the reserved bytes when marked, else its reply
// index) finds the request, and the requester's callback gets the message
// with the requester's own reply index and status 0; a reply reaches no
// subscription (the client publishes a plain copy for them). Reply and time-out race
// for one removal of the request; a late reply is dropped. The second
// publish and request forms behave as the first.
//
// Sessions: a version 2 header that names no session gets the publisher's,
// the session of this process, so session filters see where a message came
// from.
#pragma once

#include "DeliveryPool.h"
#include "RequestTimer.h"
#include "platform/NamePattern.h"

#include <kestrel/MessageBusLibrary.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace conduit {

class Bus {
public:
    static constexpr uint32_t kTokenMarker = 0x54444E43; // "CNDT"
    // What a handle's pending requests end with when the handle is released.
    static constexpr MODULE_STATUS kReleasedStatus = MODULE_STATUS_INVALID_HANDLE;
    // How long release waits for callbacks that are running (and unsubscribe or dropReplies
    // when called from another callback).
    static constexpr std::chrono::seconds kReleaseWait{10};

    // Created on first use; its threads run while a handle is open.
    static Bus& instance();

    MODULE_STATUS open(KestrelBusHandle* handle);
    MODULE_STATUS release(KestrelBusHandle handle);
    MODULE_STATUS publish(KestrelBusHandle handle, const KestrelRawMessageHeader* header,
                          const wchar_t* name, const wchar_t* sender, const wchar_t* data);
    MODULE_STATUS request(KestrelBusHandle handle, uint64_t replyIndex, void* context,
                          KestrelReplyCallback callback, const KestrelRawMessageHeader* header,
                          const wchar_t* name, const wchar_t* sender, const wchar_t* data,
                          uint64_t timeoutMs);
    // 0 when refused: unknown handle, no callback or name, a pattern that does not compile.
    KestrelSubscriptionId subscribe(KestrelBusHandle handle, void* context,
                                    KestrelMessageCallback callback, const wchar_t* nameOrPattern,
                                    bool isPattern);
    // Both return once the callback is not running and will not start; called from another
    // callback they wait at most kReleaseWait and then answer MODULE_STATUS_TIMEOUT.
    MODULE_STATUS unsubscribe(KestrelBusHandle handle, KestrelSubscriptionId id);
    MODULE_STATUS dropReplies(KestrelBusHandle handle, KestrelReplyCallback callback);

private:
    struct Envelope;
    struct Subscription;
    struct HandleState;
    struct Pending;
    using EnvelopePtr = std::shared_ptr<const Envelope>;

    Bus();
    HandleState* find(KestrelBusHandle handle); // under mutex_
    std::shared_ptr<Envelope> envelope(const KestrelRawMessageHeader* header, const wchar_t* name,
                                       const wchar_t* sender, const wchar_t* data) const;
    void deliver(const EnvelopePtr& message);  // under mutex_
    void routeReply(const EnvelopePtr& reply); // under mutex_
    void expire(uint64_t token);
    void postReply(const Pending& pending, EnvelopePtr reply, MODULE_STATUS status);
    static Deadline callbackWait();

    std::mutex lifecycle_; // serialises open and release
    std::mutex mutex_;     // everything below
    std::map<KestrelBusHandle, std::unique_ptr<HandleState>> handles_;
    std::unordered_multimap<std::wstring, std::shared_ptr<Subscription>> byName_;
    std::vector<std::shared_ptr<Subscription>> patterns_;
    std::map<KestrelSubscriptionId, std::shared_ptr<Subscription>> subscriptions_;
    std::map<uint64_t, std::unique_ptr<Pending>> pending_;
    KestrelSubscriptionId nextId_ = 1;
    uint64_t nextToken_ = 1;
    uint32_t session_ = 0;
    DeliveryPool pool_;
    RequestTimer timer_;
};

} // namespace conduit
