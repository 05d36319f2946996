// POSIX-only code belongs in this file.
#include "platform/RegistryBackend.h"

#include "platform/TextCodec.h"
#include "platform/posix/RegistryStore.h"

#include <cstring>

namespace Strato::internal {
namespace {

// An open key: the store connection it was opened on, its row and the
// rights it was opened with. Keys opened below it share its connection.
struct PosixKey {
    std::shared_ptr<RegistryStore> store;
    int64_t id = 0;
    uint32_t access = 0;
};

constexpr uintptr_t kRootBase = 0x80000000;

bool isRoot(RegKeyHandle key) {
    const auto value = reinterpret_cast<uintptr_t>(key);
    return value >= kRootBase && value < kRootBase + RegistryStore::kRootCount;
}

// The key behind a handle; roots get a fresh connection and every right.
RegResult resolve(RegKeyHandle handle, PosixKey& out) {
    if (handle == nullptr) {
        return kErrorInvalidHandle;
    }
    if (isRoot(handle)) {
        const RegResult opened = RegistryStore::open(out.store);
        out.id = RegistryStore::kFirstRootId +
                 static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle) - kRootBase);
        out.access = kKeyAllAccess;
        return opened;
    }
    if ((reinterpret_cast<uintptr_t>(handle) & kRootBase) == kRootBase &&
        reinterpret_cast<uintptr_t>(handle) <= 0xFFFFFFFF) {
        return kErrorInvalidHandle; // another predefined key this store lacks
    }
    out = *static_cast<PosixKey*>(handle);
    return kErrorSuccess;
}

// Names as the store keeps them; a null name is the key's default value.
std::string storedName(const wchar_t* name) {
    return name != nullptr ? Vanta::toUtf8(name) : std::string();
}

std::vector<std::string> splitPath(const wchar_t* subKey) {
    std::vector<std::string> parts;
    if (subKey == nullptr) {
        return parts;
    }
    std::wstring part;
    for (const wchar_t* c = subKey;; ++c) {
        if (*c == L'\\' || *c == L'\0') {
            if (!part.empty()) {
                parts.push_back(Vanta::toUtf8(part));
                part.clear();
            }
            if (*c == L'\0') {
                break;
            }
        } else {
            part.push_back(*c);
        }
    }
    return parts;
}

RegResult handOut(PosixKey key, uint32_t access, RegKeyHandle& out) {
    try {
        key.access = access;
        out = new PosixKey(std::move(key));
        return kErrorSuccess;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

bool allows(const PosixKey& key, uint32_t right) {
    return (key.access & right) == right;
}

// The key behind `handle`, provided it was opened with `access`.
RegResult resolveFor(RegKeyHandle handle, uint32_t access, PosixKey& out) {
    const RegResult result = resolve(handle, out);
    if (result != kErrorSuccess) {
        return result;
    }
    return allows(out, access) ? kErrorSuccess : kErrorAccessDenied;
}

} // namespace

RegResult regOpenKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t access,
                     RegKeyHandle& out) noexcept {
    try {
        PosixKey key;
        RegResult result = resolve(parent, key);
        if (result != kErrorSuccess) {
            return result;
        }
        int64_t id = 0;
        result = key.store->findKey(key.id, subKey != nullptr ? subKey : L"", splitPath, id);
        if (result != kErrorSuccess) {
            return result;
        }
        key.id = id;
        return handOut(std::move(key), access, out);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regCreateKey(RegKeyHandle parent, const wchar_t* subKey, wchar_t*, uint32_t,
                       uint32_t access, void*, RegKeyHandle& out, uint32_t* disposition) noexcept {
    try {
        PosixKey key;
        RegResult result = resolve(parent, key);
        if (result != kErrorSuccess) {
            return result;
        }
        int64_t id = 0;
        bool created = false;
        result = key.store->createKey(key.id, splitPath(subKey), allows(key, kKeyCreateSubKey), id,
                                      created);
        if (result != kErrorSuccess) {
            return result;
        }
        if (disposition != nullptr) {
            *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
        }
        key.id = id;
        return handOut(std::move(key), access, out);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regCloseKey(RegKeyHandle key) noexcept {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!isRoot(key)) {
        delete static_cast<PosixKey*>(key);
    }
    return kErrorSuccess;
}

RegResult regQueryValue(RegKeyHandle handle, const wchar_t* name, uint32_t* type, uint8_t* data,
                        uint32_t* size) noexcept {
    try {
        if (data != nullptr && size == nullptr) {
            return kErrorInvalidParameter;
        }
        PosixKey key;
        RegResult result = resolveFor(handle, kKeyQueryValue, key);
        if (result != kErrorSuccess) {
            return result;
        }
        uint32_t storedType = kRegNone;
        std::vector<uint8_t> bytes;
        result = key.store->queryValue(key.id, storedName(name), storedType, bytes);
        if (result != kErrorSuccess) {
            return result;
        }
        if (type != nullptr) {
            *type = storedType;
        }
        if (size == nullptr) {
            return kErrorSuccess;
        }
        const auto stored = static_cast<uint32_t>(bytes.size());
        if (data != nullptr && stored > *size) {
            *size = stored;
            return kErrorMoreData;
        }
        if (data != nullptr && stored != 0) {
            std::memcpy(data, bytes.data(), stored);
        }
        *size = stored;
        return kErrorSuccess;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regSetValue(RegKeyHandle handle, const wchar_t* name, uint32_t type, const uint8_t* data,
                      uint32_t size) noexcept {
    try {
        if (data == nullptr && size != 0) {
            return kErrorInvalidParameter;
        }
        PosixKey key;
        if (const RegResult result = resolveFor(handle, kKeySetValue, key);
            result != kErrorSuccess) {
            return result;
        }
        return key.store->setValue(key.id, storedName(name), type, data, size);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regDeleteValue(RegKeyHandle handle, const wchar_t* name) noexcept {
    try {
        PosixKey key;
        if (const RegResult result = resolveFor(handle, kKeySetValue, key);
            result != kErrorSuccess) {
            return result;
        }
        return key.store->deleteValue(key.id, storedName(name));
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regDeleteKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t) noexcept {
    try {
        PosixKey key;
        RegResult result = resolve(parent, key);
        if (result != kErrorSuccess) {
            return result;
        }
        std::vector<std::string> path = splitPath(subKey);
        if (path.empty()) {
            return kErrorInvalidParameter;
        }
        const std::string leaf = path.back();
        path.pop_back();
        int64_t id = key.id;
        result = key.store->findKey(key.id, path, id);
        if (result != kErrorSuccess) {
            return result;
        }
        return key.store->deleteKey(id, leaf);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regFlushKey(RegKeyHandle handle) noexcept {
    // Every write is committed before it returns.
    PosixKey key;
    try {
        return resolve(handle, key);
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regEnumKey(RegKeyHandle handle, uint32_t index, wchar_t* name, uint32_t* chars,
                     uint64_t* lastWrite) noexcept {
    try {
        PosixKey key;
        RegResult result = resolveFor(handle, kKeyEnumerateSubKeys, key);
        if (result != kErrorSuccess) {
            return result;
        }
        std::string stored;
        uint64_t written = 0;
        result = key.store->enumKey(key.id, index, stored, written);
        if (result != kErrorSuccess) {
            return result;
        }
        const std::wstring text = Vanta::fromUtf8(stored);
        if (text.size() + 1 > *chars) {
            return kErrorMoreData;
        }
        std::copy(text.begin(), text.end(), name);
        name[text.size()] = L'\0';
        *chars = static_cast<uint32_t>(text.size());
        if (lastWrite != nullptr) {
            *lastWrite = written;
        }
        return kErrorSuccess;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

RegResult regEnumValue(RegKeyHandle handle, uint32_t index, std::wstring& name, uint32_t& type,
                       std::vector<uint8_t>& data) noexcept {
    try {
        PosixKey key;
        RegResult result = resolveFor(handle, kKeyQueryValue, key);
        if (result != kErrorSuccess) {
            return result;
        }
        std::string stored;
        result = key.store->enumValue(key.id, index, stored, type, data);
        if (result == kErrorSuccess) {
            name = Vanta::fromUtf8(stored);
        }
        return result;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

// Access lists and change notification have no counterpart in the store.
RegResult regGetKeySecurity(RegKeyHandle, uint32_t, void*, uint32_t*) noexcept {
    return kErrorNotSupported;
}

RegResult regSetKeySecurity(RegKeyHandle, uint32_t, void*) noexcept {
    return kErrorNotSupported;
}

RegResult regNotifyChangeKeyValue(RegKeyHandle, bool, uint32_t, void*, bool) noexcept {
    return kErrorNotSupported;
}

RegResult regGrantFullAccess(RegKeyHandle) noexcept {
    return kErrorNotSupported;
}

} // namespace Strato::internal
