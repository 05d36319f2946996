// One life of the module, driven through its function table in the host's
// order: NewModule, InitializeModuleV2 (the host hands over a bus handle of
// its own) or InitializeModule (the module opens the bus library itself),
// StartModule; then messages; then StopModule, UninitializeModule,
// DestroyModule. The host's own bus handle receives the payloads: every
// handle of the bus library joins one bus. A module that loads the bus
// itself does so before the host does, so that its own loading (search and
// signature check) is what runs.
#pragma once

#include "BusLibrary.h"
#include "ModuleLibrary.h"
#include "PayloadInbox.h"

#include <chrono>
#include <string>

namespace Vanta {

class ModuleSession {
public:
    // The module's log group, the name NewModule gets.
    static constexpr const wchar_t* kLogGroup = L"kestrel-host";

    ModuleSession(const ModuleLibrary& module, std::wstring busPath, bool selfLoadedBus,
                  bool keepPayloads = true)
        : module_(module), busPath_(std::move(busPath)), selfLoadedBus_(selfLoadedBus),
          inbox_(keepPayloads) {}
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;
    // Ends whatever begin() started.
    ~ModuleSession();

    // Up to a started module; false with the failed step (UTF-8). Whatever
    // was started is ended by end() or the destructor.
    bool begin(const std::wstring& moduleName, std::string& error);

    MODULE_STATUS publish(const std::wstring& name, const std::wstring& data);
    MODULE_STATUS direct(const std::wstring& name, const std::wstring& data);

    // Stops and destroys the module, waits until the host's handle has
    // received all that was published before, and releases the handles.
    // False with the first failed step.
    bool end(std::chrono::milliseconds timeout, std::string& error);

    PayloadInbox& inbox() { return inbox_; }

    // "NAME (0xXXXXXXXX)", for reports.
    static std::string statusText(MODULE_STATUS status);

private:
    bool openHostHandle(std::string& error);

    const ModuleLibrary& module_;
    const std::wstring busPath_;
    const bool selfLoadedBus_;
    BusLibrary bus_;
    PayloadInbox inbox_;
    KestrelBusHandle hostHandle_ = nullptr;
    KestrelSubscriptionId subscription_ = 0;
    KestrelBusHandle moduleHandle_ = nullptr;
    KestrelModuleHandle handle_ = nullptr;
    bool started_ = false;
    bool initialized_ = false;
};

} // namespace Vanta
