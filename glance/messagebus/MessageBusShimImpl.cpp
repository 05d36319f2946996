#include "messagebus/MessageBusShimImpl.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "status/ExceptionBoundary.h"
#include "status/ModuleException.h"

#include <utility>

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::logIfEnabled;

namespace {

// A message built from what the library handed over, its header copied in.
std::shared_ptr<Message> deliveredMessage(const KestrelRawMessageHeader* header,
                                          const wchar_t* name, const wchar_t* sender,
                                          const wchar_t* data) {
    std::shared_ptr<Message> message = createMessage(name, sender, data);
    if (message) {
        copyHeader(message->getHeader(), header);
    }
    return message;
}

} // namespace

MessageCallback*& internal::runningCallback() noexcept {
    thread_local MessageCallback* running = nullptr;
    return running;
}

MessageBusShimImpl::MessageBusShimImpl(KestrelBusHandle handle,
                                       const KestrelMessageBusFunctions* table)
    : busHandle(handle), functions(table) {
    constexpr const wchar_t* kFile = L"MessageBusShimImpl";
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusShimImpl::MessageBusShimImpl";
    if (busHandle == nullptr) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Invalid message bus handle. Throwing ModuleException.");
        throw ModuleException("Invalid message bus handle");
    }
    if (functions == nullptr) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Invalid message bus functions object. Throwing ModuleException.");
        throw ModuleException("Invalid message bus functions object");
    }
}

MessageBusShimImpl::~MessageBusShimImpl() {
    functions->dropReplies(busHandle, &MessageBusShimImpl::replyTrampoline);
}

MODULE_STATUS MessageBusShimImpl::publish(const std::shared_ptr<Message>& message,
                                          bool useSecondForm) {
    if (!message) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const KestrelBusPublishFn entry = useSecondForm ? functions->publishEx : functions->publish;
    return entry(busHandle, message->getHeader(), message->getName().c_str(),
                 message->getSender().c_str(), message->getData().c_str());
}

MODULE_STATUS MessageBusShimImpl::request(const std::shared_ptr<Message>& message,
                                          uint64_t replyIndex, ReplyHandler* context,
                                          uint64_t timeoutMs, bool useSecondForm) {
    if (!message) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const KestrelBusRequestFn entry = useSecondForm ? functions->requestEx : functions->request;
    return entry(busHandle, replyIndex, context, &MessageBusShimImpl::replyTrampoline,
                 message->getHeader(), message->getName().c_str(), message->getSender().c_str(),
                 message->getData().c_str(), timeoutMs);
}

MODULE_STATUS MessageBusShimImpl::dropReplies() {
    return functions->dropReplies(busHandle, &MessageBusShimImpl::replyTrampoline);
}

uint32_t MessageBusShimImpl::subscribe(const std::wstring& name, MessageCallback* context) {
    return functions->subscribe(busHandle, context, &MessageBusShimImpl::messageTrampoline,
                                name.c_str());
}

uint32_t MessageBusShimImpl::subscribeFilter(const std::wstring& pattern,
                                             MessageCallback* context) {
    return functions->subscribeFilter(busHandle, context, &MessageBusShimImpl::messageTrampoline,
                                      pattern.c_str());
}

MODULE_STATUS MessageBusShimImpl::unsubscribe(uint32_t id) {
    return functions->unsubscribe(busHandle, id);
}

MODULE_STATUS MessageBusShimImpl::messageTrampoline(void* context,
                                                    const KestrelRawMessageHeader* header,
                                                    const wchar_t* name, const wchar_t* sender,
                                                    const wchar_t* data) {
    return runInExceptionBoundary([&] {
        // A subscription always registers a context; null is the library's fault.
        if (context == nullptr) {
            return MODULE_STATUS_INVALID_PARAMETER;
        }
        std::shared_ptr<Message> message = deliveredMessage(header, name, sender, data);
        // Subscribers are never handed a message that could not be built.
        if (!message) {
            return MODULE_STATUS_UNSUCCESSFUL;
        }
        auto* callback = static_cast<MessageCallback*>(context);
        // Restored also when the callback throws.
        struct Running {
            MessageCallback* previous;
            explicit Running(MessageCallback* now)
                : previous(std::exchange(internal::runningCallback(), now)) {}
            ~Running() { internal::runningCallback() = previous; }
        } running(callback);
        return (*callback)(std::move(message));
    });
}

MODULE_STATUS MessageBusShimImpl::replyTrampoline(void* context, uint64_t replyIndex,
                                                  const KestrelRawMessageHeader* header,
                                                  const wchar_t* name, const wchar_t* sender,
                                                  const wchar_t* data, MODULE_STATUS replyStatus) {
    return runInExceptionBoundary([&] {
        if (context == nullptr) {
            return MODULE_STATUS_INVALID_PARAMETER;
        }
        std::shared_ptr<Message> message;
        if (replyStatus == MODULE_STATUS_SUCCESS) {
            message = deliveredMessage(header, name, sender, data);
        }
        return (*static_cast<ReplyHandler*>(context))(replyIndex, std::move(message), replyStatus);
    });
}

} // namespace Vanta
