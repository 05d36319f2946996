// Where the trace sink's configuration lives: the application key under
// HKEY_LOCAL_MACHINE "SOFTWARE\Talmor.logging\<name>" with its "Session",
// "Provider" and "Controller" subkeys, or the built-in set for "KSQ" when
// that key is missing. The sink uses the provider GUID and key; the other
// fields are read and kept with the same rules.
#pragma once

#include "platform/Guid.h"
#include "platform/RegistryTypes.h"
#include "platform/ShlObjAPI.h"

#include <memory>
#include <string>

namespace Strato {
class CRegKey;
}

namespace ETWLogging::internal {

class ETWAppProperties {
public:
    // An empty pointer makes the default known-folder lookup.
    explicit ETWAppProperties(std::shared_ptr<Strato::ShlObjAPI> shell = nullptr);
    ETWAppProperties(const ETWAppProperties&) = default;
    ETWAppProperties& operator=(const ETWAppProperties&) = default;
    virtual ~ETWAppProperties() = default;

    // Loads once: false when already loaded, when the program-data folder is
    // unknown, when the key exists but lacks a subkey or a required value, or
    // when it is missing for any name but "KSQ". Null or empty means "KSQ".
    virtual bool Load(const wchar_t* applicationKey);
    // The program-data folder; false when it cannot be found.
    virtual bool GetRootFolder(std::wstring& folder);
    // Reads the opened application key; false when a subkey or required
    // value is missing (the fields may then be partly set).
    virtual bool LoadFromRegistry(Strato::CRegKey& applicationKey);
    // The built-in set; only for "KSQ", compared without regard to case.
    virtual bool LoadDefaults();
    virtual std::wstring GetTraceFileName() const { return L"tmlogs.etl"; }
    virtual std::wstring GetKeyPrefix() const { return L"SOFTWARE\\Talmor.logging"; }
    // The prefix, the application key name and, when given, a subkey.
    virtual std::wstring GetKeyPath(const wchar_t* subKey = nullptr) const;

    bool loaded() const noexcept { return loaded_; }
    const std::wstring& applicationKeyName() const noexcept { return name_; }
    const std::wstring& rootFolder() const noexcept { return root_; }
    Strato::RegKeyHandle rootHive() const noexcept { return hive_; }
    const std::wstring& applicationKeyPath() const noexcept { return applicationKeyPath_; }
    const std::wstring& controllerKeyPath() const noexcept { return controllerKeyPath_; }
    const std::wstring& providerKeyPath() const noexcept { return providerKeyPath_; }
    const std::wstring& logPath() const noexcept { return logPath_; }
    const std::wstring& traceFileFolder() const noexcept { return traceFileFolder_; }
    const std::wstring& traceFile() const noexcept { return traceFile_; }
    const std::wstring& controllerPath() const noexcept { return controllerPath_; }
    const std::wstring& ownerMutexName() const noexcept { return ownerMutexName_; }
    const Strato::Guid& sessionId() const noexcept { return sessionId_; }
    const std::wstring& sessionName() const noexcept { return sessionName_; }
    const Strato::Guid& providerGuid() const noexcept { return providerGuid_; }

private:
    std::shared_ptr<Strato::ShlObjAPI> shell_;
    bool loaded_ = false;
    std::wstring name_;
    std::wstring root_;
    Strato::RegKeyHandle hive_ = Strato::kHKeyLocalMachine;
    std::wstring applicationKeyPath_;
    std::wstring controllerKeyPath_;
    std::wstring providerKeyPath_;
    std::wstring logPath_;
    std::wstring traceFileFolder_;
    std::wstring traceFile_;
    std::wstring controllerPath_;
    std::wstring ownerMutexName_;
    Strato::Guid sessionId_{};
    std::wstring sessionName_;
    Strato::Guid providerGuid_{};
};

} // namespace ETWLogging::internal
