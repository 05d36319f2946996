#include "module/ModuleManagerShim.h"

namespace Vanta::internal {

MODULE_STATUS ModuleManagerShim::invoke(void* a, void*, void* c) {
    if (function == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    return function(handle, a, nullptr, c);
}

} // namespace Vanta::internal
