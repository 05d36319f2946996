#include "loader/SharedLibrary.h"

#include "logging/Log.h"
#include "platform/AsciiCase.h"
#include "platform/CObfuscatedRegKey.h"
#include "platform/PathSeparator.h"
#include "platform/RegistryTypes.h"
#include "status/ExceptionBoundary.h"
#include "status/ModuleException.h"

#include <algorithm>
#include <array>

namespace Vanta {
namespace {

constexpr const wchar_t* kFile = L"dll\\SharedLibrary";
constexpr uint32_t kBlockListAccess = 0x20019; // KEY_READ
constexpr const wchar_t* kBlockListKey = L"SOFTWARE\\Talmor\\Pellix\\List\\";

// The host framework's own libraries: never on the block list.
bool isHostLibrary(const std::wstring& lowerName) {
    static const std::array<std::wstring, 4> kHostLibraries = {L"sentinel.dll", L"ledger.dll",
                                                               L"warden.dll", L"conduit.dll"};
    return std::find(kHostLibraries.begin(), kHostLibraries.end(), lowerName) !=
           kHostLibraries.end();
}

} // namespace

SharedLibrary::SharedLibrary(LibraryDescriptor descriptor, std::shared_ptr<DllLoader> loader,
                             std::shared_ptr<PathHelpers> expander,
                             std::shared_ptr<PathSearch> search,
                             std::shared_ptr<Strato::FileVersionInfo> versionReader,
                             std::shared_ptr<Strato::CRegKey> registryReader)
    : name_(std::move(descriptor.name)), folders_(std::move(descriptor.folders)),
      loader_(loader ? std::move(loader) : std::make_shared<DllLoader>()),
      expander_(expander ? std::move(expander) : std::make_shared<PathHelpers>()),
      search_(search ? std::move(search) : std::make_shared<PathSearch>()),
      registryReader_(std::move(registryReader)), versionReader_(std::move(versionReader)) {
    constexpr const wchar_t* kFunction = L"Vanta::SharedLibrary::SharedLibrary";
    if (loadLibrary() != MODULE_STATUS_SUCCESS) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 69,
                                 L"Failed to load library: %ls. Throwing ModuleException.",
                                 name_.c_str());
        throw ModuleException("Failed to load library");
    }
    if (importFunctions() != MODULE_STATUS_SUCCESS) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 76,
                                 L"Failed to import functions from library: %ls. Throwing "
                                 L"ModuleException.",
                                 name_.c_str());
        unloadLibrary();
        throw ModuleException("Failed to import functions from library");
    }
}

SharedLibrary::~SharedLibrary() {
    unloadLibrary();
}

const ImportedFunctions* SharedLibrary::functions() const {
    return &functions_;
}

MODULE_STATUS SharedLibrary::loadLibrary() {
    constexpr const wchar_t* kFunction = L"Vanta::SharedLibrary::loadLibrary";
    for (std::wstring& folder : folders_) {
        const std::wstring written = folder;
        if (!expander_->expandMacros(folder)) {
            ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 187,
                                     L"Failed to resolve file path, %ls, for library: %ls.",
                                     written.c_str(), name_.c_str());
            return MODULE_STATUS_NOT_FOUND;
        }
    }
    search_->addSearchPaths(folders_);
    std::wstring folder;
    if (!search_->findFilePath(name_, folder)) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 196,
                                 L"Failed to find valid path for library: %ls.", name_.c_str());
        return MODULE_STATUS_NOT_FOUND;
    }
    ETWLogging::logIfEnabled(ETWLogging::kLevelNormal, kFile, kFunction, 200,
                             L"Loading %ls from %ls.", name_.c_str(), folder.c_str());
    const std::wstring path = folder + kPathSeparator + name_;
    if (isBlocked(folder)) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelInformation, kFile, kFunction, 207,
                                 L"Blocked library: %ls.", path.c_str());
        return MODULE_STATUS_NOT_SUPPORTED;
    }
    if (!loader_->loadDLL(path, &module_)) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, kFunction, 213,
                                 L"Failed to load library: %ls.", name_.c_str());
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    return MODULE_STATUS_SUCCESS;
}

bool SharedLibrary::isBlocked(const std::wstring& folder) const {
    if (folder.empty() || name_.empty()) {
        return false;
    }
    const std::wstring lowerName = asciiLowered<wchar_t>(name_);
    if (isHostLibrary(lowerName)) {
        return false;
    }
    const std::wstring path = folder + kPathSeparator + name_;
    const std::shared_ptr<Strato::FileVersionInfo> versions =
        versionReader_ ? versionReader_ : std::make_shared<Strato::FileVersionInfo>();
    if (!versions->load(path)) {
        return false;
    }
    std::wstring version;
    versions->getString(version, L"FileVersion");
    // Without a version text there is nothing the list could name; reading
    // the list's default value would otherwise compare empty with empty.
    if (version.empty()) {
        return false;
    }
    const std::shared_ptr<Strato::CRegKey> list =
        registryReader_ ? registryReader_ : std::make_shared<Strato::CObfuscatedRegKey>();
    const std::wstring key = kBlockListKey + lowerName;
    if (list->Open(Strato::kHKeyLocalMachine, key.c_str(), kBlockListAccess) != 0) {
        return false;
    }
    std::wstring listed;
    if (list->QueryStringValue(version.c_str(), listed) != 0) {
        listed.clear();
    }
    return listed == version;
}

MODULE_STATUS SharedLibrary::importFunctions() {
    struct Import {
        const char* name;
        void** address;
        int32_t line;
    } imports[] = {
        {"CreateObject", &functions_.createObject, 226},
        {"ReleaseObject", &functions_.releaseObject, 235},
        {"GetVersionStr", &functions_.getVersionStr, 244},
        {"GetVersionNum", &functions_.getVersionNum, 253},
    };
    for (const Import& import : imports) {
        *import.address = loader_->getProcAddress(module_, import.name);
        if (*import.address == nullptr) {
            ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile,
                                     L"Vanta::SharedLibrary::importFunctions", import.line,
                                     L"Failed to load %hs function from library: %ls.", import.name,
                                     name_.c_str());
            return MODULE_STATUS_NOT_FOUND;
        }
    }
    return MODULE_STATUS_SUCCESS;
}

MODULE_STATUS SharedLibrary::unloadLibrary() {
    return runInExceptionBoundary([&] {
        if (module_ == nullptr) {
            return MODULE_STATUS_SUCCESS;
        }
        if (!loader_->freeLibrary(module_)) {
            ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile,
                                     L"Vanta::SharedLibrary::unloadLibrary", 267,
                                     L"Failed to free library: %ls.", name_.c_str());
            return MODULE_STATUS_UNSUCCESSFUL;
        }
        module_ = nullptr;
        return MODULE_STATUS_SUCCESS;
    });
}

} // namespace Vanta
