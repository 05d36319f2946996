// The bus opened by the module itself: the host's bus library found, checked
// and loaded, its function table and a bus handle taken, and every shim
// operation forwarded to a shim over them. Destruction releases the bus,
// then unloads the library.
#pragma once

#include "loader/SharedLibrary.h"
#include "messagebus/MessageBusShim.h"
#include "platform/OSInfoProxy.h"
#include "platform/RegistryAPI.h"
#include "platform/ShlObjAPI.h"

#include <kestrel/MessageBusLibrary.h>

#include <memory>
#include <vector>

namespace Vanta {

class MessageBusLib : public MessageBusShim {
public:
    // Empty arguments: "Conduit.dll" along the search list, and a shim over
    // the bus it opens. Throws ModuleException after an error log.
    explicit MessageBusLib(std::shared_ptr<SharedLibrary> library = nullptr,
                           std::shared_ptr<MessageBusShim> shim = nullptr);
    ~MessageBusLib() override;
    MessageBusLib(const MessageBusLib&) = delete;
    MessageBusLib& operator=(const MessageBusLib&) = delete;

    MODULE_STATUS publish(const std::shared_ptr<Message>& message, bool useSecondForm) override;
    MODULE_STATUS request(const std::shared_ptr<Message>& message, uint64_t replyIndex,
                          ReplyHandler* context, uint64_t timeoutMs, bool useSecondForm) override;
    MODULE_STATUS dropReplies() override;
    uint32_t subscribe(const std::wstring& name, MessageCallback* context) override;
    uint32_t subscribeFilter(const std::wstring& pattern, MessageCallback* context) override;
    MODULE_STATUS unsubscribe(uint32_t id) override;

    // "$(App.Folder)", then "$(Kestrel.InstallDir)".
    static const std::vector<std::wstring>& searchList();
    // The install folder from the registry, else the common program files
    // folder followed by "\Talmor\Kestrel": the one candidate for "Conduit.dll".
    static LibraryDescriptor
    loadFromRegistry(std::shared_ptr<Strato::internal::OSInfoProxy> osInfo = nullptr,
                     std::shared_ptr<RegistryAPI> registry = nullptr,
                     std::shared_ptr<Strato::ShlObjAPI> folders = nullptr);

private:
    std::shared_ptr<SharedLibrary> library_;
    std::shared_ptr<MessageBusShim> shim_;
    KestrelBusHandle busHandle_ = nullptr;
    const KestrelMessageBusFunctions* functions_ = nullptr;
};

} // namespace Vanta
