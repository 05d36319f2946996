// Windows-only code belongs in this file.
#include "platform/RegistryBackend.h"

#include "platform/win32/WindowsHandles.h"

#include <aclapi.h>

namespace Strato::internal {
namespace {

HKEY toHkey(RegKeyHandle key) {
    return static_cast<HKEY>(key);
}

using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW is absent from the oldest systems: looked up once.
RegDeleteKeyExFn deleteKeyEx() {
    static const RegDeleteKeyExFn function = [] {
        HMODULE advapi = ::GetModuleHandleW(L"Advapi32.dll");
        if (advapi == nullptr) {
            return RegDeleteKeyExFn{};
        }
        return reinterpret_cast<RegDeleteKeyExFn>(
            reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")));
    }();
    return function;
}

} // namespace

RegResult regOpenKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t access,
                     RegKeyHandle& out) noexcept {
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExW(toHkey(parent), subKey, 0, access, &opened);
    out = opened;
    return result;
}

RegResult regCreateKey(RegKeyHandle parent, const wchar_t* subKey, wchar_t* keyClass,
                       uint32_t options, uint32_t access, void* securityAttributes,
                       RegKeyHandle& out, uint32_t* disposition) noexcept {
    HKEY created = nullptr;
    DWORD how = 0;
    const LONG result =
        ::RegCreateKeyExW(toHkey(parent), subKey, 0, keyClass, options, access,
                          static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes), &created, &how);
    out = created;
    if (result == ERROR_SUCCESS && disposition != nullptr) {
        *disposition = how;
    }
    return result;
}

RegResult regCloseKey(RegKeyHandle key) noexcept {
    return ::RegCloseKey(toHkey(key));
}

RegResult regQueryValue(RegKeyHandle key, const wchar_t* name, uint32_t* type, uint8_t* data,
                        uint32_t* size) noexcept {
    DWORD valueType = REG_NONE;
    DWORD bytes = size != nullptr ? *size : 0;
    const LONG result = ::RegQueryValueExW(toHkey(key), name, nullptr, &valueType, data,
                                           size != nullptr ? &bytes : nullptr);
    if (type != nullptr) {
        *type = valueType;
    }
    if (size != nullptr && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) {
        *size = bytes;
    }
    return result;
}

RegResult regSetValue(RegKeyHandle key, const wchar_t* name, uint32_t type, const uint8_t* data,
                      uint32_t size) noexcept {
    return ::RegSetValueExW(toHkey(key), name, 0, type, data, size);
}

RegResult regDeleteValue(RegKeyHandle key, const wchar_t* name) noexcept {
    return ::RegDeleteValueW(toHkey(key), name);
}

RegResult regDeleteKey(RegKeyHandle parent, const wchar_t* subKey, uint32_t viewBits) noexcept {
    if (RegDeleteKeyExFn function = deleteKeyEx()) {
        return function(toHkey(parent), subKey, viewBits, 0);
    }
    return ::RegDeleteKeyW(toHkey(parent), subKey);
}

RegResult regFlushKey(RegKeyHandle key) noexcept {
    return ::RegFlushKey(toHkey(key));
}

RegResult regEnumKey(RegKeyHandle key, uint32_t index, wchar_t* name, uint32_t* chars,
                     uint64_t* lastWrite) noexcept {
    DWORD length = *chars;
    FILETIME written{};
    const LONG result =
        ::RegEnumKeyExW(toHkey(key), index, name, &length, nullptr, nullptr, nullptr, &written);
    if (result == ERROR_SUCCESS) {
        *chars = length;
        if (lastWrite != nullptr) {
            *lastWrite = (uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
        }
    }
    return result;
}

RegResult regEnumValue(RegKeyHandle key, uint32_t index, std::wstring& name, uint32_t& type,
                       std::vector<uint8_t>& data) noexcept {
    try {
        DWORD maxName = 0;
        DWORD maxData = 0;
        LONG result = ::RegQueryInfoKeyW(toHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, &maxName, &maxData, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            return result;
        }
        std::wstring nameBuffer(maxName + 1, L'\0');
        data.assign(maxData, 0);
        DWORD nameLength = maxName + 1;
        DWORD valueType = REG_NONE;
        DWORD dataSize = maxData;
        result = ::RegEnumValueW(toHkey(key), index, nameBuffer.data(), &nameLength, nullptr,
                                 &valueType, data.data(), &dataSize);
        if (result != ERROR_SUCCESS) {
            return result;
        }
        nameBuffer.resize(nameLength);
        name = std::move(nameBuffer);
        type = valueType;
        data.resize(dataSize);
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

RegResult regGetKeySecurity(RegKeyHandle key, uint32_t information, void* descriptor,
                            uint32_t* size) noexcept {
    DWORD bytes = *size;
    const LONG result = ::RegGetKeySecurity(toHkey(key), information, descriptor, &bytes);
    *size = bytes;
    return result;
}

RegResult regSetKeySecurity(RegKeyHandle key, uint32_t information, void* descriptor) noexcept {
    return ::RegSetKeySecurity(toHkey(key), information, descriptor);
}

RegResult regNotifyChangeKeyValue(RegKeyHandle key, bool watchSubtree, uint32_t filter, void* event,
                                  bool asynchronous) noexcept {
    return ::RegNotifyChangeKeyValue(toHkey(key), watchSubtree, filter, event, asynchronous);
}

RegResult regGrantFullAccess(RegKeyHandle key) noexcept {
    // The machine's users (S-1-5-32-545) get full access, inherited below.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    Vanta::win32::ScopedSid users;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, users.receive())) {
        return static_cast<RegResult>(::GetLastError());
    }
    PACL current = nullptr; // points into the descriptor
    Vanta::win32::ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    DWORD result = ::GetSecurityInfo(toHkey(key), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, &current, nullptr, descriptor.receive());
    if (result != ERROR_SUCCESS) {
        return static_cast<RegResult>(result);
    }
    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = GENERIC_ALL;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(users.get());
    Vanta::win32::ScopedLocalMemory<PACL> merged;
    result = ::SetEntriesInAclW(1, &entry, current, merged.receive());
    if (result == ERROR_SUCCESS) {
        result = ::SetSecurityInfo(toHkey(key), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, merged.get(), nullptr);
    }
    return static_cast<RegResult>(result);
}

} // namespace Strato::internal
