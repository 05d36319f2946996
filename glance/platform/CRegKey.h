// An open registry key. Every operation forwards to the shared
// implementation and answers a Windows result code: 0 success, 2 missing
// key or value, 13 a value of the wrong type or shape, 87 a key that is not
// open or a missing argument, 234 a buffer too small. A CRegKey belongs to
// one thread at a time.
#pragma once

#include "platform/CRegKeyImpl.h"

#include <memory>

namespace Strato {

class CRegKey {
public:
    CRegKey();
    virtual ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    virtual RegResult QueryValue(const wchar_t* name, uint32_t* type, void* data, uint32_t* size);
    // No data or size 0 gives 87.
    virtual RegResult SetValue(const wchar_t* name, uint32_t type, const void* data, uint32_t size);
    virtual RegResult SetGUIDValue(const wchar_t* name, const Guid& guid);
    virtual RegResult SetBinaryValue(const wchar_t* name, const void* data, uint32_t size);
    virtual RegResult SetDWORDValue(const wchar_t* name, uint32_t value);
    virtual RegResult SetQWORDValue(const wchar_t* name, uint64_t value);
    // Stores the text with its terminator; no text gives 13.
    virtual RegResult SetStringValue(const wchar_t* name, const wchar_t* text,
                                     uint32_t type = kRegSz);
    // `texts` is a list of terminated strings ended by an empty one.
    virtual RegResult SetMultiStringValue(const wchar_t* name, const wchar_t* texts);
    // `guid` is zeroed first; a text without braces or not a GUID gives 13.
    virtual RegResult QueryGUIDValue(const wchar_t* name, Guid& guid);
    virtual RegResult QueryBinaryValue(const wchar_t* name, void* data, uint32_t* size);
    // On failure `value` is left unchanged.
    virtual RegResult QueryDWORDValue(const wchar_t* name, uint32_t& value);
    virtual RegResult QueryQWORDValue(const wchar_t* name, uint64_t& value);
    virtual RegResult QueryStringValue(const wchar_t* name, std::wstring& value);
    // `chars` is the capacity on entry and the count read (terminator
    // included) on exit; a stored text without its terminator gives 13.
    virtual RegResult QueryStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars);
    // A buffer below 2 characters gives 122; the data must be
    // double-terminated, else 13.
    virtual RegResult QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars);
    virtual RegResult GetKeySecurity(uint32_t information, void* descriptor, uint32_t* size);
    virtual RegResult SetKeySecurity(uint32_t information, void* descriptor);
    // On success the previous key is closed and the new one kept.
    virtual RegResult Create(RegKeyHandle parent, const wchar_t* subKey,
                             wchar_t* keyClass = nullptr, uint32_t options = 0,
                             uint32_t access = kKeyRead | kKeyWrite,
                             void* securityAttributes = nullptr, uint32_t* disposition = nullptr);
    virtual RegResult Open(RegKeyHandle parent, const wchar_t* subKey,
                           uint32_t access = kKeyRead | kKeyWrite);
    virtual RegResult Flush();
    // 259 past the last subkey.
    virtual RegResult EnumKey(uint32_t index, wchar_t* name, uint32_t* chars,
                              uint64_t* lastWrite = nullptr);
    virtual RegResult NotifyChangeKeyValue(bool watchSubtree, uint32_t filter, void* event,
                                           bool asynchronous = true);
    virtual RegResult DeleteSubKey(const wchar_t* name);
    virtual RegResult RecurseDeleteKey(const wchar_t* name);
    virtual RegResult DeleteValue(const wchar_t* name);
    virtual RegResult GrantAccess(bool recursive);

    // The name of the value at `index`; 259 past the last value. Read the
    // value itself with QueryValue.
    RegResult EnumValue(uint32_t index, std::wstring& name);

    RegResult Close() noexcept { return impl_->close(); }
    void Attach(RegKeyHandle key) noexcept { impl_->attach(key); }
    RegKeyHandle Detach() noexcept { return impl_->detach(); }
    RegKeyHandle handle() const noexcept { return impl_->handle(); }
    // The whole key is emptied when it is closed.
    void setDeleteOnClose(bool value) noexcept { impl_->setDeleteOnClose(value); }

protected:
    explicit CRegKey(std::shared_ptr<internal::CRegKeyImpl> impl);

private:
    std::shared_ptr<internal::CRegKeyImpl> impl_;
};

} // namespace Strato
