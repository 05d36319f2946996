// Owns one loaded library and frees it at destruction.
#pragma once

#include "platform/ModuleHandle.h"

namespace Strato {

class CDllWrapperBase {
public:
    CDllWrapperBase() = default;
    CDllWrapperBase(const CDllWrapperBase&) = delete;
    CDllWrapperBase& operator=(const CDllWrapperBase&) = delete;
    virtual ~CDllWrapperBase() { close(); }

    Vanta::ModuleHandle module() const noexcept { return module_; }
    // Takes ownership of `module`, freeing the one held before.
    void reset(Vanta::ModuleHandle module) noexcept {
        close();
        module_ = module;
    }
    // Frees the library if one is held; idempotent.
    void close() noexcept;

private:
    Vanta::ModuleHandle module_ = nullptr;
};

} // namespace Strato
