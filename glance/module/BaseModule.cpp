#include "module/BaseModule.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusClient.h"
#include "status/ModuleStatusName.h"

#include <utility>

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::logIfEnabled;

namespace {

constexpr const wchar_t* kFile = L"BaseModule";

} // namespace

BaseModule::BaseModule(std::shared_ptr<Strato::IOCContainer> ioc)
    : container(ioc ? std::move(ioc) : std::make_shared<Strato::IOCContainer>()) {}

BaseModule::~BaseModule() = default;

MODULE_STATUS BaseModule::baseInitialize(const std::wstring& moduleName, const std::wstring& text,
                                         const Properties& props,
                                         std::shared_ptr<internal::ModuleManagerShim> manager,
                                         std::shared_ptr<MessageBus> bus) {
    constexpr const wchar_t* kFunction = L"Vanta::BaseModule::baseInitialize";
    // Assigning a member to itself is a no-op for these types.
    name = moduleName;
    moduleText = text;
    properties = props;
    if (!manager) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Invalid module manager object passed to base initialize.");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    moduleManager = std::move(manager);
    if (!bus) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Invalid message bus object passed to base initialize.");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    messageBus = std::move(bus);
    container->registerInstance<MessageBus>(Strato::IOCContainer::kDefaultName, messageBus);
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS BaseModule::directMessage(std::shared_ptr<Message> message) {
    constexpr const wchar_t* kFunction = L"Vanta::BaseModule::directMessage";
    auto* client = dynamic_cast<MessageBusClient*>(messageBus.get());
    if (client == nullptr) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to process direct message. Invalid message bus client.");
        return MODULE_STATUS_INVALID_STATE;
    }
    const MODULE_STATUS status = client->dispatchDirectMessage(message);
    if (status != MODULE_STATUS_SUCCESS) {
        logIfEnabled(kLevelError, kFile, kFunction, __LINE__,
                     L"Failed to process direct message. Module: %ls. Module Status: %ls(%lu)",
                     name.c_str(), moduleStatusName(status), status);
    }
    return status;
}

MODULE_STATUS BaseModule::publish(std::shared_ptr<Message> message) {
    return messageBus->publish(std::move(message));
}

MODULE_STATUS BaseModule::publishEx(std::shared_ptr<Message> message) {
    return messageBus->publishEx(std::move(message));
}

MODULE_STATUS BaseModule::request(std::shared_ptr<Message> message, Completion completion,
                                  uint64_t timeoutMs) {
    return messageBus->request(std::move(message), std::move(completion), timeoutMs);
}

MODULE_STATUS BaseModule::request(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                                  uint64_t timeoutMs) {
    return messageBus->request(std::move(message), reply, timeoutMs);
}

MODULE_STATUS BaseModule::requestEx(std::shared_ptr<Message> message, Completion completion,
                                    uint64_t timeoutMs) {
    return messageBus->requestEx(std::move(message), std::move(completion), timeoutMs);
}

MODULE_STATUS BaseModule::requestEx(std::shared_ptr<Message> message, std::shared_ptr<Reply>& reply,
                                    uint64_t timeoutMs) {
    return messageBus->requestEx(std::move(message), reply, timeoutMs);
}

MODULE_STATUS BaseModule::subscribe(const std::wstring& messageName, const std::wstring& alias,
                                    MessageCallback callback) {
    return messageBus->subscribe(messageName, alias, std::move(callback));
}

MODULE_STATUS BaseModule::subscribe(const std::wstring& messageName, MessageCallback callback) {
    return messageBus->subscribe(messageName, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeSession(const std::wstring& messageName,
                                           const std::wstring& alias, MessageCallback callback) {
    return messageBus->subscribeSession(messageName, alias, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeSession(const std::wstring& messageName,
                                           MessageCallback callback) {
    return messageBus->subscribeSession(messageName, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeFilter(const std::wstring& pattern, const std::wstring& alias,
                                          MessageCallback callback) {
    return messageBus->subscribeFilter(pattern, alias, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeFilter(const std::wstring& pattern, MessageCallback callback) {
    return messageBus->subscribeFilter(pattern, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeFilterSession(const std::wstring& pattern,
                                                 const std::wstring& alias,
                                                 MessageCallback callback) {
    return messageBus->subscribeFilterSession(pattern, alias, std::move(callback));
}

MODULE_STATUS BaseModule::subscribeFilterSession(const std::wstring& pattern,
                                                 MessageCallback callback) {
    return messageBus->subscribeFilterSession(pattern, std::move(callback));
}

MODULE_STATUS BaseModule::unsubscribe(const std::wstring& alias) {
    return messageBus->unsubscribe(alias);
}

} // namespace Vanta
