#include "entry/ModuleFunctions.h"

#include "entry/Glance.h"
#include "logging/Log.h"
#include "logging/LogFrontEnd.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusClient.h"
#include "messagebus/MessageBusShimImpl.h"
#include "module/BaseModule.h"
#include "module/ModuleManagerShim.h"
#include "status/ExceptionBoundary.h"

#include <functional>
#include <memory>

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"ModuleFunctions";

void logError(const wchar_t* function, int32_t line, const wchar_t* text) {
    ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, function, line, text);
}

// The handle check, then the body inside the exception boundary.
template <typename Body>
MODULE_STATUS withModule(KestrelModuleHandle handle, const wchar_t* function, Body&& body) {
    if (handle == nullptr || handle->module == nullptr) {
        logError(function, __LINE__, L"Invalid handle.");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    return runInExceptionBoundary([&] { return body(*handle->module); });
}

std::wstring text(const wchar_t* given) {
    return given != nullptr ? std::wstring(given) : std::wstring();
}

MODULE_STATUS newModule(KestrelModuleHandle* out, const wchar_t* logGroup) {
    if (out == nullptr) {
        logError(L"NewModule", __LINE__, L"Invalid handle address.");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    return runInExceptionBoundary([&] {
        if (logGroup != nullptr && *logGroup != L'\0') {
            SetLogParameters(nullptr, logGroup, nullptr, nullptr, 0);
        }
        Module* module = nullptr;
        const MODULE_STATUS created = createModule(&module);
        if (created != MODULE_STATUS_SUCCESS) {
            return created;
        }
        try {
            *out = new KestrelModule{destroyModule, module};
        } catch (...) {
            destroyModule(module);
            throw;
        }
        return MODULE_STATUS_SUCCESS;
    });
}

MODULE_STATUS destroyModuleHandle(KestrelModuleHandle handle) {
    if (handle == nullptr) {
        logError(L"DestroyModule", __LINE__, L"Invalid handle.");
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    return runInExceptionBoundary([&] {
        const std::unique_ptr<KestrelModule> owned(handle);
        if (owned->module != nullptr) {
            owned->deleter(owned->module);
        }
        return MODULE_STATUS_SUCCESS;
    });
}

// Both initialization variants; they differ only in where the bus comes from.
MODULE_STATUS initializeWith(KestrelModuleHandle handle, const wchar_t* function,
                             const wchar_t* name, const wchar_t* moduleText, uint32_t count,
                             const wchar_t* const* keys, const wchar_t* const* values,
                             void* managerHandle, KestrelModuleManagerFn managerFunction,
                             const std::function<std::shared_ptr<MessageBus>()>& openBus) {
    return withModule(handle, function, [&](Module& module) {
        auto* base = dynamic_cast<BaseModule*>(&module);
        if (base == nullptr) {
            return module.initialize();
        }
        BaseModule::Properties properties;
        for (uint32_t i = 0; keys != nullptr && values != nullptr && i < count; ++i) {
            // A repeated key keeps the value of its lowest index.
            properties.emplace(text(keys[i]), text(values[i]));
        }
        auto manager =
            std::make_shared<internal::ModuleManagerShim>(managerHandle, managerFunction);
        const MODULE_STATUS status =
            base->baseInitialize(text(name), text(moduleText), properties, manager, openBus());
        if (status != MODULE_STATUS_SUCCESS) {
            ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, function, __LINE__,
                                     L"Failed to initialize base module. Error code %lu.",
                                     static_cast<uint32_t>(status));
            return status;
        }
        return module.initialize();
    });
}

MODULE_STATUS initializeModule(KestrelModuleHandle handle, const wchar_t* name,
                               const wchar_t* moduleText, uint32_t count,
                               const wchar_t* const* keys, const wchar_t* const* values,
                               void* managerHandle, KestrelModuleManagerFn managerFunction) {
    return initializeWith(handle, L"InitializeModule", name, moduleText, count, keys, values,
                          managerHandle, managerFunction,
                          [] { return std::make_shared<MessageBusClient>(); });
}

MODULE_STATUS initializeModuleV2(KestrelModuleHandle handle, const wchar_t* name,
                                 const wchar_t* moduleText, uint32_t count,
                                 const wchar_t* const* keys, const wchar_t* const* values,
                                 void* managerHandle, KestrelModuleManagerFn managerFunction,
                                 KestrelBusHandle busHandle,
                                 const KestrelMessageBusFunctions* busFunctions) {
    return initializeWith(handle, L"InitializeModuleV2", name, moduleText, count, keys, values,
                          managerHandle, managerFunction, [&] {
                              return std::make_shared<MessageBusClient>(
                                  std::make_shared<MessageBusShimImpl>(busHandle, busFunctions));
                          });
}

MODULE_STATUS startModule(KestrelModuleHandle handle) {
    return withModule(handle, L"StartModule", [](Module& module) { return module.start(); });
}

MODULE_STATUS stopModule(KestrelModuleHandle handle) {
    return withModule(handle, L"StopModule", [](Module& module) { return module.stop(); });
}

MODULE_STATUS uninitializeModule(KestrelModuleHandle handle) {
    return withModule(handle, L"UninitializeModule",
                      [](Module& module) { return module.uninitialize(); });
}

MODULE_STATUS directMessage(KestrelModuleHandle handle, const KestrelRawMessageHeader* header,
                            const wchar_t* name, const wchar_t* sender, const wchar_t* data) {
    return withModule(handle, L"DirectMessage", [&](Module& module) {
        const std::shared_ptr<Message> message = createMessage(name, sender, data);
        if (!message) {
            return MODULE_STATUS_NO_MEMORY;
        }
        copyHeader(message->getHeader(), header);
        auto* base = dynamic_cast<BaseModule*>(&module);
        return base != nullptr ? base->directMessage(message) : MODULE_STATUS_SUCCESS;
    });
}

constexpr KestrelModuleFunctions kModuleFunctions = {
    newModule,  destroyModuleHandle, initializeModule, startModule,
    stopModule, uninitializeModule,  directMessage,    initializeModuleV2,
};

} // namespace

const KestrelModuleFunctions* moduleFunctions() noexcept {
    return &kModuleFunctions;
}

} // namespace Vanta
