// The module's view of the message bus: publish, request with a reply, and
// subscribe by exact name or by whole-name pattern under an alias that one
// unsubscribe removes. The slot order is fixed.
#pragma once

#include "messagebus/MessageBusShim.h"

#include <kestrel/ModuleStatus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Vanta {

class Message;
class Reply;

// Called with the reply once the request is settled; its result is ignored.
using Completion = std::function<void(std::shared_ptr<Reply>)>;

class MessageBus {
public:
    virtual ~MessageBus() = default;

    virtual MODULE_STATUS publish(std::shared_ptr<Message> message) = 0;
    virtual MODULE_STATUS publishEx(std::shared_ptr<Message> message) = 0;
    virtual MODULE_STATUS request(std::shared_ptr<Message> message, Completion completion,
                                  uint64_t timeoutMs) = 0;
    virtual MODULE_STATUS request(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                                  uint64_t timeoutMs) = 0;
    virtual MODULE_STATUS requestEx(std::shared_ptr<Message> message, Completion completion,
                                    uint64_t timeoutMs) = 0;
    virtual MODULE_STATUS requestEx(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                                    uint64_t timeoutMs) = 0;
    virtual MODULE_STATUS subscribe(const std::wstring& name, const std::wstring& alias,
                                    MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribe(const std::wstring& name, MessageCallback callback) = 0;
    // Deliver only messages of this process's session (or of none).
    virtual MODULE_STATUS subscribeSession(const std::wstring& name, const std::wstring& alias,
                                           MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribeSession(const std::wstring& name, MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribeFilter(const std::wstring& pattern, const std::wstring& alias,
                                          MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribeFilter(const std::wstring& pattern,
                                          MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribeFilterSession(const std::wstring& pattern,
                                                 const std::wstring& alias,
                                                 MessageCallback callback) = 0;
    virtual MODULE_STATUS subscribeFilterSession(const std::wstring& pattern,
                                                 MessageCallback callback) = 0;
    virtual MODULE_STATUS unsubscribe(const std::wstring& alias) = 0;
};

} // namespace Vanta
