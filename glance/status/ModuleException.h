// The exception that framework constructors throw after logging an error. It
// is never caught by type: it ends at the nearest exception boundary.
#pragma once

#include <stdexcept>

namespace Vanta {

class ModuleException : public std::runtime_error {
public:
    ModuleException() : std::runtime_error("Unknown exception") {}
    // A null text counts as no text.
    explicit ModuleException(const char* text)
        : std::runtime_error(text != nullptr ? text : "Unknown exception") {}
};

} // namespace Vanta
