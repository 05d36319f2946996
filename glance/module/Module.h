// Every module of the framework: the life cycle the host drives through the
// module function table. Slot order is fixed.
#pragma once

#include <kestrel/ModuleStatus.h>

namespace Vanta {

class Module {
public:
    virtual ~Module() = default;
    // The module's own initialization, after the base initialization.
    virtual MODULE_STATUS initialize() = 0;
    virtual MODULE_STATUS start() = 0;
    virtual MODULE_STATUS stop() = 0;
    virtual MODULE_STATUS uninitialize() = 0;
};

} // namespace Vanta
