// Reads single values under HKEY_LOCAL_MACHINE for the module. Every failure
// (key or value missing, wrong type) folds into MODULE_STATUS_UNSUCCESSFUL;
// nothing is logged.
#pragma once

#include <cstdint>
#include <string>

namespace Vanta {

class RegistryAPI {
public:
    virtual ~RegistryAPI() = default;
    // At most 260 characters. On failure `value` is left unchanged.
    virtual uint32_t getStringValue(const std::wstring& keyPath, const std::wstring& valueName,
                                    std::wstring& value);
    virtual uint32_t getDwordValue(const std::wstring& keyPath, const std::wstring& valueName,
                                   uint32_t& value);
};

} // namespace Vanta
