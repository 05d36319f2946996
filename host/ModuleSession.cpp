#include "ModuleSession.h"

#include "status/ModuleStatusName.h"

#include "platform/TextCodec.h"

#include <cstdio>

namespace Vanta {
namespace {

constexpr const wchar_t* kSender = L"kestrel-host";

std::string failedStep(const char* step, MODULE_STATUS status) {
    return std::string(step) + " failed: " + ModuleSession::statusText(status);
}

} // namespace

std::string ModuleSession::statusText(MODULE_STATUS status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    return toUtf8(moduleStatusName(status)) + " (" + code + ")";
}

ModuleSession::~ModuleSession() {
    std::string ignored;
    end(std::chrono::milliseconds(0), ignored);
}

bool ModuleSession::openHostHandle(std::string& error) {
    if (!bus_.functions() && !bus_.load(busPath_, error)) {
        return false;
    }
    const KestrelMessageBusFunctions& bus = *bus_.functions();
    if (const MODULE_STATUS opened = bus.open(&hostHandle_); opened != MODULE_STATUS_SUCCESS) {
        hostHandle_ = nullptr;
        error = failedStep("opening the host's bus handle", opened);
        return false;
    }
    subscription_ =
        bus.subscribeFilter(hostHandle_, &inbox_, &PayloadInbox::onMessage, PayloadInbox::kPattern);
    if (subscription_ == 0) {
        error = "subscribing to the tile payloads failed";
        return false;
    }
    return true;
}

bool ModuleSession::begin(const std::wstring& moduleName, std::string& error) {
    const KestrelModuleFunctions& table = module_.functions();
    if (!selfLoadedBus_) {
        if (!openHostHandle(error)) {
            return false;
        }
        if (const MODULE_STATUS opened = bus_.functions()->open(&moduleHandle_);
            opened != MODULE_STATUS_SUCCESS) {
            moduleHandle_ = nullptr;
            error = failedStep("opening the module's bus handle", opened);
            return false;
        }
    }
    if (const MODULE_STATUS created = table.newModule(&handle_, kLogGroup);
        created != MODULE_STATUS_SUCCESS) {
        handle_ = nullptr;
        error = failedStep("NewModule", created);
        return false;
    }
    const MODULE_STATUS initialized =
        selfLoadedBus_
            ? table.initializeModule(handle_, moduleName.c_str(), L"", 0, nullptr, nullptr, nullptr,
                                     nullptr)
            : table.initializeModuleV2(handle_, moduleName.c_str(), L"", 0, nullptr, nullptr,
                                       nullptr, nullptr, moduleHandle_, bus_.functions());
    if (initialized != MODULE_STATUS_SUCCESS) {
        error = failedStep(selfLoadedBus_ ? "InitializeModule" : "InitializeModuleV2", initialized);
        return false;
    }
    initialized_ = true;
    if (selfLoadedBus_ && !openHostHandle(error)) {
        return false;
    }
    if (const MODULE_STATUS started = table.startModule(handle_);
        started != MODULE_STATUS_SUCCESS) {
        error = failedStep("StartModule", started);
        return false;
    }
    started_ = true;
    return true;
}

MODULE_STATUS ModuleSession::publish(const std::wstring& name, const std::wstring& data) {
    KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
    return bus_.functions()->publish(hostHandle_, &header, name.c_str(), kSender, data.c_str());
}

MODULE_STATUS ModuleSession::direct(const std::wstring& name, const std::wstring& data) {
    return module_.functions().directMessage(handle_, nullptr, name.c_str(), kSender, data.c_str());
}

bool ModuleSession::end(std::chrono::milliseconds timeout, std::string& error) {
    const KestrelModuleFunctions& table = module_.functions();
    error.clear();
    const auto check = [&](const char* step, MODULE_STATUS status) {
        if (status != MODULE_STATUS_SUCCESS && error.empty()) {
            error = failedStep(step, status);
        }
    };
    if (handle_ != nullptr) {
        if (started_) {
            check("StopModule", table.stopModule(handle_));
        }
        if (initialized_) {
            check("UninitializeModule", table.uninitializeModule(handle_));
        }
        check("DestroyModule", table.destroyModule(handle_));
    }
    handle_ = nullptr;
    started_ = false;
    initialized_ = false;
    const KestrelMessageBusFunctions* bus = bus_.functions();
    if (moduleHandle_ != nullptr) {
        check("releasing the module's bus handle", bus->release(moduleHandle_));
        moduleHandle_ = nullptr;
    }
    if (hostHandle_ != nullptr) {
        if (subscription_ != 0 && timeout.count() > 0) {
            // The module's worker has stopped: everything it published is on its way.
            KestrelRawMessageHeader header = KestrelDefaultRawMessageHeader();
            const MODULE_STATUS marked =
                bus->publish(hostHandle_, &header, PayloadInbox::kMarkerName, kSender, L"");
            check("publishing the drain marker", marked);
            if (marked == MODULE_STATUS_SUCCESS && !inbox_.waitForMarkers(1, timeout) &&
                error.empty()) {
                error = "the drain marker did not come back in time";
            }
        }
        if (subscription_ != 0) {
            bus->unsubscribe(hostHandle_, subscription_);
            subscription_ = 0;
        }
        check("releasing the host's bus handle", bus->release(hostHandle_));
        hostHandle_ = nullptr;
    }
    bus_.unload();
    return error.empty();
}

} // namespace Vanta
