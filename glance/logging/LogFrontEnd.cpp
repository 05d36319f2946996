#include "logging/LogFrontEnd.h"

#include "logging/CDefaultLogBuilder.h"
#include "logging/CLogger.h"
#include "logging/CLoggingIf_ex.h"
#include "logging/CStratoLogHandler.h"
#include "logging/LogTestSeam.h"
#include "platform/CurrentModule.h"
#include "platform/WideFormatter.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <optional>
#include <string>

namespace ETWLogging {
namespace {

// Longest message passed on whole; a longer one is cut to half of it.
constexpr size_t kLongestWholeMessage = 4160;
constexpr size_t kCutMessageLength = 2080;

struct LogParameters {
    std::optional<std::wstring> applicationKey;
    std::optional<std::wstring> group = L"_no_group";
    Vanta::ModuleHandle module = nullptr; // null: this library's own module
    std::optional<std::wstring> host = L"_no_host";
    uint32_t mechanism = 0;
};

const wchar_t* pointerTo(const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
}

// The front end's process-wide state. Created on first use and never
// destroyed, so that threads still logging at process exit find it intact.
struct FrontEndState {
    std::mutex mutex;
    LogParameters parameters;
    CLogBuilderIf_ex* builder = nullptr; // null: the default builder
    std::atomic<CLogInstance*> instance{nullptr};
};

FrontEndState& frontEnd() {
    static FrontEndState* state = new FrontEndState;
    return *state;
}

// Set while this thread builds the holder: a log call made by the building
// itself (a registry wrapper, say) finds logging off instead of recursing.
thread_local bool buildingOnThisThread = false;

CLogInstance& holderWithoutLogger() {
    static CLogInstance* empty = new CLogInstance;
    return *empty;
}

CLogBuilderIf_ex& defaultBuilder() {
    static CDefaultLogBuilder* builder = new CDefaultLogBuilder;
    return *builder;
}

std::unique_ptr<CLogInstance> buildHolder(const LogParameters& parameters,
                                          CLogBuilderIf_ex& builder) {
    auto holder = std::make_unique<CLogInstance>();
    Vanta::ModuleHandle module =
        parameters.module != nullptr ? parameters.module : Vanta::currentModuleHandle();
    CLoggingIf* logger = nullptr;
    if (!builder.BuildEx(pointerTo(parameters.applicationKey), pointerTo(parameters.group), module,
                         pointerTo(parameters.host), parameters.mechanism, logger, nullptr)) {
        builder.Build(pointerTo(parameters.group), module, pointerTo(parameters.host),
                      parameters.mechanism, logger, nullptr);
    }
    if (logger == nullptr) {
        return holder;
    }
    holder->setLogger(std::unique_ptr<CLoggingIf>(logger));
    holder->registerBridgeHandler();
    return holder;
}

uint32_t writeLogV(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                   const wchar_t* format, va_list args) noexcept {
    try {
        CLoggingIf* logger = GetLogInstance().logger();
        if (logger == nullptr) {
            return kNoLogger;
        }
        if (const uint32_t started = logger->Start(); started != 0) {
            return started;
        }
        if (auto* extended = dynamic_cast<CLoggingIf_ex*>(logger)) {
            if (extended->IsLevelEnabled(level)) {
                extended->LogV(level, file, function, line, format, args);
            }
            return 0;
        }
        std::wstring text = Strato::formatWideV(format, args);
        if (text.size() > kLongestWholeMessage) {
            text.resize(kCutMessageLength);
        }
        return logger->LogText(file, function, line, level, text.c_str());
    } catch (...) {
        return kNoLogger;
    }
}

} // namespace

CLogInstance::~CLogInstance() {
    if (bridgeHandler_ != nullptr) {
        Strato::CLogger::UnregisterHandler(bridgeHandler_);
    }
}

void CLogInstance::registerBridgeHandler() {
    Strato::ILoggingHandler* bridge = &CStratoLogHandler::instance();
    if (Strato::CLogger::RegisterHandler(bridge) != 0) {
        return;
    }
    if (bridgeHandler_ != nullptr && bridgeHandler_ != bridge) {
        Strato::CLogger::UnregisterHandler(bridgeHandler_);
    }
    bridgeHandler_ = bridge;
}

CLogInstance* PeekLogInstance() noexcept {
    return frontEnd().instance.load(std::memory_order_acquire);
}

void installLoggerForTesting(std::unique_ptr<CLoggingIf> logger) {
    FrontEndState& state = frontEnd();
    std::lock_guard lock(state.mutex);
    auto holder = std::make_unique<CLogInstance>();
    holder->setLogger(std::move(logger));
    delete state.instance.exchange(holder.release(), std::memory_order_acq_rel);
}

void installLogBuilderForTesting(CLogBuilderIf_ex* builder) {
    FrontEndState& state = frontEnd();
    std::lock_guard lock(state.mutex);
    state.builder = builder;
}

void resetLogFrontEndForTesting() {
    FrontEndState& state = frontEnd();
    std::lock_guard lock(state.mutex);
    delete state.instance.exchange(nullptr, std::memory_order_acq_rel);
    state.parameters = LogParameters{};
    state.builder = nullptr;
    if (Strato::ILoggingHandler* handler = Strato::CLogger::RegisteredHandler()) {
        Strato::CLogger::UnregisterHandler(handler);
    }
}

} // namespace ETWLogging

ETWLogging::CLogInstance& GetLogInstance() {
    using namespace ETWLogging;
    FrontEndState& state = frontEnd();
    if (CLogInstance* instance = state.instance.load(std::memory_order_acquire)) {
        return *instance;
    }
    if (buildingOnThisThread) {
        return holderWithoutLogger();
    }
    std::lock_guard lock(state.mutex);
    if (CLogInstance* instance = state.instance.load(std::memory_order_relaxed)) {
        return *instance;
    }
    buildingOnThisThread = true;
    std::unique_ptr<CLogInstance> holder;
    try {
        holder = buildHolder(state.parameters,
                             state.builder != nullptr ? *state.builder : defaultBuilder());
    } catch (...) {
        buildingOnThisThread = false;
        throw;
    }
    buildingOnThisThread = false;
    CLogInstance* built = holder.release();
    state.instance.store(built, std::memory_order_release);
    return *built;
}

uint32_t WriteLog(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    const uint32_t result = ETWLogging::writeLogV(level, file, function, line, format, args);
    va_end(args);
    return result;
}

bool IsLogEnabled(uint32_t level) noexcept {
    try {
        ETWLogging::CLoggingIf* logger = GetLogInstance().logger();
        return logger != nullptr && logger->IsLevelEnabled(level);
    } catch (...) {
        return false;
    }
}

void SetLogParameters(const wchar_t* applicationKey, const wchar_t* group,
                      Vanta::ModuleHandle module, const wchar_t* host, uint32_t mechanism) {
    using namespace ETWLogging;
    FrontEndState& state = frontEnd();
    std::lock_guard lock(state.mutex);
    if (state.instance.load(std::memory_order_relaxed) != nullptr) {
        return; // the logger is built once; later parameters change nothing
    }
    auto optionalText = [](const wchar_t* text) {
        return text != nullptr ? std::optional<std::wstring>(text) : std::nullopt;
    };
    state.parameters = {optionalText(applicationKey), optionalText(group), module,
                        optionalText(host), mechanism};
}
