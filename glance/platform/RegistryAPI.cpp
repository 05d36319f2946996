#include "platform/RegistryAPI.h"

#include "kestrel/ModuleStatus.h"
#include "platform/CRegKey.h"

namespace Vanta {
namespace {

constexpr uint32_t kMaxStringChars = 260;

} // namespace

uint32_t RegistryAPI::getStringValue(const std::wstring& keyPath, const std::wstring& valueName,
                                     std::wstring& value) {
    Strato::CRegKey key;
    if (key.Open(Strato::kHKeyLocalMachine, keyPath.c_str(), Strato::kKeyRead) !=
        Strato::kErrorSuccess) {
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    wchar_t buffer[kMaxStringChars] = {};
    uint32_t chars = kMaxStringChars;
    if (key.QueryStringValue(valueName.c_str(), buffer, &chars) != Strato::kErrorSuccess) {
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    value.assign(buffer);
    return MODULE_STATUS_SUCCESS;
}

uint32_t RegistryAPI::getDwordValue(const std::wstring& keyPath, const std::wstring& valueName,
                                    uint32_t& value) {
    Strato::CRegKey key;
    if (key.Open(Strato::kHKeyLocalMachine, keyPath.c_str(), Strato::kKeyRead) !=
        Strato::kErrorSuccess) {
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    if (key.QueryDWORDValue(valueName.c_str(), value) != Strato::kErrorSuccess) {
        return MODULE_STATUS_UNSUCCESSFUL;
    }
    return MODULE_STATUS_SUCCESS;
}

} // namespace Vanta
