// A named factory of one type, as the IOC container holds it.
#pragma once

#include <memory>
#include <string>
#include <typeinfo>

namespace Strato {

class IOCFactoryInterface {
public:
    virtual ~IOCFactoryInterface() = default;
    virtual const std::type_info& typeInfo() const = 0;
    virtual const std::wstring& name() const = 0;
    // The product, type-erased.
    virtual std::shared_ptr<void> create() = 0;
};

} // namespace Strato
