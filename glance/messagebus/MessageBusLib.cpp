#include "messagebus/MessageBusLib.h"

#include "logging/Log.h"
#include "logging/PerfTimer.h"
#include "messagebus/MessageBusShimImpl.h"
#include "platform/KnownFolderIds.h"
#include "platform/PathSeparator.h"
#include "status/ExceptionBoundary.h"
#include "status/ModuleException.h"
#include "status/ModuleStatusName.h"

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"MessageBusLib";
constexpr const wchar_t* kLibraryName = L"Conduit.dll";

} // namespace

const std::vector<std::wstring>& MessageBusLib::searchList() {
    static const std::vector<std::wstring> kSearchList = {L"$(App.Folder)",
                                                          L"$(Kestrel.InstallDir)"};
    return kSearchList;
}

MessageBusLib::MessageBusLib(std::shared_ptr<SharedLibrary> library,
                             std::shared_ptr<MessageBusShim> shim)
    : library_(std::move(library)) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusLib::MessageBusLib";
    internal::PerfTimer timer(L"MessageBusLib::MessageBusLib");
    if (!library_) {
        library_ = std::make_shared<SharedLibrary>(
            searchList().empty() ? loadFromRegistry()
                                 : LibraryDescriptor{kLibraryName, searchList()});
    }
    const auto createObject =
        reinterpret_cast<KestrelBusCreateObjectFn>(library_->functions()->createObject);
    functions_ = createObject(KESTREL_MESSAGE_BUS_INTERFACE_VERSION);
    if (functions_ == nullptr) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, __LINE__,
                                 L"Failed to get message bus functions object. Throwing "
                                 L"ModuleException.");
        throw ModuleException("Failed to get message bus functions object");
    }
    const MODULE_STATUS opened =
        functions_->open != nullptr ? functions_->open(&busHandle_) : MODULE_STATUS_UNSUCCESSFUL;
    if (opened != MODULE_STATUS_SUCCESS) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, __LINE__,
                                 L"Failed to get message bus handle. Error code: %ls(%lu). "
                                 L"Throwing ModuleException.",
                                 moduleStatusName(opened), static_cast<uint32_t>(opened));
        throw ModuleException("Failed to get message bus handle");
    }
    shim_ = shim ? std::move(shim) : std::make_shared<MessageBusShimImpl>(busHandle_, functions_);
}

MessageBusLib::~MessageBusLib() {
    shim_.reset();
    runInExceptionBoundary([&] {
        const MODULE_STATUS released = functions_->release != nullptr
                                           ? functions_->release(busHandle_)
                                           : MODULE_STATUS_SUCCESS;
        if (released != MODULE_STATUS_SUCCESS) {
            ETWLogging::logIfEnabled(ETWLogging::kLevelWarning, kFile,
                                     L"Vanta::MessageBusLib::~MessageBusLib", __LINE__,
                                     L"Failed to release message bus. Error code %ls(%lu).",
                                     moduleStatusName(released), static_cast<uint32_t>(released));
        }
        return released;
    });
    library_.reset();
}

MODULE_STATUS MessageBusLib::publish(const std::shared_ptr<Message>& message, bool useSecondForm) {
    return shim_->publish(message, useSecondForm);
}

MODULE_STATUS MessageBusLib::request(const std::shared_ptr<Message>& message, uint64_t replyIndex,
                                     ReplyHandler* context, uint64_t timeoutMs,
                                     bool useSecondForm) {
    return shim_->request(message, replyIndex, context, timeoutMs, useSecondForm);
}

MODULE_STATUS MessageBusLib::dropReplies() {
    return shim_->dropReplies();
}

uint32_t MessageBusLib::subscribe(const std::wstring& name, MessageCallback* context) {
    return shim_->subscribe(name, context);
}

uint32_t MessageBusLib::subscribeFilter(const std::wstring& pattern, MessageCallback* context) {
    return shim_->subscribeFilter(pattern, context);
}

MODULE_STATUS MessageBusLib::unsubscribe(uint32_t id) {
    return shim_->unsubscribe(id);
}

LibraryDescriptor
MessageBusLib::loadFromRegistry(std::shared_ptr<Strato::internal::OSInfoProxy> osInfo,
                                std::shared_ptr<RegistryAPI> registry,
                                std::shared_ptr<Strato::ShlObjAPI> folders) {
    constexpr const wchar_t* kFunction = L"Vanta::MessageBusLib::loadFromRegistry";
    if (!osInfo) {
        osInfo = std::make_shared<Strato::internal::OSInfoProxy>();
    }
    if (!registry) {
        registry = std::make_shared<RegistryAPI>();
    }
    if (!folders) {
        folders = std::make_shared<Strato::ShlObjAPI>();
    }
    const bool wow64 = osInfo->isWow64Process();
    std::wstring folder;
    if (registry->getStringValue(L"SOFTWARE\\TALMOR\\PELLIX",
                                 wow64 ? L"Install Dir32" : L"Install Dir", folder) != 0) {
        folder.clear();
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, __LINE__,
                                 wow64 ? L"Failed to retrieve Pellix WoW64 path from registry"
                                       : L"Failed to retrieve Pellix path from registry");
    }
    if (folder.empty()) {
        std::wstring common;
        if (folders->SHGetKnownFolderPath(Strato::kFolderIdProgramFilesCommon, 0, nullptr,
                                          common) == 0) {
            folder = common + kPathSeparator + L"Talmor" + kPathSeparator + L"Kestrel";
        }
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelInformation, kFile, kFunction, __LINE__,
                             L"Loading MesageBusLib by force from path: %s", folder.c_str());
    return LibraryDescriptor{kLibraryName, {folder}};
}

} // namespace Vanta
