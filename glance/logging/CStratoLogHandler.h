// The bridge that carries Strato::CLogger's messages to the module's logger.
// One static instance, registered by the log holder when it is built.
#pragma once

#include "logging/ILoggingHandler.h"

namespace ETWLogging {

class CStratoLogHandler final : public Strato::ILoggingHandler {
public:
    static CStratoLogHandler& instance();

    // Type 0 and 1 become level 1, type 2 level 4, others level 2. Dropped
    // without a built holder or logger, or when the logger fails to start.
    uint32_t Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* message) override;

    // Unregisters the holder's bridge from Strato::CLogger at process exit.
    virtual ~CStratoLogHandler();
};

} // namespace ETWLogging
