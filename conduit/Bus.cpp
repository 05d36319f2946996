#include "Bus.h"

#include "platform/ByteOrder.h"
#include "platform/ProcessAPI.h"

#include <algorithm>
#include <cstring>
#include <regex>
#include <thread>

namespace conduit {

namespace {

// Longer time-outs mean no time-out: the clock cannot count that far.
constexpr uint64_t kMaxTimeoutMs = uint64_t{1} << 40;

std::wstring text(const wchar_t* value) {
    return value != nullptr ? std::wstring(value) : std::wstring();
}

void markToken(KestrelRawMessageHeader& header, uint64_t token) {
    std::vector<uint8_t> bytes;
    Vanta::appendLittleEndian(bytes, Bus::kTokenMarker);
    Vanta::appendLittleEndian(bytes, uint32_t{0});
    Vanta::appendLittleEndian(bytes, token);
    std::memcpy(header.reserved, bytes.data(), bytes.size());
    header.replyIndex = token;
}

} // namespace

struct Bus::Envelope {
    KestrelRawMessageHeader header;
    std::wstring name;
    std::wstring sender;
    std::wstring data;
};

struct Bus::HandleState {
    DeliveryPool::LanePtr replies; // the reply callbacks of its requests
    std::set<KestrelSubscriptionId> subscriptions;
    std::set<uint64_t> requests;
};

struct Bus::Subscription {
    KestrelSubscriptionId id;
    HandleState* owner;
    void* context;
    KestrelMessageCallback callback;
    std::wstring name;
    std::optional<Vanta::NamePattern> pattern;
    DeliveryPool::LanePtr lane;
};

struct Bus::Pending {
    HandleState* requester;
    uint64_t replyIndex; // the requester's own
    void* context;
    KestrelReplyCallback callback;
    std::optional<Clock::time_point> deadline;
};

Bus& Bus::instance() {
    // Its threads stop with the last handle, so unloading the library finds none to join.
    static Bus bus;
    return bus;
}

Bus::Bus() : timer_([this](uint64_t token) { expire(token); }) {
    Vanta::ProcessAPI process;
    uint32_t session = 0;
    if (process.ProcessIdToSessionId(process.GetCurrentProcessId(), session)) {
        session_ = session;
    }
}

Bus::HandleState* Bus::find(KestrelBusHandle handle) {
    const auto found = handles_.find(handle);
    return found != handles_.end() ? found->second.get() : nullptr;
}

MODULE_STATUS Bus::open(KestrelBusHandle* handle) {
    if (handle == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    std::lock_guard lifecycle(lifecycle_);
    auto state = std::make_unique<HandleState>();
    state->replies = pool_.makeLane();
    std::lock_guard lock(mutex_);
    if (handles_.empty()) {
        const unsigned cores = std::thread::hardware_concurrency();
        pool_.start(std::clamp(cores, 2u, 4u));
        timer_.start();
    }
    KestrelBusHandle opened = state.get();
    handles_.emplace(opened, std::move(state));
    *handle = opened;
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS Bus::release(KestrelBusHandle handle) {
    // Its own threads would wait for themselves.
    if (DeliveryPool::onBusThread()) {
        return MODULE_STATUS_INVALID_STATE;
    }
    std::lock_guard lifecycle(lifecycle_);
    std::unique_ptr<HandleState> state;
    std::vector<DeliveryPool::LanePtr> lanes;
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        const auto found = handles_.find(handle);
        if (found == handles_.end()) {
            return MODULE_STATUS_INVALID_HANDLE;
        }
        state = std::move(found->second);
        handles_.erase(found);
        for (const KestrelSubscriptionId id : state->subscriptions) {
            const auto subscription = subscriptions_.find(id);
            lanes.push_back(subscription->second->lane);
            std::erase_if(byName_, [id](const auto& entry) { return entry.second->id == id; });
            std::erase_if(patterns_, [id](const auto& entry) { return entry->id == id; });
            subscriptions_.erase(subscription);
        }
        for (const uint64_t token : state->requests) {
            const auto request = pending_.find(token);
            if (request->second->deadline) {
                timer_.cancel(*request->second->deadline, token);
            }
            postReply(*request->second, nullptr, kReleasedStatus);
            pending_.erase(request);
        }
        last = handles_.empty();
    }
    const Clock::time_point deadline = Clock::now() + kReleaseWait;
    bool settled = true;
    for (const DeliveryPool::LanePtr& lane : lanes) {
        settled = pool_.close(lane, deadline) && settled;
    }
    settled = pool_.drainThenClose(state->replies, deadline) && settled;
    // The threads stop only when no callback runs: joining one that never returns would not be
    // bounded. They then stay for the next handle.
    if (last && settled && pool_.awaitIdle(deadline)) {
        timer_.stop();
        pool_.stop();
    }
    return settled ? MODULE_STATUS_SUCCESS : MODULE_STATUS_TIMEOUT;
}

std::shared_ptr<Bus::Envelope> Bus::envelope(const KestrelRawMessageHeader* header,
                                             const wchar_t* name, const wchar_t* sender,
                                             const wchar_t* data) const {
    auto message = std::make_shared<Envelope>();
    message->header = KestrelDefaultRawMessageHeader();
    if (header != nullptr) {
        // Older versions end before the session extension.
        const bool current = header->version == KESTREL_RAW_MESSAGE_HEADER_VERSION;
        std::memcpy(&message->header, header,
                    current ? KESTREL_RAW_MESSAGE_HEADER_SIZE : KESTREL_RAW_MESSAGE_HEADER_V1_SIZE);
        message->header.version = KESTREL_RAW_MESSAGE_HEADER_VERSION;
        if (!current) {
            message->header.session = KestrelDefaultRawMessageHeader().session;
        }
    }
    if (message->header.session.sessionId == 0) {
        message->header.session.sessionId = session_;
    }
    message->name = text(name);
    message->sender = text(sender);
    message->data = text(data);
    return message;
}

void Bus::deliver(const EnvelopePtr& message) {
    const auto post = [&](const std::shared_ptr<Subscription>& subscription) {
        pool_.post(subscription->lane,
                   Work{nullptr, [subscription, message] {
                            subscription->callback(subscription->context, &message->header,
                                                   message->name.c_str(), message->sender.c_str(),
                                                   message->data.c_str());
                        }});
    };
    const auto [first, last] = byName_.equal_range(message->name);
    for (auto it = first; it != last; ++it) {
        post(it->second);
    }
    for (const std::shared_ptr<Subscription>& subscription : patterns_) {
        if (subscription->pattern->matchesWhole(message->name)) {
            post(subscription);
        }
    }
}

void Bus::postReply(const Pending& pending, EnvelopePtr reply, MODULE_STATUS status) {
    const void* tag = reinterpret_cast<const void*>(pending.callback);
    pool_.post(pending.requester->replies,
               Work{tag, [pending, reply = std::move(reply), status] {
                        if (status == MODULE_STATUS_SUCCESS && reply) {
                            pending.callback(pending.context, pending.replyIndex, &reply->header,
                                             reply->name.c_str(), reply->sender.c_str(),
                                             reply->data.c_str(), status);
                        } else {
                            // A failed request carries no message.
                            pending.callback(pending.context, pending.replyIndex, nullptr, nullptr,
                                             nullptr, nullptr, status);
                        }
                    }});
}

void Bus::routeReply(const EnvelopePtr& reply) {
    const KestrelRawMessageHeader& header = reply->header;
    const bool marked = Vanta::readLittleEndian<uint32_t>(header.reserved, 4) == kTokenMarker;
    const uint64_t token =
        marked ? Vanta::readLittleEndian<uint64_t>(header.reserved + 8, 8) : header.replyIndex;
    const auto found = pending_.find(token);
    if (found == pending_.end()) {
        return; // answered, timed out or dropped already
    }
    const Pending& pending = *found->second;
    if (pending.deadline) {
        timer_.cancel(*pending.deadline, token);
    }
    pending.requester->requests.erase(token);
    postReply(pending, reply, MODULE_STATUS_SUCCESS);
    pending_.erase(found);
}

void Bus::expire(uint64_t token) {
    std::lock_guard lock(mutex_);
    const auto found = pending_.find(token);
    if (found == pending_.end()) {
        return;
    }
    found->second->requester->requests.erase(token);
    postReply(*found->second, nullptr, MODULE_STATUS_TIMEOUT);
    pending_.erase(found);
}

MODULE_STATUS Bus::publish(KestrelBusHandle handle, const KestrelRawMessageHeader* header,
                           const wchar_t* name, const wchar_t* sender, const wchar_t* data) {
    if (name == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    EnvelopePtr message = envelope(header, name, sender, data);
    std::lock_guard lock(mutex_);
    if (find(handle) == nullptr) {
        return MODULE_STATUS_INVALID_HANDLE;
    }
    if ((message->header.flags & KESTREL_MESSAGE_FLAG_REPLY) != 0) {
        routeReply(message);
    } else {
        deliver(message);
    }
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS Bus::request(KestrelBusHandle handle, uint64_t replyIndex, void* context,
                           KestrelReplyCallback callback, const KestrelRawMessageHeader* header,
                           const wchar_t* name, const wchar_t* sender, const wchar_t* data,
                           uint64_t timeoutMs) {
    if (name == nullptr || callback == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const std::shared_ptr<Envelope> message = envelope(header, name, sender, data);
    // A request is never itself a reply.
    message->header.flags &= ~KESTREL_MESSAGE_FLAG_REPLY;
    std::lock_guard lock(mutex_);
    HandleState* requester = find(handle);
    if (requester == nullptr) {
        return MODULE_STATUS_INVALID_HANDLE;
    }
    const uint64_t token = nextToken_++;
    auto pending = std::make_unique<Pending>(Pending{requester, replyIndex, context, callback, {}});
    if (timeoutMs <= kMaxTimeoutMs) {
        pending->deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        timer_.add(*pending->deadline, token);
    }
    pending_.emplace(token, std::move(pending));
    requester->requests.insert(token);
    markToken(message->header, token);
    deliver(message);
    return MODULE_STATUS_SUCCESS;
}

KestrelSubscriptionId Bus::subscribe(KestrelBusHandle handle, void* context,
                                     KestrelMessageCallback callback, const wchar_t* nameOrPattern,
                                     bool isPattern) {
    if (callback == nullptr || nameOrPattern == nullptr) {
        return 0;
    }
    auto subscription = std::make_shared<Subscription>(
        Subscription{0, nullptr, context, callback, nameOrPattern, std::nullopt, nullptr});
    if (isPattern) {
        try {
            subscription->pattern.emplace(subscription->name);
        } catch (const std::regex_error&) {
            return 0;
        }
    }
    subscription->lane = pool_.makeLane();
    std::lock_guard lock(mutex_);
    HandleState* owner = find(handle);
    if (owner == nullptr) {
        return 0;
    }
    while (nextId_ == 0 || subscriptions_.count(nextId_) != 0) {
        ++nextId_;
    }
    subscription->id = nextId_++;
    subscription->owner = owner;
    subscriptions_.emplace(subscription->id, subscription);
    if (isPattern) {
        patterns_.push_back(subscription);
    } else {
        byName_.emplace(subscription->name, subscription);
    }
    owner->subscriptions.insert(subscription->id);
    return subscription->id;
}

// How long unsubscribe and dropReplies wait for a running callback: from another callback,
// bounded, since two callbacks that remove each other would wait for ever.
Deadline Bus::callbackWait() {
    if (DeliveryPool::onBusThread()) {
        return Clock::now() + kReleaseWait;
    }
    return std::nullopt;
}

MODULE_STATUS Bus::unsubscribe(KestrelBusHandle handle, KestrelSubscriptionId id) {
    DeliveryPool::LanePtr lane;
    {
        std::lock_guard lock(mutex_);
        HandleState* owner = find(handle);
        if (owner == nullptr) {
            return MODULE_STATUS_INVALID_HANDLE;
        }
        const auto found = subscriptions_.find(id);
        if (found == subscriptions_.end() || found->second->owner != owner) {
            return MODULE_STATUS_NOT_FOUND;
        }
        lane = found->second->lane;
        const auto [first, last] = byName_.equal_range(found->second->name);
        for (auto it = first; it != last; ++it) {
            if (it->second->id == id) {
                byName_.erase(it);
                break;
            }
        }
        std::erase_if(patterns_, [id](const auto& entry) { return entry->id == id; });
        owner->subscriptions.erase(id);
        subscriptions_.erase(found);
    }
    return pool_.close(lane, callbackWait()) ? MODULE_STATUS_SUCCESS : MODULE_STATUS_TIMEOUT;
}

MODULE_STATUS Bus::dropReplies(KestrelBusHandle handle, KestrelReplyCallback callback) {
    DeliveryPool::LanePtr lane;
    {
        std::lock_guard lock(mutex_);
        HandleState* requester = find(handle);
        if (requester == nullptr) {
            return MODULE_STATUS_INVALID_HANDLE;
        }
        for (auto it = requester->requests.begin(); it != requester->requests.end();) {
            const auto request = pending_.find(*it);
            if (request->second->callback != callback) {
                ++it;
                continue;
            }
            if (request->second->deadline) {
                timer_.cancel(*request->second->deadline, *it);
            }
            pending_.erase(request);
            it = requester->requests.erase(it);
        }
        lane = requester->replies;
        // Under the bus lock: a reply routed after this point belongs to a newer request.
        pool_.discard(lane, reinterpret_cast<const void*>(callback));
    }
    return pool_.awaitTag(lane, reinterpret_cast<const void*>(callback), callbackWait())
               ? MODULE_STATUS_SUCCESS
               : MODULE_STATUS_TIMEOUT;
}

} // namespace conduit
