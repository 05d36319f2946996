// The registry's vocabulary on both builds: key handles, the predefined root
// keys, value types, access rights and the Windows result codes that every
// registry operation answers.
#pragma once

#include <cstdint>

namespace Strato {

// HKEY on Windows; on Linux a handle of the store's backend. The root keys
// are the Windows predefined values on both builds.
using RegKeyHandle = void*;

inline RegKeyHandle const kHKeyClassesRoot = reinterpret_cast<RegKeyHandle>(uintptr_t{0x80000000});
inline RegKeyHandle const kHKeyCurrentUser = reinterpret_cast<RegKeyHandle>(uintptr_t{0x80000001});
inline RegKeyHandle const kHKeyLocalMachine = reinterpret_cast<RegKeyHandle>(uintptr_t{0x80000002});
inline RegKeyHandle const kHKeyUsers = reinterpret_cast<RegKeyHandle>(uintptr_t{0x80000003});

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// Access rights.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyWow64_64Key = 0x0100;
constexpr uint32_t kKeyWow64_32Key = 0x0200;
constexpr uint32_t kKeyWow64Res = 0x0300;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kRegDeleteAccess = 0x2001F; // read, write and DELETE

// Dispositions answered by Create.
constexpr uint32_t kRegCreatedNewKey = 1;
constexpr uint32_t kRegOpenedExistingKey = 2;

// Result codes (Windows system error codes).
using RegResult = int32_t;
constexpr RegResult kErrorSuccess = 0;
constexpr RegResult kErrorFileNotFound = 2;
constexpr RegResult kErrorAccessDenied = 5;
constexpr RegResult kErrorInvalidHandle = 6;
constexpr RegResult kErrorInvalidData = 13;
constexpr RegResult kErrorOutOfMemory = 14;
constexpr RegResult kErrorNotSupported = 50;
constexpr RegResult kErrorInvalidParameter = 87;
constexpr RegResult kErrorInsufficientBuffer = 122;
constexpr RegResult kErrorBusy = 170;
constexpr RegResult kErrorMoreData = 234;
constexpr RegResult kErrorNoMoreItems = 259;
constexpr RegResult kErrorBadPathname = 161;
constexpr RegResult kErrorKeyDeleted = 1018;
constexpr RegResult kErrorRegistryIo = 1016;

} // namespace Strato
