#include "fakes/FakeBusLibrary.h"

#include <utility>

namespace testfakes {

namespace {

std::wstring text(const wchar_t* value) {
    return value != nullptr ? std::wstring(value) : std::wstring();
}

using Call = FakeBusLibrary::Call;

Call messageCall(FakeBusLibrary::Entry entry, const KestrelRawMessageHeader* header,
                 const wchar_t* name, const wchar_t* sender, const wchar_t* data) {
    Call call(entry);
    call.name = text(name);
    call.sender = text(sender);
    call.data = text(data);
    if (header != nullptr) {
        call.header = *header;
    }
    return call;
}

Call subscriptionCall(FakeBusLibrary::Entry entry, void* context, KestrelMessageCallback callback,
                      const wchar_t* nameOrPattern) {
    Call call(entry);
    call.name = text(nameOrPattern);
    call.context = context;
    call.messageCallback = callback;
    return call;
}

Call requestCall(FakeBusLibrary::Entry entry, uint64_t replyIndex, void* context,
                 KestrelReplyCallback callback, const KestrelRawMessageHeader* header,
                 const wchar_t* name, const wchar_t* sender, const wchar_t* data,
                 uint64_t timeoutMs) {
    Call call = messageCall(entry, header, name, sender, data);
    call.replyIndex = replyIndex;
    call.context = context;
    call.replyCallback = callback;
    call.timeoutMs = timeoutMs;
    return call;
}

} // namespace

FakeBusLibrary::FakeBusLibrary() : thread_([this] { run(); }) {}

FakeBusLibrary::~FakeBusLibrary() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

const KestrelMessageBusFunctions* FakeBusLibrary::functions() {
    static const KestrelMessageBusFunctions table{
        &tableOpen,      &tableRelease,         &tablePublish,     &tableRequest,
        &tableSubscribe, &tableSubscribeFilter, &tableUnsubscribe, &tableDropReplies,
        &tablePublishEx, &tableRequestEx,
    };
    return &table;
}

FakeBusLibrary::Delivery FakeBusLibrary::message(std::wstring name, std::wstring data,
                                                 std::wstring sender) {
    return Delivery{std::move(name), std::move(sender), std::move(data),
                    KestrelDefaultRawMessageHeader()};
}

std::vector<FakeBusLibrary::Call> FakeBusLibrary::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<FakeBusLibrary::Call> FakeBusLibrary::callsTo(Entry entry) const {
    std::vector<Call> selected;
    for (Call& call : calls()) {
        if (call.entry == entry) {
            selected.push_back(std::move(call));
        }
    }
    return selected;
}

void FakeBusLibrary::answer(Entry entry, MODULE_STATUS status) {
    std::lock_guard lock(mutex_);
    answers_[entry] = status;
}

void FakeBusLibrary::answerSubscriptions(std::vector<uint32_t> ids) {
    std::lock_guard lock(mutex_);
    scriptedIds_.assign(ids.begin(), ids.end());
}

void FakeBusLibrary::onRequest(std::function<void(const Call&)> hook) {
    std::lock_guard lock(mutex_);
    onRequest_ = std::move(hook);
}

size_t FakeBusLibrary::subscriptionCount() const {
    std::lock_guard lock(mutex_);
    return subscriptions_.size();
}

size_t FakeBusLibrary::pendingRequestCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

MODULE_STATUS FakeBusLibrary::record(Call call) {
    std::lock_guard lock(mutex_);
    const MODULE_STATUS status = answers_[call.entry];
    calls_.push_back(std::move(call));
    return status;
}

uint32_t FakeBusLibrary::subscribe(Call call) {
    std::lock_guard lock(mutex_);
    uint32_t id = nextId_;
    if (!scriptedIds_.empty()) {
        id = scriptedIds_.front();
        scriptedIds_.pop_front();
    } else {
        ++nextId_;
    }
    call.id = id;
    if (id != 0) {
        subscriptions_[id] = Subscription{call.context, call.messageCallback, call.name};
    }
    calls_.push_back(std::move(call));
    return id;
}

MODULE_STATUS FakeBusLibrary::request(Call call) {
    std::function<void(const Call&)> hook;
    MODULE_STATUS status = MODULE_STATUS_SUCCESS;
    {
        std::lock_guard lock(mutex_);
        status = answers_[call.entry];
        if (status == MODULE_STATUS_SUCCESS) {
            pending_[call.replyIndex] = PendingRequest{call.context, call.replyCallback};
            hook = onRequest_;
        }
        calls_.push_back(call);
    }
    if (hook) {
        hook(call);
    }
    return status;
}

MODULE_STATUS FakeBusLibrary::unsubscribe(uint32_t id) {
    Call call(kUnsubscribe);
    call.id = id;
    MODULE_STATUS status = MODULE_STATUS_SUCCESS;
    {
        std::lock_guard lock(mutex_);
        subscriptions_.erase(id);
        status = answers_[kUnsubscribe];
        calls_.push_back(std::move(call));
    }
    waitForDelivery();
    return status;
}

MODULE_STATUS FakeBusLibrary::dropReplies(KestrelReplyCallback callback) {
    Call call(kDropReplies);
    call.replyCallback = callback;
    MODULE_STATUS status = MODULE_STATUS_SUCCESS;
    {
        std::lock_guard lock(mutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            it = it->second.callback == callback ? pending_.erase(it) : std::next(it);
        }
        status = answers_[kDropReplies];
        calls_.push_back(std::move(call));
    }
    waitForDelivery();
    return status;
}

void FakeBusLibrary::waitForDelivery() {
    if (std::this_thread::get_id() != thread_.get_id()) {
        std::lock_guard wait(deliveryLock_);
    }
}

void FakeBusLibrary::post(uint32_t subscriptionId, Delivery delivery) {
    enqueue([this, subscriptionId, delivery = std::move(delivery)] {
        std::optional<Subscription> target;
        {
            std::lock_guard lock(mutex_);
            const auto found = subscriptions_.find(subscriptionId);
            if (found != subscriptions_.end()) {
                target = found->second;
            }
        }
        if (target) {
            target->callback(target->context, &delivery.header, delivery.name.c_str(),
                             delivery.sender.c_str(), delivery.data.c_str());
        }
    });
}

void FakeBusLibrary::postToSubscribers(Delivery delivery) {
    std::vector<uint32_t> ids;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, subscription] : subscriptions_) {
            if (subscription.nameOrPattern == delivery.name) {
                ids.push_back(id);
            }
        }
    }
    for (const uint32_t id : ids) {
        post(id, delivery);
    }
}

void FakeBusLibrary::postReply(uint64_t replyIndex, MODULE_STATUS status,
                               std::optional<Delivery> reply) {
    enqueue([this, replyIndex, status, reply = std::move(reply)] {
        deliverReply(replyIndex, status, reply);
    });
}

MODULE_STATUS FakeBusLibrary::replyNow(uint64_t replyIndex, MODULE_STATUS status,
                                       std::optional<Delivery> reply) {
    return deliverReply(replyIndex, status, reply);
}

MODULE_STATUS FakeBusLibrary::deliverReply(uint64_t replyIndex, MODULE_STATUS status,
                                           const std::optional<Delivery>& reply) {
    PendingRequest target{};
    {
        std::lock_guard lock(mutex_);
        const auto found = pending_.find(replyIndex);
        if (found == pending_.end()) {
            return MODULE_STATUS_NOT_FOUND;
        }
        target = found->second;
        pending_.erase(found);
    }
    // A failed request comes back without a message, as from the real library.
    if (status != MODULE_STATUS_SUCCESS || !reply) {
        return target.callback(target.context, replyIndex, nullptr, nullptr, nullptr, nullptr,
                               status);
    }
    return target.callback(target.context, replyIndex, &reply->header, reply->name.c_str(),
                           reply->sender.c_str(), reply->data.c_str(), status);
}

void FakeBusLibrary::enqueue(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ++posted_;
    }
    changed_.notify_all();
}

void FakeBusLibrary::drain() {
    std::unique_lock lock(mutex_);
    const size_t target = posted_;
    changed_.wait(lock, [&] { return done_ >= target; });
}

void FakeBusLibrary::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            return; // stopping, and everything posted has run
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        {
            std::lock_guard delivering(deliveryLock_);
            task();
        }
        lock.lock();
        ++done_;
        changed_.notify_all();
    }
}

FakeBusLibrary& FakeBusLibrary::of(KestrelBusHandle handle) {
    return *static_cast<FakeBusLibrary*>(handle);
}

MODULE_STATUS FakeBusLibrary::tableOpen(KestrelBusHandle*) {
    // The tests hand the fake's handle over themselves.
    return MODULE_STATUS_NOT_SUPPORTED;
}

MODULE_STATUS FakeBusLibrary::tableRelease(KestrelBusHandle handle) {
    return of(handle).record(Call(kRelease));
}

MODULE_STATUS FakeBusLibrary::tablePublish(KestrelBusHandle handle, KestrelRawMessageHeader* header,
                                           const wchar_t* name, const wchar_t* sender,
                                           const wchar_t* data) {
    return of(handle).record(messageCall(kPublish, header, name, sender, data));
}

MODULE_STATUS FakeBusLibrary::tablePublishEx(KestrelBusHandle handle,
                                             KestrelRawMessageHeader* header, const wchar_t* name,
                                             const wchar_t* sender, const wchar_t* data) {
    return of(handle).record(messageCall(kPublishEx, header, name, sender, data));
}

MODULE_STATUS FakeBusLibrary::tableRequest(KestrelBusHandle handle, uint64_t replyIndex,
                                           void* context, KestrelReplyCallback callback,
                                           KestrelRawMessageHeader* header, const wchar_t* name,
                                           const wchar_t* sender, const wchar_t* data,
                                           uint64_t timeoutMs) {
    return of(handle).request(requestCall(kRequest, replyIndex, context, callback, header, name,
                                          sender, data, timeoutMs));
}

MODULE_STATUS FakeBusLibrary::tableRequestEx(KestrelBusHandle handle, uint64_t replyIndex,
                                             void* context, KestrelReplyCallback callback,
                                             KestrelRawMessageHeader* header, const wchar_t* name,
                                             const wchar_t* sender, const wchar_t* data,
                                             uint64_t timeoutMs) {
    return of(handle).request(requestCall(kRequestEx, replyIndex, context, callback, header, name,
                                          sender, data, timeoutMs));
}

KestrelSubscriptionId FakeBusLibrary::tableSubscribe(KestrelBusHandle handle, void* context,
                                                     KestrelMessageCallback callback,
                                                     const wchar_t* name) {
    return of(handle).subscribe(subscriptionCall(kSubscribe, context, callback, name));
}

KestrelSubscriptionId FakeBusLibrary::tableSubscribeFilter(KestrelBusHandle handle, void* context,
                                                           KestrelMessageCallback callback,
                                                           const wchar_t* pattern) {
    return of(handle).subscribe(subscriptionCall(kSubscribeFilter, context, callback, pattern));
}

MODULE_STATUS FakeBusLibrary::tableUnsubscribe(KestrelBusHandle handle, KestrelSubscriptionId id) {
    return of(handle).unsubscribe(id);
}

MODULE_STATUS FakeBusLibrary::tableDropReplies(KestrelBusHandle handle,
                                               KestrelReplyCallback callback) {
    return of(handle).dropReplies(callback);
}

} // namespace testfakes
