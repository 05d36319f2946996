// A factory that hands out one instance, shared, every time.
#pragma once

#include "module/IOCBaseFactory.h"

#include <memory>
#include <string>
#include <utility>

namespace Strato {

template <typename T> class IOCInstanceReturningFactory : public IOCBaseFactory<T> {
public:
    IOCInstanceReturningFactory(std::wstring name, std::shared_ptr<T> instance)
        : IOCBaseFactory<T>(std::move(name)), instance_(std::move(instance)) {}

    std::shared_ptr<T> createTyped() override { return instance_; }

private:
    std::shared_ptr<T> instance_;
};

} // namespace Strato
