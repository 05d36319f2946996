// The registry's OS primitives behind CRegKeyImpl: the Win32 registry calls
// on Windows, the shared SQLite store on Linux. Value data are raw bytes
// (strings as UTF-16LE) on both builds. Every call answers a result code of
// RegistryTypes.h and never throws.
#pragma once

#include "platform/RegistryTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Strato::internal {

RegResult regOpenKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t access,
                     RegKeyHandle& out) noexcept;
RegResult regCreateKey(RegKeyHandle parent, const wchar_t* subKey, wchar_t* keyClass,
                       uint32_t options, uint32_t access, void* securityAttributes,
                       RegKeyHandle& out, uint32_t* disposition) noexcept;
RegResult regCloseKey(RegKeyHandle key) noexcept;

// `data` may be null to ask for the size; `size` is in bytes, updated to the
// stored size on success and on kErrorMoreData.
RegResult regQueryValue(RegKeyHandle key, const wchar_t* name, uint32_t* type, uint8_t* data,
                        uint32_t* size) noexcept;
RegResult regSetValue(RegKeyHandle key, const wchar_t* name, uint32_t type, const uint8_t* data,
                      uint32_t size) noexcept;
RegResult regDeleteValue(RegKeyHandle key, const wchar_t* name) noexcept;
// Deletes a subkey without subkeys of its own; `viewBits` are the access
// mask's WOW64 view bits of the parent.
RegResult regDeleteKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t viewBits) noexcept;
RegResult regFlushKey(RegKeyHandle key) noexcept;

// `chars` is the buffer's capacity in characters on entry and the name's
// length (without terminator) on success; `lastWrite` is a FILETIME value.
RegResult regEnumKey(RegKeyHandle key, uint32_t index, wchar_t* name, uint32_t* chars,
                     uint64_t* lastWrite) noexcept;
// The value at `index`: its name, type and raw data.
RegResult regEnumValue(RegKeyHandle key, uint32_t index, std::wstring& name, uint32_t& type,
                       std::vector<uint8_t>& data) noexcept;

RegResult regGetKeySecurity(RegKeyHandle key, uint32_t information, void* descriptor,
                            uint32_t* size) noexcept;
RegResult regSetKeySecurity(RegKeyHandle key, uint32_t information, void* descriptor) noexcept;
RegResult regNotifyChangeKeyValue(RegKeyHandle key, bool watchSubtree, uint32_t filter, void* event,
                                  bool asynchronous) noexcept;
// Adds a full-access entry for the machine's users to the key's access list.
RegResult regGrantFullAccess(RegKeyHandle key) noexcept;

} // namespace Strato::internal
