// The guard around every body that runs on behalf of the host: no exception
// crosses into the host, whatever the body throws.
#pragma once

#include <kestrel/ModuleStatus.h>

#include <utility>

namespace Vanta {

// Runs `body` (a callable returning a module status) and returns its status;
// any exception becomes MODULE_STATUS_UNKNOWN_EXCEPTION. Logs nothing: the
// body logs its own failures before it throws.
template <typename Body> MODULE_STATUS runInExceptionBoundary(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return MODULE_STATUS_UNKNOWN_EXCEPTION;
    }
}

} // namespace Vanta
