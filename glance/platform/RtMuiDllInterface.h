// What the system uses of the product's multilingual resource loader: its
// library and string loads, which pick the resources of the user's language.
#pragma once

#include "platform/ModuleHandle.h"

#include <cstdint>

namespace Vanta {

class RtMuiDllInterface {
public:
    virtual ~RtMuiDllInterface() = default;

    // 0 when the loader is usable, else the system error of the step that failed.
    virtual uint32_t availability() const noexcept = 0;
    // Only to be called while availability() is 0.
    virtual bool loadLibrary(const wchar_t* path, ModuleHandle& module) = 0;
    virtual int32_t loadString(ModuleHandle module, uint32_t id, wchar_t* buffer,
                               int32_t bufferSize) = 0;
};

} // namespace Vanta
