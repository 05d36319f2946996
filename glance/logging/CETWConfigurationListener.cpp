#include "logging/CETWConfigurationListener.h"

#include "logging/CLoggingIf_ex.h"
#include "platform/CRegKey.h"

namespace ETWLogging {

CETWConfigurationListener::CETWConfigurationListener(const internal::ETWAppProperties& properties)
    : properties_(properties) {}

void CETWConfigurationListener::Apply(bool enabled, uint32_t level, uint32_t) {
    if (sink_ == nullptr) {
        return;
    }
    sink_->SetEnabled(enabled);
    sink_->SetSeverity(level);
    Strato::RegKeyHandle hive = nullptr;
    std::wstring provider;
    GetProviderKey(hive, provider);
    ApplyKey(hive, provider);
    for (const wchar_t* name : {sink_->GetGroupName(), sink_->GetComposedName()}) {
        if (name != nullptr && *name != L'\0') {
            ApplyKey(hive, provider + L"\\" + name);
        }
    }
}

bool CETWConfigurationListener::Attach(CLoggingIf_ex* sink) {
    if (sink == nullptr || sink_ != nullptr) {
        return false;
    }
    sink_ = sink;
    return true;
}

void CETWConfigurationListener::GetProviderKey(Strato::RegKeyHandle& hive, std::wstring& path) {
    hive = properties_.rootHive();
    path = properties_.providerKeyPath();
}

void CETWConfigurationListener::ApplyKey(Strato::RegKeyHandle hive, const std::wstring& path) {
    if (sink_ == nullptr) {
        return;
    }
    Strato::CRegKey key;
    if (key.Open(hive, path.c_str(), Strato::kKeyRead) != Strato::kErrorSuccess) {
        return;
    }
    uint32_t value = 0;
    if (key.QueryDWORDValue(L"Enable", value) == Strato::kErrorSuccess) {
        sink_->SetEnabled(value != 0);
    }
    if (key.QueryDWORDValue(L"Severity", value) == Strato::kErrorSuccess) {
        sink_->SetSeverity(value);
    }
}

} // namespace ETWLogging
