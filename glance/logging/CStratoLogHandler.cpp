#include "logging/CStratoLogHandler.h"

#include "logging/CLogger.h"
#include "logging/CLoggingIf_ex.h"
#include "logging/LogFrontEnd.h"

namespace ETWLogging {

CStratoLogHandler& CStratoLogHandler::instance() {
    static CStratoLogHandler handler;
    return handler;
}

uint32_t CStratoLogHandler::Log(uint32_t type, const wchar_t* file, const wchar_t* function,
                                int32_t line, const wchar_t* message) {
    CLogInstance* holder = PeekLogInstance();
    CLoggingIf* logger = holder != nullptr ? holder->logger() : nullptr;
    if (logger == nullptr) {
        return 0;
    }
    uint32_t level = kLevelWarning;
    if (type == 0 || type == Strato::kLogTypeInformation) {
        level = kLevelNormal;
    } else if (type == Strato::kLogTypeError) {
        level = kLevelError;
    }
    if (logger->Start() != 0) {
        return 0;
    }
    if (auto* extended = dynamic_cast<CLoggingIf_ex*>(logger)) {
        return extended->LogTextEx(level, file, function, line, message);
    }
    return logger->LogText(file, function, line, level, message);
}

CStratoLogHandler::~CStratoLogHandler() {
    CLogInstance* holder = PeekLogInstance();
    if (holder != nullptr && holder->bridgeHandler() != nullptr) {
        Strato::CLogger::UnregisterHandler(holder->bridgeHandler());
        holder->clearBridgeHandler();
    }
}

} // namespace ETWLogging
