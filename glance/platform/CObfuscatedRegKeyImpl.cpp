#include "platform/CObfuscatedRegKeyImpl.h"

#include "platform/ValueScrambler.h"

#include <vector>

namespace Strato::internal {
namespace {

// Stored form of every value: a REG_BINARY value of
//   byte 0    'K' (0x4B), byte 1  format version 1,
//   bytes 2-5 the value's own type, little-endian, each byte XOR 0xA5,
//   bytes 6-  the value's bytes, scrambled (platform/ValueScrambler.h).
constexpr uint8_t kMarker = 0x4B;
constexpr uint8_t kVersion = 1;
constexpr uint8_t kTypeMask = 0xA5;
constexpr size_t kHeaderSize = 6;

} // namespace

RegResult CObfuscatedRegKeyImpl::rawSetValue(const wchar_t* name, uint32_t type,
                                             const uint8_t* data, uint32_t size) {
    try {
        std::vector<uint8_t> stored(kHeaderSize + size);
        stored[0] = kMarker;
        stored[1] = kVersion;
        for (int i = 0; i < 4; ++i) {
            stored[2 + i] = static_cast<uint8_t>((type >> (8 * i)) ^ kTypeMask);
        }
        if (size != 0) {
            Vanta::scrambleBytes(data, size, stored.data() + kHeaderSize);
        }
        return CRegKeyImpl::rawSetValue(name, kRegBinary, stored.data(),
                                        static_cast<uint32_t>(stored.size()));
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

RegResult CObfuscatedRegKeyImpl::rawQueryValue(const wchar_t* name, uint32_t* type, uint8_t* data,
                                               uint32_t* size) {
    try {
        std::vector<uint8_t> stored;
        uint32_t storedType = kRegNone;
        uint32_t storedSize = 0;
        RegResult result = CRegKeyImpl::rawQueryValue(name, &storedType, nullptr, &storedSize);
        // The value may be rewritten between asking its size and reading it.
        for (int attempt = 0; attempt < 4 && result == kErrorSuccess; ++attempt) {
            stored.resize(storedSize);
            result = CRegKeyImpl::rawQueryValue(name, &storedType, stored.data(), &storedSize);
            if (result == kErrorMoreData) {
                result = kErrorSuccess;
                continue;
            }
            stored.resize(storedSize);
            break;
        }
        if (result != kErrorSuccess) {
            return result;
        }
        if (storedType != kRegBinary || stored.size() < kHeaderSize || stored[0] != kMarker ||
            stored[1] != kVersion) {
            return kErrorInvalidData;
        }
        uint32_t valueType = 0;
        for (int i = 0; i < 4; ++i) {
            valueType |= static_cast<uint32_t>(stored[2 + i] ^ kTypeMask) << (8 * i);
        }
        const auto valueSize = static_cast<uint32_t>(stored.size() - kHeaderSize);
        if (type != nullptr) {
            *type = valueType;
        }
        if (size == nullptr) {
            return kErrorSuccess;
        }
        if (data != nullptr && valueSize > *size) {
            *size = valueSize;
            return kErrorMoreData;
        }
        if (data != nullptr) {
            Vanta::scrambleBytes(stored.data() + kHeaderSize, valueSize, data);
        }
        *size = valueSize;
        return kErrorSuccess;
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
}

} // namespace Strato::internal
