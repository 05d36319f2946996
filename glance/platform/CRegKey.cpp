#include "platform/CRegKey.h"

namespace Strato {

CRegKey::CRegKey() : impl_(std::make_shared<internal::CRegKeyImpl>()) {}

CRegKey::CRegKey(std::shared_ptr<internal::CRegKeyImpl> impl) : impl_(std::move(impl)) {
    if (!impl_) {
        impl_ = std::make_shared<internal::CRegKeyImpl>();
    }
}

CRegKey::~CRegKey() {
    impl_->close();
}

RegResult CRegKey::QueryValue(const wchar_t* name, uint32_t* type, void* data, uint32_t* size) {
    return impl_->queryValue(name, type, data, size);
}

RegResult CRegKey::SetValue(const wchar_t* name, uint32_t type, const void* data, uint32_t size) {
    return impl_->setValue(name, type, data, size);
}

RegResult CRegKey::SetGUIDValue(const wchar_t* name, const Guid& guid) {
    return impl_->setGuidValue(name, guid);
}

RegResult CRegKey::SetBinaryValue(const wchar_t* name, const void* data, uint32_t size) {
    return impl_->setBinaryValue(name, data, size);
}

RegResult CRegKey::SetDWORDValue(const wchar_t* name, uint32_t value) {
    return impl_->setDwordValue(name, value);
}

RegResult CRegKey::SetQWORDValue(const wchar_t* name, uint64_t value) {
    return impl_->setQwordValue(name, value);
}

RegResult CRegKey::SetStringValue(const wchar_t* name, const wchar_t* text, uint32_t type) {
    return impl_->setStringValue(name, text, type);
}

RegResult CRegKey::SetMultiStringValue(const wchar_t* name, const wchar_t* texts) {
    return impl_->setMultiStringValue(name, texts);
}

RegResult CRegKey::QueryGUIDValue(const wchar_t* name, Guid& guid) {
    return impl_->queryGuidValue(name, guid);
}

RegResult CRegKey::QueryBinaryValue(const wchar_t* name, void* data, uint32_t* size) {
    return impl_->queryBinaryValue(name, data, size);
}

RegResult CRegKey::QueryDWORDValue(const wchar_t* name, uint32_t& value) {
    return impl_->queryDwordValue(name, value);
}

RegResult CRegKey::QueryQWORDValue(const wchar_t* name, uint64_t& value) {
    return impl_->queryQwordValue(name, value);
}

RegResult CRegKey::QueryStringValue(const wchar_t* name, std::wstring& value) {
    return impl_->queryStringValue(name, value);
}

RegResult CRegKey::QueryStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars) {
    return impl_->queryStringValue(name, buffer, chars);
}

RegResult CRegKey::QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, uint32_t* chars) {
    return impl_->queryMultiStringValue(name, buffer, chars);
}

RegResult CRegKey::GetKeySecurity(uint32_t information, void* descriptor, uint32_t* size) {
    return impl_->getKeySecurity(information, descriptor, size);
}

RegResult CRegKey::SetKeySecurity(uint32_t information, void* descriptor) {
    return impl_->setKeySecurity(information, descriptor);
}

RegResult CRegKey::Create(RegKeyHandle parent, const wchar_t* subKey, wchar_t* keyClass,
                          uint32_t options, uint32_t access, void* securityAttributes,
                          uint32_t* disposition) {
    return impl_->create(parent, subKey, keyClass, options, access, securityAttributes,
                         disposition);
}

RegResult CRegKey::Open(RegKeyHandle parent, const wchar_t* subKey, uint32_t access) {
    return impl_->open(parent, subKey, access);
}

RegResult CRegKey::Flush() {
    return impl_->flush();
}

RegResult CRegKey::EnumKey(uint32_t index, wchar_t* name, uint32_t* chars, uint64_t* lastWrite) {
    return impl_->enumKey(index, name, chars, lastWrite);
}

RegResult CRegKey::NotifyChangeKeyValue(bool watchSubtree, uint32_t filter, void* event,
                                        bool asynchronous) {
    return impl_->notifyChangeKeyValue(watchSubtree, filter, event, asynchronous);
}

RegResult CRegKey::DeleteSubKey(const wchar_t* name) {
    return impl_->deleteSubKey(name);
}

RegResult CRegKey::RecurseDeleteKey(const wchar_t* name) {
    return impl_->recurseDeleteKey(name);
}

RegResult CRegKey::DeleteValue(const wchar_t* name) {
    return impl_->deleteValue(name);
}

RegResult CRegKey::GrantAccess(bool recursive) {
    return impl_->grantAccess(recursive);
}

RegResult CRegKey::EnumValue(uint32_t index, std::wstring& name) {
    return impl_->enumValue(index, name);
}

} // namespace Strato
