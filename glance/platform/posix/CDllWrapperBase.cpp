// POSIX-only code belongs in this file.
#include "platform/CDllWrapperBase.h"

#include <dlfcn.h>

namespace Strato {

void CDllWrapperBase::close() noexcept {
    if (module_ != nullptr) {
        ::dlclose(module_);
        module_ = nullptr;
    }
}

} // namespace Strato
