// The log front end: every part of the module logs through WriteLog after
// IsLogEnabled answered true for the same level. Behind them sits one
// process-wide holder with the active logger, built on the first log call.
#pragma once

#include "logging/CLoggingIf.h"

#include <cstdint>
#include <memory>

namespace Strato {
class ILoggingHandler;
}

namespace ETWLogging {

// WriteLog's answer when the process has no logger.
constexpr uint32_t kNoLogger = 1627;

// The process-wide holder of the active logger. Never destroyed before the
// process exits; after it is built its logger is only read.
class CLogInstance {
public:
    CLogInstance() = default;
    CLogInstance(const CLogInstance&) = delete;
    CLogInstance& operator=(const CLogInstance&) = delete;
    ~CLogInstance();

    // The active logger, null when none could be built (logging is off).
    CLoggingIf* logger() const noexcept { return logger_.get(); }
    // The handler this holder registered with Strato::CLogger, null when none.
    Strato::ILoggingHandler* bridgeHandler() const noexcept { return bridgeHandler_; }

    void setLogger(std::unique_ptr<CLoggingIf> logger) noexcept { logger_ = std::move(logger); }
    // Registers the bridge to Strato::CLogger; keeps it only when accepted.
    void registerBridgeHandler();
    void clearBridgeHandler() noexcept { bridgeHandler_ = nullptr; }

private:
    std::unique_ptr<CLoggingIf> logger_;
    Strato::ILoggingHandler* bridgeHandler_ = nullptr;
};

// The holder if it has been built, else null; never builds it.
CLogInstance* PeekLogInstance() noexcept;

} // namespace ETWLogging

// Logs one message: `file` is the source file name as the code spells it,
// `function` the qualified function name, `format` a wide format in the
// project's convention. Answers 1627 without a logger, the logger's Start
// answer when that fails, else the sink's answer. Never throws.
uint32_t WriteLog(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, ...) noexcept;

// True when a logger exists and lets `level` through. Costs one virtual call.
bool IsLogEnabled(uint32_t level) noexcept;

// The holder, built on the first call from the stored parameters. A failure
// to build propagates and a later call tries again.
ETWLogging::CLogInstance& GetLogInstance();

// Stores the parameters the logger is built from; only calls made before the
// first log call have an effect. A null module means this library's own.
void SetLogParameters(const wchar_t* applicationKey, const wchar_t* group,
                      Vanta::ModuleHandle module, const wchar_t* host, uint32_t mechanism);
