// The factory of one type T: create() hands out what createTyped() makes.
#pragma once

#include "module/IOCFactoryInterface.h"

#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

namespace Strato {

template <typename T> class IOCBaseFactory : public IOCFactoryInterface {
public:
    explicit IOCBaseFactory(std::wstring name) : name_(std::move(name)) {}

    const std::type_info& typeInfo() const override { return typeid(T); }
    const std::wstring& name() const override { return name_; }
    std::shared_ptr<void> create() override { return createTyped(); }
    virtual std::shared_ptr<T> createTyped() = 0;

private:
    std::wstring name_;
};

} // namespace Strato
