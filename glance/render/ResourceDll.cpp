#include "render/ResourceDll.h"

#include "logging/Log.h"
#include "status/ModuleException.h"

#include <utility>

namespace Vanta {

using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;
namespace {

constexpr const wchar_t* kFile = L"ResourceDll";

} // namespace

ResourceDll::ResourceDll(std::wstring moduleName, std::wstring resourceFileName,
                         std::shared_ptr<ResourceAPI> api)
    : api_(api ? std::move(api) : std::make_shared<ResourceAPI>()),
      moduleName_(std::move(moduleName)), resourceFileName_(std::move(resourceFileName)) {
    std::wstring folder;
    if (!getCurrentResourcePath(folder)) {
        throw ModuleException("Failed to get resourcePath for Module.");
    }
    // The folder already ends with its separator.
    if (!loadResourceDll(folder + resourceFileName_)) {
        throw ModuleException("Failed to load Resources.");
    }
}

ResourceDll::~ResourceDll() {
    unloadResourcesDll();
}

bool ResourceDll::getCurrentResourcePath(std::wstring& folder) {
    if (moduleName_.empty()) {
        return false;
    }
    const ModuleHandle module = api_->getModuleHandle(moduleName_.c_str());
    if (module == nullptr) {
        const uint32_t error = api_->getLastError();
        logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::getCurrentResourcePath", __LINE__,
                     L"Failed to get Module handle %lu for %ls", error, moduleName_.c_str());
        return false;
    }
    wchar_t buffer[kModulePathSize] = {};
    const uint32_t length = api_->getModuleFileName(module, buffer, kModulePathSize);
    if (length == 0) {
        const uint32_t error = api_->getLastError();
        logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::getCurrentResourcePath", __LINE__,
                     L"Failed to get ModulePath %lu for Module: %ls", error, moduleName_.c_str());
        return false;
    }
    // A cut path (length == size) still holds size - 1 characters and its NUL.
    const std::wstring fullPath(buffer, length < kModulePathSize ? length : kModulePathSize - 1);
    // Case-sensitive on purpose: the module's own name is spelled as loaded.
    const size_t at = fullPath.find(moduleName_);
    if (at == std::wstring::npos) {
        logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::getCurrentResourcePath", __LINE__,
                     L"File path %ls found is not correct for module %ls", fullPath.c_str(),
                     moduleName_.c_str());
        return false;
    }
    folder = fullPath.substr(0, at);
    return true;
}

bool ResourceDll::loadResourceDll(const std::wstring& path) {
    if (!api_->pathFileExists(path.c_str())) {
        const uint32_t error = api_->getLastError();
        logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::loadResourceDll", __LINE__,
                     L"%ls doesn't exist. Error %lu", path.c_str(), error);
        return false;
    }
    ModuleHandle module = nullptr;
    if (api_->loadLibrary(path.c_str(), module) && module != nullptr) {
        resourceModule_ = module;
        return true;
    }
    const uint32_t error = api_->getLastError();
    logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::loadResourceDll", __LINE__,
                 L"Failed to load Resource %ls. Error %lu", path.c_str(), error);
    return false;
}

bool ResourceDll::getResourceString(uint32_t id, std::wstring& text) {
    text.clear();
    std::lock_guard lock(stringLock_);
    // With a size of 0 the call stores a read-only pointer to the library's
    // own length-counted text instead of copying.
    const wchar_t* stored = nullptr;
    const int32_t length =
        api_->loadString(resourceModule_, id, reinterpret_cast<wchar_t*>(&stored), 0);
    if (length > 0 && stored != nullptr) {
        text.assign(stored, static_cast<size_t>(length));
        return true;
    }
    const uint32_t error = api_->getLastError();
    logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::getResourceString", __LINE__,
                 L"Failed to load xml resource Id:%lu. Error: %lu", id, error);
    return false;
}

void ResourceDll::unloadResourcesDll() {
    if (resourceModule_ == nullptr) {
        return;
    }
    const ModuleHandle module = std::exchange(resourceModule_, nullptr);
    if (!api_->freeLibrary(module)) {
        const uint32_t error = api_->getLastError();
        logIfEnabled(kLevelWarning, kFile, L"Vanta::ResourceDll::unloadResourcesDll", __LINE__,
                     L"Failed to unload resource. Error: %lu", error);
    }
}

} // namespace Vanta
