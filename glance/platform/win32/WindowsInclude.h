// Windows-only code belongs in this file.
// The one place in the project that includes <windows.h>, so that every
// translation unit sees it with the same trimmed set of declarations and
// without the min/max macros that break std::min and std::max.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
