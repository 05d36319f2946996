#include "loader/DllLoader.h"

#include "logging/Log.h"
#include "status/ExceptionBoundary.h"
#include "status/ModuleStatusName.h"

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"dll\\DllLoader";

} // namespace

DllLoader::DllLoader(std::shared_ptr<DllAPI> api)
    : api_(api ? std::move(api) : std::make_shared<DllAPI>()) {}

DllLoader::~DllLoader() = default;

bool DllLoader::loadDLL(const std::wstring& path, ModuleHandle* module) {
    constexpr const wchar_t* kFunction = L"Vanta::DllLoader::loadDLL";
    if (module == nullptr) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelWarning, kFile, kFunction, 39,
                                 L"Invalid pHandle specified. Exiting.");
        return false;
    }
    if (api_->getModuleHandleEx(0, path, *module)) {
        return true;
    }
    const MODULE_STATUS status = runInExceptionBoundary([&] {
        return api_->loadLibrary(path, *module) ? MODULE_STATUS_SUCCESS
                                                : MODULE_STATUS_UNSUCCESSFUL;
    });
    if (status == MODULE_STATUS_SUCCESS) {
        return true;
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 58,
                             L"Failed to load library. Error code: %ls(%lu).",
                             moduleStatusName(status), static_cast<uint32_t>(status));
    return false;
}

void* DllLoader::getProcAddress(ModuleHandle module, const char* name) {
    void* address = nullptr;
    runInExceptionBoundary([&] {
        address = api_->getProcAddress(module, name);
        return address != nullptr ? MODULE_STATUS_SUCCESS : MODULE_STATUS_INVALID_HANDLE;
    });
    if (address == nullptr) {
        ETWLogging::logIfEnabled(
            ETWLogging::kLevelWarning, kFile, L"Vanta::DllLoader::getProcAddress", 72,
            L"getProcAddress was unsuccessful in finding the handle's address");
    }
    return address;
}

bool DllLoader::freeLibrary(ModuleHandle module) {
    return api_->freeLibrary(module);
}

} // namespace Vanta
