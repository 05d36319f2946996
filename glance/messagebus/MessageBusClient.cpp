#include "messagebus/MessageBusClient.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusLib.h"
#include "messagebus/ReplyImpl.h"
#include "platform/ProcessAPI.h"
#include "status/ExceptionBoundary.h"
#include "status/ModuleException.h"

#include <optional>
#include <utility>

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::kLevelNormal;
using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;

namespace {

constexpr const wchar_t* kFile = L"MessageBusClient";
constexpr size_t kInitialBuckets = 8;

template <typename Map> void prepare(Map& map) {
    map.max_load_factor(1.0f);
    map.rehash(kInitialBuckets);
}

} // namespace

MessageBusClient::MessageBusClient() : MessageBusClient(std::make_shared<MessageBusLib>()) {}

MessageBusClient::MessageBusClient(std::shared_ptr<MessageBusShim> busShim,
                                   std::shared_ptr<ProcessAPI> process)
    : shim(std::move(busShim)),
      processApi(process ? std::move(process) : std::make_shared<ProcessAPI>()) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusClient::MessageBusClient";
    if (!shim) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Invalid message bus shim. Throwing ModuleException.");
        throw ModuleException("Invalid message bus shim");
    }
    prepare(subscriptions);
    prepare(pendingReplies);
    replyHandler = [this](uint64_t index, std::shared_ptr<Message> message, MODULE_STATUS status) {
        return replyCallback(index, std::move(message), status);
    };
    const uint32_t processId = processApi->GetCurrentProcessId();
    uint32_t session = 0;
    if (processApi->ProcessIdToSessionId(processId, session)) {
        sessionId = session;
        logIfEnabled(kLevelNormal, kFile, kFunction, __LINE__,
                     L"Found session id %ld for process %ld", static_cast<int32_t>(sessionId),
                     static_cast<int32_t>(processId));
    } else {
        sessionId = 0;
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to get the session id for process %ld - defaulting to %ld",
                     static_cast<int32_t>(processId), int32_t{0});
    }
}

MessageBusClient::~MessageBusClient() {
    runInExceptionBoundary([this] {
        {
            // A completion that requests again while the client goes gets a failure.
            std::lock_guard lock(replyLock);
            closing = true;
        }
        std::unordered_map<std::wstring, SubscriptionEntry> removed;
        {
            std::lock_guard lock(subscriptionLock);
            removed.swap(subscriptions);
        }
        for (auto& [alias, entry] : removed) {
            removeEntry(std::move(entry));
        }
        shim->dropReplies();
        return MODULE_STATUS_SUCCESS;
    });
    // The pending replies go with the client: every unfulfilled promise breaks.
}

// Publishing

MODULE_STATUS MessageBusClient::publish(std::shared_ptr<Message> message) {
    return internalPublish(message, false);
}

MODULE_STATUS MessageBusClient::publishEx(std::shared_ptr<Message> message) {
    return internalPublish(message, true);
}

MODULE_STATUS MessageBusClient::internalPublish(const std::shared_ptr<Message>& message,
                                                bool useSecondForm) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusClient::internalPublish";
    if (!message) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    // A reply also goes out as a plain message, once: the copy flag marks that it was made.
    const bool copyDue = message->testFlag(Message::kReplyFlag) &&
                         !message->testFlag(Message::kNoCopyFlag) &&
                         !message->testFlag(Message::kCopyMadeFlag);
    if (copyDue) {
        message->setFlag(Message::kCopyMadeFlag);
    }
    const MODULE_STATUS status = shim->publish(message, useSecondForm);
    if (status != MODULE_STATUS_SUCCESS) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to publish message. Error code %lu.", status);
        return status;
    }
    if (copyDue) {
        message->clearFlag(Message::kReplyFlag);
        message->clearReplyIndex();
        const MODULE_STATUS copyStatus = shim->publish(message, useSecondForm);
        if (copyStatus != MODULE_STATUS_SUCCESS) {
            logIfEnabled(kLevelWarning, kFile, kFunction, __LINE__,
                         L"Failed to publish non-reply copy of the message. Error code %lu.",
                         copyStatus);
        }
    }
    return MODULE_STATUS_SUCCESS;
}

// Requests

MODULE_STATUS MessageBusClient::request(std::shared_ptr<Message> message, Completion completion,
                                        uint64_t timeoutMs) {
    return internalRequest(message, nullptr, std::move(completion), timeoutMs, false);
}

MODULE_STATUS MessageBusClient::request(std::shared_ptr<Message> message,
                                        std::shared_ptr<Reply>& reply, uint64_t timeoutMs) {
    return internalRequest(message, &reply, {}, timeoutMs, false);
}

MODULE_STATUS MessageBusClient::requestEx(std::shared_ptr<Message> message, Completion completion,
                                          uint64_t timeoutMs) {
    return internalRequest(message, nullptr, std::move(completion), timeoutMs, true);
}

MODULE_STATUS MessageBusClient::requestEx(std::shared_ptr<Message> message,
                                          std::shared_ptr<Reply>& reply, uint64_t timeoutMs) {
    return internalRequest(message, &reply, {}, timeoutMs, true);
}

MODULE_STATUS MessageBusClient::internalRequest(const std::shared_ptr<Message>& message,
                                                std::shared_ptr<Reply>* reply,
                                                Completion completion, uint64_t timeoutMs,
                                                bool useSecondForm) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusClient::internalRequest";
    uint64_t index = 0;
    ReplyImpl::Future future;
    {
        // The slot exists before the request is sent: a reply that arrives while the shim's
        // request call is still running finds it.
        std::lock_guard lock(replyLock);
        if (closing) {
            return MODULE_STATUS_INVALID_STATE;
        }
        index = nextReplyIndex++;
        ReplySlot slot;
        future = slot.promise.get_future().share();
        if (completion) {
            slot.completion = [future, done = std::move(completion)] {
                auto settled = std::make_shared<ReplyImpl>(future, 0);
                settled->wait();
                done(std::move(settled));
            };
        }
        if (!pendingReplies.emplace(index, std::move(slot)).second) {
            logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                         L"Unable to create reply promise. Returning.");
            return MODULE_STATUS_UNSUCCESSFUL;
        }
    }
    const MODULE_STATUS status =
        shim->request(message, index, &replyHandler, timeoutMs, useSecondForm);
    if (status != MODULE_STATUS_SUCCESS) {
        {
            std::lock_guard lock(replyLock);
            pendingReplies.erase(index);
        }
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to make request. Error code %lu.", status);
        return status;
    }
    if (reply != nullptr) {
        *reply = std::make_shared<ReplyImpl>(std::move(future), timeoutMs);
    }
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS MessageBusClient::replyCallback(uint64_t replyIndex, std::shared_ptr<Message> message,
                                              MODULE_STATUS replyStatus) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusClient::replyCallback";
    ReplySlot slot;
    {
        std::lock_guard lock(replyLock);
        const auto found = pendingReplies.find(replyIndex);
        if (found == pendingReplies.end()) {
            logIfEnabled(kLevelWarning, kFile, kFunction, __LINE__,
                         L"Reply index not found. Returning");
            return MODULE_STATUS_NOT_FOUND;
        }
        slot = std::move(found->second);
        pendingReplies.erase(found);
    }
    if (replyStatus == MODULE_STATUS_SUCCESS) {
        slot.promise.set_value(std::move(message));
    } else if (replyStatus == MODULE_STATUS_TIMEOUT) {
        slot.promise.set_exception(makeReplyError(std::errc::operation_canceled));
    } else {
        slot.promise.set_exception(makeReplyError(std::errc::no_message_available));
    }
    if (slot.completion) {
        runInExceptionBoundary([&slot] {
            slot.completion();
            return MODULE_STATUS_SUCCESS;
        });
    }
    return MODULE_STATUS_SUCCESS;
}

// Subscriptions

MODULE_STATUS MessageBusClient::subscribe(const std::wstring& name, const std::wstring& alias,
                                          MessageCallback callback) {
    return addNameSubscription(name, alias, std::move(callback));
}

MODULE_STATUS MessageBusClient::subscribe(const std::wstring& name, MessageCallback callback) {
    return addNameSubscription(name, name, std::move(callback));
}

MODULE_STATUS MessageBusClient::subscribeSession(const std::wstring& name,
                                                 const std::wstring& alias,
                                                 MessageCallback callback) {
    return addNameSubscription(name, alias, sessionFiltered(std::move(callback)));
}

MODULE_STATUS MessageBusClient::subscribeSession(const std::wstring& name,
                                                 MessageCallback callback) {
    return addNameSubscription(name, name, sessionFiltered(std::move(callback)));
}

MODULE_STATUS MessageBusClient::subscribeFilter(const std::wstring& pattern,
                                                const std::wstring& alias,
                                                MessageCallback callback) {
    return addPatternSubscription(pattern, alias, std::move(callback));
}

MODULE_STATUS MessageBusClient::subscribeFilter(const std::wstring& pattern,
                                                MessageCallback callback) {
    return addPatternSubscription(pattern, pattern, std::move(callback));
}

MODULE_STATUS MessageBusClient::subscribeFilterSession(const std::wstring& pattern,
                                                       const std::wstring& alias,
                                                       MessageCallback callback) {
    return addPatternSubscription(pattern, alias, sessionFiltered(std::move(callback)));
}

MODULE_STATUS MessageBusClient::subscribeFilterSession(const std::wstring& pattern,
                                                       MessageCallback callback) {
    return addPatternSubscription(pattern, pattern, sessionFiltered(std::move(callback)));
}

MessageCallback MessageBusClient::sessionFiltered(MessageCallback callback) const {
    if (sessionId == 0) {
        return callback;
    }
    return [session = sessionId, inner = std::move(callback)](std::shared_ptr<Message> message) {
        const KestrelSessionExtension* extension =
            message ? message->getSessionExtension() : nullptr;
        if (extension != nullptr && extension->sessionId != 0 && extension->sessionId != session) {
            return MODULE_STATUS_SUCCESS;
        }
        return inner(std::move(message));
    };
}

MODULE_STATUS MessageBusClient::addNameSubscription(const std::wstring& name,
                                                    const std::wstring& alias,
                                                    MessageCallback callback) {
    std::lock_guard lock(subscriptionLock);
    std::vector<NameSubscription>& names = subscriptions[alias].names;
    NameSubscription& added = names.emplace_back(
        NameSubscription{0, name, std::make_unique<MessageCallback>(std::move(callback))});
    const uint32_t id = shim->subscribe(name, added.callback.get());
    if (id == 0) {
        logIfEnabled(kLevelError, kFile, L"Vanta::MessageBusClient::subscribe", __LINE__,
                     L"Failed to subscribe. Alias: %ls Message name: %ls", alias.c_str(),
                     name.c_str());
        names.pop_back();
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    added.id = id;
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS MessageBusClient::addPatternSubscription(const std::wstring& pattern,
                                                       const std::wstring& alias,
                                                       MessageCallback callback) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusClient::subscribeFilter";
    std::optional<NamePattern> compiled;
    try {
        compiled.emplace(pattern);
    } catch (const std::regex_error& error) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"subscribeFilter failed. Regex error with regex \"%ls\" [caught: %hs]",
                     pattern.c_str(), error.what());
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    std::lock_guard lock(subscriptionLock);
    std::vector<PatternSubscription>& patterns = subscriptions[alias].patterns;
    PatternSubscription& added = patterns.emplace_back(PatternSubscription{
        0, pattern, std::move(*compiled), std::make_unique<MessageCallback>(std::move(callback))});
    const uint32_t id = shim->subscribeFilter(pattern, added.callback.get());
    if (id == 0) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to subscribeFilter. Alias: %ls Message nameRegex: %ls", alias.c_str(),
                     pattern.c_str());
        patterns.pop_back();
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    added.id = id;
    return MODULE_STATUS_SUCCESS;
}

void MessageBusClient::removeEntry(SubscriptionEntry entry) {
    for (const NameSubscription& subscription : entry.names) {
        shim->unsubscribe(subscription.id);
    }
    for (const PatternSubscription& subscription : entry.patterns) {
        shim->unsubscribe(subscription.id);
    }
    MessageCallback* const running = internal::runningCallback();
    std::vector<std::unique_ptr<MessageCallback>> keep;
    for (NameSubscription& subscription : entry.names) {
        if (subscription.callback.get() == running) {
            keep.push_back(std::move(subscription.callback));
        }
    }
    for (PatternSubscription& subscription : entry.patterns) {
        if (subscription.callback.get() == running) {
            keep.push_back(std::move(subscription.callback));
        }
    }
    if (!keep.empty()) {
        std::lock_guard lock(subscriptionLock);
        for (auto& callback : keep) {
            retiredCallbacks.push_back(std::move(callback));
        }
    }
}

MODULE_STATUS MessageBusClient::unsubscribe(const std::wstring& alias) {
    std::optional<SubscriptionEntry> removed;
    {
        std::lock_guard lock(subscriptionLock);
        const auto found = subscriptions.find(alias);
        if (found == subscriptions.end()) {
            logIfEnabled(kLevelWarning, kFile, L"Vanta::MessageBusClient::unsubscribe", __LINE__,
                         L"Subscription not found. Alias: %ls.", alias.c_str());
            return MODULE_STATUS_SUCCESS;
        }
        removed = std::move(found->second);
        subscriptions.erase(found);
    }
    removeEntry(std::move(*removed));
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS MessageBusClient::dispatchDirectMessage(const std::shared_ptr<Message>& message) {
    if (!message) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const std::wstring& name = message->getName();
    std::lock_guard lock(subscriptionLock);
    for (const auto& [alias, entry] : subscriptions) {
        for (const NameSubscription& subscription : entry.names) {
            if (subscription.name == name) {
                (*subscription.callback)(message);
            }
        }
        for (const PatternSubscription& subscription : entry.patterns) {
            if (subscription.compiled.matchesWhole(name)) {
                (*subscription.callback)(message);
            }
        }
    }
    return MODULE_STATUS_SUCCESS;
}

} // namespace Vanta
