// Symbolic names of module status codes, for log records. A status logged
// with its name uses the format piece "%ls(%lu)": name, then decimal code.
#pragma once

#include <kestrel/ModuleStatus.h>

namespace Vanta {

// The code's symbolic name, "MODULE_STATUS_UNKNOWN" for any code outside the
// set. Static storage; pure and thread-safe.
const wchar_t* moduleStatusName(MODULE_STATUS code) noexcept;

} // namespace Vanta
