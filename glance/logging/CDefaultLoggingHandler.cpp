#include "logging/CDefaultLoggingHandler.h"

#include "platform/DebugOutput.h"
#include "platform/WideFormatter.h"

namespace Strato {

CDefaultLoggingHandler& CDefaultLoggingHandler::instance() {
    static CDefaultLoggingHandler handler;
    return handler;
}

uint32_t CDefaultLoggingHandler::Log(uint32_t type, const wchar_t* file, const wchar_t* function,
                                     int32_t line, const wchar_t* message) {
    const wchar_t* format = nullptr;
    switch (type) {
    case 0:
        return 0;
    case kLogTypeInformation:
        format = L"%s(%d): [INFO]: [%s]: %s\n";
        break;
    case kLogTypeError:
        format = L"%s(%d): [ERROR]: [%s]: %s\n";
        break;
    default:
        format = L"%s(%d): [UNKNOWN]: [%s]: %s\n";
        break;
    }
    try {
        Vanta::writeDebugOutput(formatWide(format, file, line, function, message));
    } catch (...) {
        // Out of memory: the message is lost, the caller carries on.
    }
    return 0;
}

} // namespace Strato
