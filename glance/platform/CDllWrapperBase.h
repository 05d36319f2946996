// Owns one loaded library and frees it at destruction.
#pragma once

#include "platform/LibraryHandle.h"

namespace Strato {

class CDllWrapperBase {
public:
    CDllWrapperBase() = default;
    CDllWrapperBase(const CDllWrapperBase&) = delete;
    CDllWrapperBase& operator=(const CDllWrapperBase&) = delete;
    virtual ~CDllWrapperBase() = default;

    Vanta::ModuleHandle module() const noexcept { return library_.get(); }
    // Takes ownership of `module`, freeing the one held before.
    void reset(Vanta::ModuleHandle module) noexcept { library_.reset(module); }
    // Frees the library if one is held; idempotent.
    void close() noexcept { library_.close(); }

private:
    Vanta::ScopedLibrary library_;
};

} // namespace Strato
