// A RegistryAPI over a map of DWORD values: what is not in the map cannot be
// read. Safe to change while the module's worker reads it.
#pragma once

#include "platform/RegistryAPI.h"

#include <kestrel/ModuleStatus.h>

#include <map>
#include <mutex>
#include <string>

namespace testfakes {

class FakeRegistryAPI : public Vanta::RegistryAPI {
public:
    void set(const std::wstring& keyPath, const std::wstring& valueName, uint32_t value) {
        std::lock_guard lock(mutex_);
        dwords_[keyPath + L"|" + valueName] = value;
    }
    void remove(const std::wstring& keyPath, const std::wstring& valueName) {
        std::lock_guard lock(mutex_);
        dwords_.erase(keyPath + L"|" + valueName);
    }
    uint32_t getDwordValue(const std::wstring& keyPath, const std::wstring& valueName,
                           uint32_t& value) override {
        std::lock_guard lock(mutex_);
        const auto found = dwords_.find(keyPath + L"|" + valueName);
        if (found == dwords_.end()) {
            return MODULE_STATUS_UNSUCCESSFUL;
        }
        value = found->second;
        return MODULE_STATUS_SUCCESS;
    }
    uint32_t getStringValue(const std::wstring&, const std::wstring&, std::wstring&) override {
        return MODULE_STATUS_UNSUCCESSFUL;
    }

private:
    std::mutex mutex_;
    std::map<std::wstring, uint32_t> dwords_;
};

} // namespace testfakes
