// MessageBusShim over a bus that the host opened: its handle and function
// table, with the two callbacks that the host's library calls. Never opens or
// releases the bus; its destructor drops the replies still addressed to it.
#pragma once

#include "messagebus/MessageBusShim.h"

#include <kestrel/MessageBusLibrary.h>

namespace Vanta {

class MessageBusShimImpl : public MessageBusShim {
public:
    // Throws ModuleException after an error log when either pointer is null.
    MessageBusShimImpl(KestrelBusHandle busHandle, const KestrelMessageBusFunctions* functions);
    ~MessageBusShimImpl() override;
    MessageBusShimImpl(const MessageBusShimImpl&) = delete;
    MessageBusShimImpl& operator=(const MessageBusShimImpl&) = delete;

    MODULE_STATUS publish(const std::shared_ptr<Message>& message, bool useSecondForm) override;
    MODULE_STATUS request(const std::shared_ptr<Message>& message, uint64_t replyIndex,
                          ReplyHandler* context, uint64_t timeoutMs, bool useSecondForm) override;
    MODULE_STATUS dropReplies() override;
    uint32_t subscribe(const std::wstring& name, MessageCallback* context) override;
    uint32_t subscribeFilter(const std::wstring& pattern, MessageCallback* context) override;
    MODULE_STATUS unsubscribe(uint32_t id) override;

    // The callbacks handed to the library; each runs inside the exception boundary.
    static MODULE_STATUS messageTrampoline(void* context, const KestrelRawMessageHeader* header,
                                           const wchar_t* name, const wchar_t* sender,
                                           const wchar_t* data);
    static MODULE_STATUS replyTrampoline(void* context, uint64_t replyIndex,
                                         const KestrelRawMessageHeader* header, const wchar_t* name,
                                         const wchar_t* sender, const wchar_t* data,
                                         MODULE_STATUS replyStatus);

private:
    KestrelBusHandle busHandle;
    const KestrelMessageBusFunctions* functions;
};

} // namespace Vanta
