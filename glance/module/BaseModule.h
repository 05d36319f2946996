// The common implementation of every module: keeps what the host hands over at
// initialization, registers the message bus in its container, turns the host's
// direct messages into local deliveries, and is itself a MessageBus: each bus
// operation goes to the bus it holds, so a derived module subscribes and
// publishes on itself. Calling a bus operation before a successful
// baseInitialize is a caller error.
#pragma once

#include "messagebus/MessageBus.h"
#include "module/IOCContainer.h"
#include "module/Module.h"
#include "module/ModuleManagerShim.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace Vanta {

class BaseModule : public Module, public MessageBus {
public:
    using Properties = std::unordered_map<std::wstring, std::wstring>;

    // A new empty container when `container` is empty.
    explicit BaseModule(std::shared_ptr<Strato::IOCContainer> container = {});
    ~BaseModule() override;
    BaseModule(const BaseModule&) = delete;
    BaseModule& operator=(const BaseModule&) = delete;

    MODULE_STATUS initialize() override { return MODULE_STATUS_SUCCESS; }
    MODULE_STATUS start() override { return MODULE_STATUS_SUCCESS; }
    MODULE_STATUS stop() override { return MODULE_STATUS_SUCCESS; }
    MODULE_STATUS uninitialize() override { return MODULE_STATUS_SUCCESS; }
    virtual MODULE_STATUS baseInitialize(const std::wstring& moduleName, const std::wstring& text,
                                         const Properties& props,
                                         std::shared_ptr<internal::ModuleManagerShim> manager,
                                         std::shared_ptr<MessageBus> bus);

    // Delivers a message from the host to the local subscriptions of the bus client.
    MODULE_STATUS directMessage(std::shared_ptr<Message> message);

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

    const std::wstring& moduleName() const noexcept { return name; }
    const Properties& moduleProperties() const noexcept { return properties; }
    const std::shared_ptr<internal::ModuleManagerShim>& manager() const noexcept {
        return moduleManager;
    }
    const std::shared_ptr<Strato::IOCContainer>& iocContainer() const noexcept { return container; }

private:
    // Destroyed in reverse: the container first, the strings last.
    std::wstring name;
    std::wstring moduleText;
    Properties properties;
    std::shared_ptr<internal::ModuleManagerShim> moduleManager;
    std::shared_ptr<MessageBus> messageBus;
    std::shared_ptr<Strato::IOCContainer> container;
};

} // namespace Vanta
