// Windows-only code belongs in this file.
#include "platform/CDllWrapperBase.h"

#include "platform/win32/WindowsInclude.h"

namespace Strato {

void CDllWrapperBase::close() noexcept {
    if (module_ != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(module_));
        module_ = nullptr;
    }
}

} // namespace Strato
