// Named factories by type: the module registers its message bus here. Written
// only during base initialization, read afterwards; not locked.
#pragma once

#include "module/IOCInstanceReturningFactory.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <typeinfo>

namespace Strato {

class IOCContainer {
public:
    static constexpr const wchar_t* kDefaultName = L"Unnamed registration";

    // Replaces whatever was registered for T under `name`.
    template <typename T>
    void registerInstance(const std::wstring& name, std::shared_ptr<T> instance) {
        auto& named = factories_[typeKey<T>()];
        named.erase(name);
        named[name] = std::make_shared<IOCInstanceReturningFactory<T>>(name, std::move(instance));
    }

    // Empty when nothing is registered for T under `name`.
    template <typename T>
    std::shared_ptr<T> resolve(const std::wstring& name = kDefaultName) const {
        const auto type = factories_.find(typeKey<T>());
        if (type == factories_.end()) {
            return {};
        }
        const auto found = type->second.find(name);
        if (found == type->second.end()) {
            return {};
        }
        return std::static_pointer_cast<T>(found->second->create());
    }

    template <typename T> bool isRegistered(const std::wstring& name = kDefaultName) const {
        return resolve<T>(name) != nullptr;
    }

private:
    template <typename T> static uint64_t typeKey() {
        return static_cast<uint64_t>(typeid(T).hash_code());
    }

    std::map<uint64_t, std::map<std::wstring, std::shared_ptr<IOCFactoryInterface>>> factories_;
};

} // namespace Strato
