// The state and logic behind CRegKey: the open key handle, the WOW64 view
// bits it was opened with and the delete-on-close flag. Every typed value
// operation goes through rawQueryValue and rawSetValue, which a derived
// implementation may replace to change how values are stored.
#pragma once

#include "platform/Guid.h"
#include "platform/RegistryTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Strato::internal {

class CRegKeyImpl {
public:
    CRegKeyImpl() = default;
    CRegKeyImpl(const CRegKeyImpl&) = delete;
    CRegKeyImpl& operator=(const CRegKeyImpl&) = delete;
    virtual ~CRegKeyImpl();

    RegKeyHandle handle() const noexcept { return key_; }
    uint32_t viewBits() const noexcept { return view_; }
    void setDeleteOnClose(bool value) noexcept { deleteOnClose_ = value; }

    // Closes the key; with delete-on-close set deletes the key's whole tree
    // first. Idempotent.
    RegResult close() noexcept;
    // Adopts `key` (closing the current one); the view bits are unknown.
    void attach(RegKeyHandle key) noexcept;
    // Hands the handle out and forgets it; the caller now owns it.
    RegKeyHandle detach() noexcept;

    RegResult queryValue(const wchar_t* name, uint32_t* type, void* data, uint32_t* size);
    RegResult setValue(const wchar_t* name, uint32_t type, const void* data, uint32_t size);
    RegResult setGuidValue(const wchar_t* name, const Guid& guid);
    RegResult setBinaryValue(const wchar_t* name, const void* data, uint32_t size);
    RegResult setDwordValue(const wchar_t* name, uint32_t value);
    RegResult setQwordValue(const wchar_t* name, uint64_t value);
    RegResult setStringValue(const wchar_t* name, const wchar_t* text, uint32_t type);
    RegResult setMultiStringValue(const wchar_t* name, const wchar_t* texts);
    RegResult queryGuidValue(const wchar_t* name, Guid& guid);
    RegResult queryBinaryValue(const wchar_t* name, void* data, uint32_t* size);
    RegResult queryDwordValue(const wchar_t* name, uint32_t& value);
    RegResult queryQwordValue(const wchar_t* name, uint64_t& value);
    RegResult queryStringValue(const wchar_t* name, std::wstring& value);
    RegResult queryStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars);
    RegResult queryMultiStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars);
    RegResult getKeySecurity(uint32_t information, void* descriptor, uint32_t* size);
    RegResult setKeySecurity(uint32_t information, void* descriptor);
    RegResult create(RegKeyHandle parent, const wchar_t* subKey, wchar_t* keyClass,
                     uint32_t options, uint32_t access, void* securityAttributes,
                     uint32_t* disposition);
    RegResult open(RegKeyHandle parent, const wchar_t* subKey, uint32_t access);
    RegResult flush();
    RegResult enumKey(uint32_t index, wchar_t* name, uint32_t* chars, uint64_t* lastWrite);
    RegResult enumValue(uint32_t index, std::wstring& name);
    RegResult notifyChangeKeyValue(bool watchSubtree, uint32_t filter, void* event,
                                   bool asynchronous);
    RegResult deleteSubKey(const wchar_t* name);
    RegResult recurseDeleteKey(const wchar_t* name);
    RegResult deleteValue(const wchar_t* name);
    RegResult grantAccess(bool recursive);

protected:
    // The stored form of a value: its type and bytes as the caller sees them.
    // `data` null asks for the size; a short buffer gives kErrorMoreData with
    // `size` set to the size needed (and `type` set).
    virtual RegResult rawQueryValue(const wchar_t* name, uint32_t* type, uint8_t* data,
                                    uint32_t* size);
    virtual RegResult rawSetValue(const wchar_t* name, uint32_t type, const uint8_t* data,
                                  uint32_t size);

private:
    // A value of exactly `width` bytes (4 or 8) of `expectedType`, read as a
    // little-endian number; `value` is unchanged on failure.
    RegResult queryLittleEndian(const wchar_t* name, uint32_t expectedType, uint32_t width,
                                uint64_t& value);

    RegKeyHandle key_ = nullptr;
    uint32_t view_ = 0;
    bool deleteOnClose_ = false;
};

} // namespace Strato::internal
