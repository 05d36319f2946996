// The host's module manager: its handle and the one function the host hands
// over with it. Held for the derived module; nothing here calls it.
#pragma once

#include <kestrel/ModuleStatus.h>

namespace Vanta::internal {

class ModuleManagerShim {
public:
    using ManagerFunction = MODULE_STATUS (*)(void* handle, void* a, void* b, void* c);

    ModuleManagerShim(void* managerHandle, ManagerFunction managerFunction)
        : handle(managerHandle), function(managerFunction) {}
    virtual ~ModuleManagerShim() = default;

    // Calls the manager function with (handle, a, 0, c): the host's function takes no second
    // argument from modules. MODULE_STATUS_INVALID_PARAMETER without a function.
    virtual MODULE_STATUS invoke(void* a, void* b, void* c);

private:
    void* handle;
    ManagerFunction function;
};

} // namespace Vanta::internal
