#include "logging/ETWAppProperties.h"

#include "platform/AsciiCase.h"
#include "platform/CRegKey.h"
#include "platform/KnownFolderIds.h"
#include "platform/PathSeparator.h"

#include <algorithm>

namespace ETWLogging::internal {
namespace {

constexpr const wchar_t* kDefaultName = L"KSQ";
constexpr const wchar_t* kDefaultApplicationKey = L"SOFTWARE\\Talmor\\Logging";
constexpr const wchar_t* kDefaultOwnerMutex =
    L"Global\\Talmor.{0696D115-BE52-46c3-BFEE-D73A305B6581}";
constexpr const wchar_t* kDefaultSessionName = L"Talmor.{E4367DA7-2B80-47f3-86D2-7626A18FC6F4}";
// {491FB070-54CC-11E0-B8AF-0800200C9A66}
constexpr Strato::Guid kDefaultSessionId{
    0x491FB070, 0x54CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};
// {E16CA450-55CC-11E0-B8AF-0800200C9A66}
constexpr Strato::Guid kDefaultProviderGuid{
    0xE16CA450, 0x55CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};

// A folder below the root, written with backslashes, in this build's separator.
std::wstring below(const std::wstring& root, std::wstring relative) {
    std::replace(relative.begin(), relative.end(), L'\\', Vanta::kPathSeparator);
    return root + relative;
}

} // namespace

ETWAppProperties::ETWAppProperties(std::shared_ptr<Strato::ShlObjAPI> shell)
    : shell_(shell ? std::move(shell) : std::make_shared<Strato::ShlObjAPI>()) {}

bool ETWAppProperties::Load(const wchar_t* applicationKey) {
    if (loaded_) {
        return false;
    }
    name_ = applicationKey != nullptr && *applicationKey != L'\0' ? applicationKey : kDefaultName;
    if (!GetRootFolder(root_)) {
        return false;
    }
    Strato::CRegKey key;
    if (key.Open(Strato::kHKeyLocalMachine, GetKeyPath().c_str(), Strato::kKeyRead) ==
        Strato::kErrorSuccess) {
        loaded_ = LoadFromRegistry(key);
    } else {
        loaded_ = LoadDefaults();
    }
    return loaded_;
}

bool ETWAppProperties::GetRootFolder(std::wstring& folder) {
    std::wstring found;
    if (shell_->SHGetKnownFolderPath(Strato::kFolderIdProgramData, Strato::kKnownFolderCreate,
                                     nullptr, found) != 0) {
        return false;
    }
    folder = std::move(found);
    return true;
}

bool ETWAppProperties::LoadFromRegistry(Strato::CRegKey& applicationKey) {
    Strato::CRegKey session;
    Strato::CRegKey provider;
    Strato::CRegKey controller;
    if (session.Open(applicationKey.handle(), L"Session", Strato::kKeyRead) !=
            Strato::kErrorSuccess ||
        provider.Open(applicationKey.handle(), L"Provider", Strato::kKeyRead) !=
            Strato::kErrorSuccess ||
        controller.Open(applicationKey.handle(), L"Controller", Strato::kKeyRead) !=
            Strato::kErrorSuccess) {
        return false;
    }
    hive_ = Strato::kHKeyLocalMachine;
    applicationKeyPath_ = GetKeyPath();
    controllerKeyPath_ = GetKeyPath(L"Controller");
    providerKeyPath_ = GetKeyPath(L"Provider");

    std::wstring value;
    logPath_ = applicationKey.QueryStringValue(L"Log Path", value) == Strato::kErrorSuccess
                   ? root_ + value
                   : below(root_, L"\\Talmor\\TMLOGS");
    traceFileFolder_ = applicationKey.QueryStringValue(L"ETL Path", value) == Strato::kErrorSuccess
                           ? root_ + value
                           : below(root_, L"\\Talmor\\TMLOGS\\ETW");
    traceFile_ = traceFileFolder_ + Vanta::kPathSeparator + GetTraceFileName();
    return controller.QueryStringValue(L"Controller Path", controllerPath_) ==
               Strato::kErrorSuccess &&
           controller.QueryStringValue(L"Owner Mutex Name", ownerMutexName_) ==
               Strato::kErrorSuccess &&
           session.QueryGUIDValue(L"Session ID Guid", sessionId_) == Strato::kErrorSuccess &&
           session.QueryStringValue(L"Session Name", sessionName_) == Strato::kErrorSuccess &&
           provider.QueryGUIDValue(L"Provider Guid", providerGuid_) == Strato::kErrorSuccess;
}

bool ETWAppProperties::LoadDefaults() {
    if (!Vanta::equalIgnoringAsciiCase(name_, kDefaultName)) {
        return false;
    }
    hive_ = Strato::kHKeyLocalMachine;
    applicationKeyPath_ = kDefaultApplicationKey;
    controllerKeyPath_ = applicationKeyPath_ + L"\\Controller";
    providerKeyPath_ = applicationKeyPath_ + L"\\Provider";
    logPath_ = below(root_, L"\\Talmor\\TMLOGS");
    traceFileFolder_ = below(root_, L"\\Talmor\\TMLOGS\\ETW");
    traceFile_ = traceFileFolder_ + Vanta::kPathSeparator + GetTraceFileName();
    controllerPath_.clear();
    ownerMutexName_ = kDefaultOwnerMutex;
    sessionId_ = kDefaultSessionId;
    sessionName_ = kDefaultSessionName;
    providerGuid_ = kDefaultProviderGuid;
    return true;
}

std::wstring ETWAppProperties::GetKeyPath(const wchar_t* subKey) const {
    std::wstring path = GetKeyPrefix() + L"\\" + name_;
    if (subKey != nullptr && *subKey != L'\0') {
        path += L"\\";
        path += subKey;
    }
    return path;
}

} // namespace ETWLogging::internal
