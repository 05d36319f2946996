// Strato::CLogger's handler of last resort: writes each message as one line
// to the debugger output.
#pragma once

#include "logging/ILoggingHandler.h"

namespace Strato {

class CDefaultLoggingHandler final : public ILoggingHandler {
public:
    static CDefaultLoggingHandler& instance();

    // Type 0 writes nothing; 1 is INFO, 2 ERROR, any other UNKNOWN. Answers 0.
    uint32_t Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* message) override;
};

} // namespace Strato
