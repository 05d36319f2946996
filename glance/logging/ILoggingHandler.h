// The one replaceable receiver of Strato::CLogger's messages.
#pragma once

#include <cstdint>

namespace Strato {

// Message types of Strato::CLogger.
enum : uint32_t {
    kLogTypeInformation = 1,
    kLogTypeError = 2,
};

class ILoggingHandler {
public:
    virtual uint32_t Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                         const wchar_t* message) = 0;

protected:
    // Handlers are static objects, never deleted through this interface.
    ~ILoggingHandler() = default;
};

} // namespace Strato
