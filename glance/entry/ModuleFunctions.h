// The module function table the host drives the module through.
#pragma once

#include "module/Module.h"

#include <kestrel/ModuleFunctions.h>

#include <functional>

// The handle the host holds between NewModule and DestroyModule.
struct KestrelModule {
    std::function<void(Vanta::Module*)> deleter;
    Vanta::Module* module;
};

namespace Vanta {

// The constant eight-entry table; it lives as long as the library.
const KestrelModuleFunctions* moduleFunctions() noexcept;

} // namespace Vanta
