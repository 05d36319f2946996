// Creating and destroying the concrete module: the tile content module.
#pragma once

#include "module/Module.h"

#include <kestrel/ModuleStatus.h>

namespace Vanta {

// A new GlanceImpl in `module`; MODULE_STATUS_UNSUCCESSFUL when it cannot be built.
MODULE_STATUS createModule(Module** module);
// Deletes the module (null is allowed) and logs it.
void destroyModule(Module* module);

} // namespace Vanta
