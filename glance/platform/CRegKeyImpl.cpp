#include "platform/CRegKeyImpl.h"

#include "platform/ByteOrder.h"
#include "platform/RegistryBackend.h"

#include <array>

namespace Strato::internal {
namespace {

constexpr uint32_t kUnitBytes = 2;
// Subkey names are at most 255 characters.
constexpr uint32_t kMaxKeyNameChars = 256;
constexpr uint32_t kGuidTextChars = 64;

// Registry strings are UTF-16LE bytes on both builds; wchar_t holds one
// UTF-16 code unit.
std::vector<uint8_t> unitsToBytes(const wchar_t* units, size_t count) {
    std::vector<uint8_t> bytes;
    bytes.reserve(count * kUnitBytes);
    Vanta::appendUtf16Le(bytes, std::wstring_view(units, count));
    return bytes;
}

wchar_t unitAt(const uint8_t* bytes, size_t index) {
    return static_cast<wchar_t>(Vanta::readLittleEndian<uint16_t>(bytes + index * 2, 2));
}

size_t unitLength(const wchar_t* text) {
    size_t length = 0;
    while (text[length] != L'\0') {
        ++length;
    }
    return length;
}

} // namespace

CRegKeyImpl::~CRegKeyImpl() {
    close();
}

RegResult CRegKeyImpl::close() noexcept {
    if (key_ == nullptr) {
        return kErrorSuccess;
    }
    if (deleteOnClose_) {
        // The handle cannot name its own parent, so the key is emptied: every
        // subkey tree and every value goes, then the handle is closed.
        try {
            std::array<wchar_t, kMaxKeyNameChars> child{};
            for (;;) {
                uint32_t chars = kMaxKeyNameChars;
                if (regEnumKey(key_, 0, child.data(), &chars, nullptr) != kErrorSuccess ||
                    recurseDeleteKey(child.data()) != kErrorSuccess) {
                    break;
                }
            }
            std::wstring value;
            while (enumValue(0, value) == kErrorSuccess &&
                   regDeleteValue(key_, value.c_str()) == kErrorSuccess) {
            }
        } catch (...) {
            // Out of memory: the key is closed without being emptied.
        }
        deleteOnClose_ = false;
    }
    const RegResult result = regCloseKey(key_);
    key_ = nullptr;
    view_ = 0;
    return result;
}

void CRegKeyImpl::attach(RegKeyHandle key) noexcept {
    if (key == key_) {
        return;
    }
    close();
    key_ = key;
    view_ = 0;
}

RegKeyHandle CRegKeyImpl::detach() noexcept {
    RegKeyHandle key = key_;
    key_ = nullptr;
    view_ = 0;
    deleteOnClose_ = false;
    return key;
}

RegResult CRegKeyImpl::rawQueryValue(const wchar_t* name, uint32_t* type, uint8_t* data,
                                     uint32_t* size) {
    return regQueryValue(key_, name, type, data, size);
}

RegResult CRegKeyImpl::rawSetValue(const wchar_t* name, uint32_t type, const uint8_t* data,
                                   uint32_t size) {
    return regSetValue(key_, name, type, data, size);
}

RegResult CRegKeyImpl::queryValue(const wchar_t* name, uint32_t* type, void* data, uint32_t* size) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    if (data != nullptr && size == nullptr) {
        return kErrorInvalidParameter;
    }
    return rawQueryValue(name, type, static_cast<uint8_t*>(data), size);
}

RegResult CRegKeyImpl::setValue(const wchar_t* name, uint32_t type, const void* data,
                                uint32_t size) {
    if (key_ == nullptr || data == nullptr || size == 0) {
        return kErrorInvalidParameter;
    }
    return rawSetValue(name, type, static_cast<const uint8_t*>(data), size);
}

RegResult CRegKeyImpl::setGuidValue(const wchar_t* name, const Guid& guid) {
    const std::wstring text = formatGuid(guid);
    return setStringValue(name, text.c_str(), kRegSz);
}

RegResult CRegKeyImpl::setBinaryValue(const wchar_t* name, const void* data, uint32_t size) {
    if (key_ == nullptr || (data == nullptr && size != 0)) {
        return kErrorInvalidParameter;
    }
    return rawSetValue(name, kRegBinary, static_cast<const uint8_t*>(data), size);
}

RegResult CRegKeyImpl::setDwordValue(const wchar_t* name, uint32_t value) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    std::vector<uint8_t> bytes;
    Vanta::appendLittleEndian(bytes, value);
    return rawSetValue(name, kRegDword, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

RegResult CRegKeyImpl::setQwordValue(const wchar_t* name, uint64_t value) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    std::vector<uint8_t> bytes;
    Vanta::appendLittleEndian(bytes, value);
    return rawSetValue(name, kRegQword, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

RegResult CRegKeyImpl::setStringValue(const wchar_t* name, const wchar_t* text, uint32_t type) {
    if (text == nullptr) {
        return kErrorInvalidData;
    }
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    try {
        const std::vector<uint8_t> bytes = unitsToBytes(text, unitLength(text) + 1);
        return rawSetValue(name, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CRegKeyImpl::setMultiStringValue(const wchar_t* name, const wchar_t* texts) {
    if (key_ == nullptr || texts == nullptr) {
        return kErrorInvalidParameter;
    }
    // Every string with its terminator, then the final empty string.
    size_t units = 0;
    while (texts[units] != L'\0') {
        units += unitLength(texts + units) + 1;
    }
    ++units;
    try {
        const std::vector<uint8_t> bytes = unitsToBytes(texts, units);
        return rawSetValue(name, kRegMultiSz, bytes.data(), static_cast<uint32_t>(bytes.size()));
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CRegKeyImpl::queryGuidValue(const wchar_t* name, Guid& guid) {
    guid = Guid{};
    wchar_t text[kGuidTextChars];
    uint32_t chars = kGuidTextChars;
    const RegResult result = queryStringValue(name, text, &chars);
    if (result != kErrorSuccess) {
        return result;
    }
    if (text[0] != L'{' || !parseGuid(text, guid)) {
        return kErrorInvalidData;
    }
    return kErrorSuccess;
}

RegResult CRegKeyImpl::queryBinaryValue(const wchar_t* name, void* data, uint32_t* size) {
    if (key_ == nullptr || size == nullptr) {
        return kErrorInvalidParameter;
    }
    uint32_t type = kRegNone;
    const RegResult result = rawQueryValue(name, &type, static_cast<uint8_t*>(data), size);
    if (result != kErrorSuccess && result != kErrorMoreData) {
        return result;
    }
    return type != kRegBinary ? kErrorInvalidData : result;
}

RegResult CRegKeyImpl::queryDwordValue(const wchar_t* name, uint32_t& value) {
    uint64_t read = 0;
    const RegResult result = queryLittleEndian(name, kRegDword, 4, read);
    if (result == kErrorSuccess) {
        value = static_cast<uint32_t>(read);
    }
    return result;
}

RegResult CRegKeyImpl::queryQwordValue(const wchar_t* name, uint64_t& value) {
    return queryLittleEndian(name, kRegQword, 8, value);
}

RegResult CRegKeyImpl::queryLittleEndian(const wchar_t* name, uint32_t expectedType, uint32_t width,
                                         uint64_t& value) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    uint8_t bytes[8] = {};
    uint32_t size = width;
    uint32_t type = kRegNone;
    const RegResult result = rawQueryValue(name, &type, bytes, &size);
    // A longer value of another type answers "more data"; its type decides.
    if (result != kErrorSuccess && result != kErrorMoreData) {
        return result;
    }
    if (type != expectedType || result != kErrorSuccess || size != width) {
        return kErrorInvalidData;
    }
    value = Vanta::readLittleEndian<uint64_t>(bytes, width);
    return kErrorSuccess;
}

RegResult CRegKeyImpl::queryStringValue(const wchar_t* name, std::wstring& value) {
    try {
        uint32_t chars = 0;
        RegResult result = queryStringValue(name, nullptr, &chars);
        // The value may grow between asking its size and reading it.
        for (int attempt = 0; attempt < 4 && result == kErrorSuccess; ++attempt) {
            std::vector<wchar_t> buffer(chars + 1, L'\0');
            uint32_t capacity = chars + 1;
            result = queryStringValue(name, buffer.data(), &capacity);
            if (result == kErrorSuccess) {
                value.assign(buffer.data());
                return kErrorSuccess;
            }
            if (result == kErrorMoreData) {
                chars = capacity;
                result = kErrorSuccess;
            }
        }
        return result == kErrorSuccess ? kErrorMoreData : result;
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CRegKeyImpl::queryStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars) {
    if (key_ == nullptr || chars == nullptr) {
        return kErrorInvalidParameter;
    }
    try {
        const uint32_t capacity = *chars;
        std::vector<uint8_t> bytes(buffer != nullptr ? size_t{capacity} * kUnitBytes : 0);
        uint32_t size = static_cast<uint32_t>(bytes.size());
        uint32_t type = kRegNone;
        const RegResult result =
            rawQueryValue(name, &type, buffer != nullptr ? bytes.data() : nullptr, &size);
        if (result != kErrorSuccess && result != kErrorMoreData) {
            return result;
        }
        if (type != kRegSz && type != kRegExpandSz) {
            return kErrorInvalidData;
        }
        const uint32_t units = (size + 1) / kUnitBytes;
        if (result == kErrorMoreData || buffer == nullptr) {
            *chars = units;
            return result;
        }
        if (size != 0) {
            if (size % kUnitBytes != 0 || unitAt(bytes.data(), units - 1) != L'\0') {
                return kErrorInvalidData;
            }
            for (uint32_t i = 0; i < units; ++i) {
                buffer[i] = unitAt(bytes.data(), i);
            }
        } else if (capacity > 0) {
            buffer[0] = L'\0';
        }
        *chars = units;
        return kErrorSuccess;
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CRegKeyImpl::queryMultiStringValue(const wchar_t* name, wchar_t* buffer,
                                             uint32_t* chars) {
    if (key_ == nullptr || chars == nullptr) {
        return kErrorInvalidParameter;
    }
    if (buffer != nullptr && *chars < 2) {
        return kErrorInsufficientBuffer;
    }
    try {
        std::vector<uint8_t> bytes(buffer != nullptr ? size_t{*chars} * kUnitBytes : 0);
        uint32_t size = static_cast<uint32_t>(bytes.size());
        uint32_t type = kRegNone;
        const RegResult result =
            rawQueryValue(name, &type, buffer != nullptr ? bytes.data() : nullptr, &size);
        if (result != kErrorSuccess && result != kErrorMoreData) {
            return result;
        }
        if (type != kRegMultiSz) {
            return kErrorInvalidData;
        }
        const uint32_t units = (size + 1) / kUnitBytes;
        if (result == kErrorMoreData || buffer == nullptr) {
            *chars = units;
            return result;
        }
        // Double-terminated: the last unit ends the last string and, when
        // there is any string, the one before it ends the list.
        if (size % kUnitBytes != 0 || units == 0 || unitAt(bytes.data(), units - 1) != L'\0' ||
            (units > 1 && unitAt(bytes.data(), units - 2) != L'\0')) {
            return kErrorInvalidData;
        }
        for (uint32_t i = 0; i < units; ++i) {
            buffer[i] = unitAt(bytes.data(), i);
        }
        *chars = units;
        return kErrorSuccess;
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CRegKeyImpl::getKeySecurity(uint32_t information, void* descriptor, uint32_t* size) {
    if (key_ == nullptr || size == nullptr) {
        return kErrorInvalidParameter;
    }
    return regGetKeySecurity(key_, information, descriptor, size);
}

RegResult CRegKeyImpl::setKeySecurity(uint32_t information, void* descriptor) {
    if (key_ == nullptr || descriptor == nullptr) {
        return kErrorInvalidParameter;
    }
    return regSetKeySecurity(key_, information, descriptor);
}

RegResult CRegKeyImpl::create(RegKeyHandle parent, const wchar_t* subKey, wchar_t* keyClass,
                              uint32_t options, uint32_t access, void* securityAttributes,
                              uint32_t* disposition) {
    if (parent == nullptr || subKey == nullptr) {
        return kErrorInvalidParameter;
    }
    RegKeyHandle opened = nullptr;
    const RegResult result = regCreateKey(parent, subKey, keyClass, options, access,
                                          securityAttributes, opened, disposition);
    if (result == kErrorSuccess) {
        close();
        key_ = opened;
        view_ = access & kKeyWow64Res;
    }
    return result;
}

RegResult CRegKeyImpl::open(RegKeyHandle parent, const wchar_t* subKey, uint32_t access) {
    if (parent == nullptr) {
        return kErrorInvalidParameter;
    }
    RegKeyHandle opened = nullptr;
    const RegResult result = regOpenKey(parent, subKey, access, opened);
    if (result == kErrorSuccess) {
        close();
        key_ = opened;
        view_ = access & kKeyWow64Res;
    }
    return result;
}

RegResult CRegKeyImpl::flush() {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    return regFlushKey(key_);
}

RegResult CRegKeyImpl::enumKey(uint32_t index, wchar_t* name, uint32_t* chars,
                               uint64_t* lastWrite) {
    if (key_ == nullptr || name == nullptr || chars == nullptr) {
        return kErrorInvalidParameter;
    }
    return regEnumKey(key_, index, name, chars, lastWrite);
}

RegResult CRegKeyImpl::enumValue(uint32_t index, std::wstring& name) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    uint32_t type = kRegNone;
    std::vector<uint8_t> data;
    return regEnumValue(key_, index, name, type, data);
}

RegResult CRegKeyImpl::notifyChangeKeyValue(bool watchSubtree, uint32_t filter, void* event,
                                            bool asynchronous) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    return regNotifyChangeKeyValue(key_, watchSubtree, filter, event, asynchronous);
}

RegResult CRegKeyImpl::deleteSubKey(const wchar_t* name) {
    if (key_ == nullptr || name == nullptr) {
        return kErrorInvalidParameter;
    }
    return regDeleteKey(key_, name, view_);
}

RegResult CRegKeyImpl::recurseDeleteKey(const wchar_t* name) {
    if (key_ == nullptr || name == nullptr) {
        return kErrorInvalidParameter;
    }
    CRegKeyImpl subKey;
    RegResult result = subKey.open(key_, name, view_ | kRegDeleteAccess);
    if (result != kErrorSuccess) {
        return result;
    }
    std::array<wchar_t, kMaxKeyNameChars> child{};
    for (;;) {
        uint32_t chars = kMaxKeyNameChars;
        result = subKey.enumKey(0, child.data(), &chars, nullptr);
        if (result == kErrorNoMoreItems) {
            break;
        }
        if (result != kErrorSuccess) {
            return result;
        }
        result = subKey.recurseDeleteKey(child.data());
        if (result != kErrorSuccess) {
            return result;
        }
    }
    subKey.close();
    return deleteSubKey(name);
}

RegResult CRegKeyImpl::deleteValue(const wchar_t* name) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    return regDeleteValue(key_, name);
}

RegResult CRegKeyImpl::grantAccess(bool recursive) {
    if (key_ == nullptr) {
        return kErrorInvalidParameter;
    }
    RegResult result = regGrantFullAccess(key_);
    if (result != kErrorSuccess || !recursive) {
        return result;
    }
    std::array<wchar_t, kMaxKeyNameChars> child{};
    for (uint32_t index = 0;; ++index) {
        uint32_t chars = kMaxKeyNameChars;
        result = enumKey(index, child.data(), &chars, nullptr);
        if (result == kErrorNoMoreItems) {
            return kErrorSuccess;
        }
        if (result != kErrorSuccess) {
            return result;
        }
        CRegKeyImpl subKey;
        result = subKey.open(key_, child.data(), view_ | kKeyAllAccess);
        if (result == kErrorSuccess) {
            result = subKey.grantAccess(true);
        }
        if (result != kErrorSuccess) {
            return result;
        }
    }
}

} // namespace Strato::internal
