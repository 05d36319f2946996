// The utility library's small logging hub: exactly one replaceable handler
// receives every message. Failures to register or unregister are reported
// through the handlers themselves and as codes 87 and 5023.
#pragma once

#include "logging/ILoggingHandler.h"

#include <cstdint>

namespace Strato {

class CLogger {
public:
    CLogger() = delete;

    // 0 when `handler` is now the registered one (replacing nothing, itself or
    // the default handler); 87 for null; 5023 when another is registered.
    static uint32_t RegisterHandler(ILoggingHandler* handler);
    // 0 when `handler` was the registered one and nothing is registered now;
    // 87 for null; 5023 otherwise, the complaint delivered to both parties.
    static uint32_t UnregisterHandler(ILoggingHandler* handler);
    // Formats the message and hands it to the registered handler, registering
    // the default handler first when there is none. Answers 0.
    static uint32_t Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                        const wchar_t* format, ...);

    static ILoggingHandler* RegisteredHandler() noexcept;
};

} // namespace Strato
