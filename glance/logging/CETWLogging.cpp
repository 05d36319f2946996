#include "logging/CETWLogging.h"

#include "logging/CETWConfigurationListener.h"
#include "logging/LogLevel.h"
#include "logging/ModuleFileIdentity.h"
#include "logging/TraceFieldsBlock.h"
#include "platform/CurrentThread.h"
#include "platform/ExecutablePath.h"
#include "platform/LastError.h"
#include "platform/PathSeparator.h"
#include "platform/ProcessAPI.h"
#include "platform/ResourceAPI.h"
#include "platform/TextCodec.h"
#include "platform/WideFormatter.h"

#include <cstdarg>
#include <vector>

namespace ETWLogging {
namespace {

constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorAlreadyInitialized = 20001;

// {CD1DAAD0-54CC-11E0-B8AF-0800200C9A66}
constexpr Strato::Guid kTraceClassGuid{
    0xCD1DAAD0, 0x54CC, 0x11E0, {0xB8, 0xAF, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};

bool givenButEmpty(const wchar_t* text) {
    return text != nullptr && *text == L'\0';
}

uint32_t clampLevel(uint32_t level) {
    return level < 1 ? 1 : (level > 6 ? 6 : level);
}

uint64_t addressOf(const void* data) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data));
}

KestrelTraceGuid toEventGuid(const Strato::Guid& guid) {
    KestrelTraceGuid out{guid.data1, guid.data2, guid.data3, {}};
    for (size_t i = 0; i < 8; ++i) {
        out.data4[i] = guid.data4[i];
    }
    return out;
}

} // namespace

CETWLogging::CETWLogging(std::shared_ptr<Vanta::TraceAPI> trace,
                         std::shared_ptr<Strato::ShlObjAPI> shell)
    : trace_(trace ? std::move(trace) : std::make_shared<Vanta::TraceAPI>()),
      properties_(std::move(shell)) {}

CETWLogging::~CETWLogging() {
    Stop();
    listener_.reset();
}

uint32_t CETWLogging::Initialize(const wchar_t* group, Vanta::ModuleHandle module,
                                 const wchar_t* host) {
    return InitializeEx(nullptr, group, module, host, nullptr);
}

uint32_t CETWLogging::InitializeEx(const wchar_t* applicationKey, const wchar_t* group,
                                   Vanta::ModuleHandle module, const wchar_t* host,
                                   LoggingConfigListenerIf* listener) {
    std::unique_ptr<LoggingConfigListenerIf> offered(listener);
    try {
        if (registered_.load(std::memory_order_acquire)) {
            return kErrorAlreadyInitialized;
        }
        if (givenButEmpty(group) || givenButEmpty(host)) {
            return kErrorInvalidParameter;
        }
        group_ = group != nullptr ? std::optional<std::wstring>(group) : std::nullopt;
        host_ = host != nullptr ? std::optional<std::wstring>(host) : std::nullopt;
        if (!properties_.Load(applicationKey)) {
            return kErrorInvalidParameter;
        }
        processFileName_ = GetModuleName(nullptr, false);
        moduleBaseName_ = GetModuleName(module, true);
        ComposeName();
        if (offered) {
            listener_ = std::move(offered);
        } else {
            auto own = std::make_unique<CETWConfigurationListener>(properties_);
            own->Attach(this);
            listener_ = std::move(own);
        }
        listener_->Apply(true, kLevelInformation, 0);
        processId_ = Vanta::ProcessAPI().GetCurrentProcessId();
        const ModuleFileIdentity& identity = thisModuleFileIdentity();
        moduleFileName_ = identity.fileName;
        moduleVersion_ = identity.version;
        SetTraceClassGuid();
        return 0;
    } catch (...) {
        return kErrorNotEnoughMemory;
    }
}

uint32_t CETWLogging::Start() {
    if (registered_.load(std::memory_order_acquire)) {
        return 0;
    }
    std::lock_guard lock(lock_);
    if (registered_.load(std::memory_order_relaxed)) {
        return 0;
    }
    if (registration_ != 0) {
        trace_->UnregisterTraceGuids(registration_);
        registration_ = 0;
    }
    Vanta::TraceHandle handle = 0;
    const uint32_t result = trace_->RegisterTraceGuidsW(
        &CETWLogging::control, this, properties_.providerGuid(), traceClassGuid_, handle);
    if (result == 0) {
        registration_ = handle;
    }
    // Marked also on failure: the provider is not asked for again.
    registered_.store(true, std::memory_order_release);
    return result;
}

uint32_t CETWLogging::Uninitialize() {
    if (registered_.load(std::memory_order_acquire)) {
        Stop();
    }
    return 0;
}

uint32_t CETWLogging::Stop() {
    SetEnabled(false);
    return UnregisterTrace();
}

uint32_t CETWLogging::UnregisterTrace() {
    std::lock_guard lock(lock_);
    uint32_t result = 0;
    if (registration_ != 0) {
        result = trace_->UnregisterTraceGuids(registration_);
        registration_ = 0;
    }
    session_.store(0, std::memory_order_relaxed);
    registered_.store(false, std::memory_order_release);
    return result;
}

bool CETWLogging::IsLevelEnabled(uint32_t level) {
    return level == kLevelInformation || level >= severity_.load(std::memory_order_relaxed);
}

void CETWLogging::SetSeverity(uint32_t level) {
    severity_.store(clampLevel(level), std::memory_order_relaxed);
}

uint32_t CETWLogging::MapLevel(uint32_t level) {
    const uint32_t mapped = level == kLevelInformation2 ? kLevelInformation : level;
    return mapped >= 1 && mapped <= 5 ? mapped : kLevelInformation;
}

bool CETWLogging::IsSameSession(uint64_t sessionHandle) {
    return sessionHandle == session_.load(std::memory_order_relaxed);
}

uint32_t CETWLogging::control(uint32_t request, void* context, void* buffer) noexcept {
    try {
        return static_cast<CETWLogging*>(context)->OnTraceControl(request, buffer);
    } catch (...) {
        return kErrorNotEnoughMemory;
    }
}

uint32_t CETWLogging::OnTraceControl(uint32_t request, void* buffer) {
    if (request != KESTREL_TRACE_ENABLE_EVENTS && request != KESTREL_TRACE_DISABLE_EVENTS) {
        return kErrorInvalidParameter;
    }
    const Vanta::TraceHandle session = trace_->GetTraceLoggerHandle(buffer);
    if (session == Vanta::kInvalidTraceHandle) {
        return Vanta::lastError();
    }
    const Vanta::TraceHandle held = session_.load(std::memory_order_relaxed);
    // The first session keeps the provider, for its enable and its disable.
    if (held != 0 && held != session) {
        return 0;
    }
    if (request == KESTREL_TRACE_ENABLE_EVENTS) {
        session_.store(session, std::memory_order_relaxed);
        const uint8_t level = trace_->GetTraceEnableLevel(session);
        if (level == 0) {
            return Vanta::lastError();
        }
        const uint32_t flags = trace_->GetTraceEnableFlags(session);
        if (listener_) {
            listener_->Apply(true, level, flags);
        }
        return 0;
    }
    if (listener_) {
        listener_->Apply(false, GetSeverity(), 0);
    }
    session_.store(0, std::memory_order_relaxed);
    return 0;
}

void CETWLogging::SetTraceClassGuid() {
    traceClassGuid_ = kTraceClassGuid;
}

std::wstring CETWLogging::GetModuleName(Vanta::ModuleHandle module, bool stripExtension) {
    std::wstring path;
    if (module == nullptr) {
        path = Vanta::executablePath();
    } else {
        std::vector<wchar_t> buffer(32768);
        const uint32_t length = Vanta::ResourceAPI().getModuleFileName(
            module, buffer.data(), static_cast<uint32_t>(buffer.size()));
        path.assign(buffer.data(), length);
    }
    const size_t separator = path.find_last_of(Vanta::kPathSeparator);
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    if (stripExtension) {
        if (const size_t dot = name.find_last_of(L'.'); dot != std::wstring::npos) {
            name.resize(dot);
        }
    }
    return name;
}

void CETWLogging::ComposeName() {
    const std::wstring group = group_.value_or(std::wstring());
    composedName_ = moduleBaseName_.empty() ? group
                    : group.empty()         ? moduleBaseName_
                                            : group + L"\\" + moduleBaseName_;
}

void CETWLogging::FillRecordHeader(const wchar_t* file, const wchar_t* function, int32_t line,
                                   void* record) {
    auto& fields = *static_cast<TraceFieldsBlock*>(record);
    fields.appendU32(processId_);
    fields.appendU32(Vanta::currentThreadId());
    fields.appendCounted(processFileName_.c_str());
    fields.appendCounted(file);
    fields.appendCounted(function);
    fields.appendI32(line);
    fields.appendCounted(moduleFileName_.c_str());
    fields.appendCounted(moduleVersion_.c_str());
    fields.appendCounted(group_ ? group_->c_str() : nullptr);
}

uint32_t CETWLogging::LogV(uint32_t level, const wchar_t* file, const wchar_t* function,
                           int32_t line, const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return kErrorInvalidParameter;
    }
    // With no session the event would be dropped: it is not even formatted.
    if (!IsEnabled() || !IsLevelEnabled(level) || session_.load(std::memory_order_relaxed) == 0) {
        return 0;
    }
    try {
        const std::wstring text = Strato::formatWideFixedV(kMessageUnits, format, args);
        // The UTF-8 text goes on the stack when it fits, else to the heap.
        char buffer[kMessageBufferBytes];
        std::string large;
        const char* utf8 = buffer;
        const size_t length = Vanta::toUtf8Into(text, buffer, sizeof(buffer));
        if (length > sizeof(buffer)) {
            large = Vanta::toUtf8(text);
            utf8 = large.data();
        }
        TraceFieldsBlock fields;
        FillRecordHeader(file, function, line, &fields);
        fields.appendU64(length);

        KestrelTraceEvent event{};
        event.header.size = KESTREL_TRACE_EVENT_SIZE;
        event.header.classType = KESTREL_TRACE_CLASS_TYPE;
        event.header.classLevel = static_cast<uint8_t>(MapLevel(level));
        event.header.classVersion = KESTREL_TRACE_CLASS_VERSION;
        event.header.guid = toEventGuid(traceClassGuid_);
        event.header.flags = KESTREL_TRACE_EVENT_FLAGS;
        event.descriptors[0] = {addressOf(fields.data()), static_cast<uint32_t>(fields.size()), 0};
        event.descriptors[1] = {addressOf(utf8), static_cast<uint32_t>(length), 0};
        // Without a session the system drops the event; the sink does not notice.
        trace_->TraceEvent(session_.load(std::memory_order_relaxed), event);
        return 0;
    } catch (...) {
        return kErrorNotEnoughMemory;
    }
}

uint32_t CETWLogging::LogEx(uint32_t level, const wchar_t* file, const wchar_t* function,
                            int32_t line, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const uint32_t result = LogV(level, file, function, line, format, args);
    va_end(args);
    return result;
}

uint32_t CETWLogging::LogTextEx(uint32_t level, const wchar_t* file, const wchar_t* function,
                                int32_t line, const wchar_t* text) {
    return LogEx(level, file, function, line, L"%s", text);
}

uint32_t CETWLogging::LogText(const wchar_t* file, const wchar_t* function, int32_t line,
                              uint32_t level, const wchar_t* text) {
    return LogTextEx(level, file, function, line, text);
}

uint32_t CETWLogging::logFixed(uint32_t level, const wchar_t* file, const wchar_t* function,
                               int32_t line, const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return kErrorInvalidParameter;
    }
    try {
        const std::wstring text =
            Strato::formatWideFixedV(Strato::kFixedLogBufferChars, format, args);
        return LogText(file, function, line, level, text.c_str());
    } catch (...) {
        return kErrorNotEnoughMemory;
    }
}

uint32_t CETWLogging::Log(uint32_t level, const wchar_t* file, const wchar_t* function,
                          int32_t line, const wchar_t* format, ...) {
    if (format == nullptr || *format == L'\0') {
        return format == nullptr ? kErrorInvalidParameter : 0;
    }
    if (!IsEnabled() || !IsLevelEnabled(level)) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const uint32_t result = logFixed(level, file, function, line, format, args);
    va_end(args);
    return result;
}

#define GLANCE_TRACE_LEVEL_SLOT(name, level)                                                       \
    uint32_t CETWLogging::name(const wchar_t* file, const wchar_t* function, int32_t line,         \
                               const wchar_t* format, ...) {                                       \
        va_list args;                                                                              \
        va_start(args, format);                                                                    \
        const uint32_t result = logFixed(level, file, function, line, format, args);               \
        va_end(args);                                                                              \
        return result;                                                                             \
    }

GLANCE_TRACE_LEVEL_SLOT(LogNormal, kLevelNormal)
GLANCE_TRACE_LEVEL_SLOT(LogError, kLevelError)
GLANCE_TRACE_LEVEL_SLOT(LogWarning, kLevelWarning)
GLANCE_TRACE_LEVEL_SLOT(LogCritical, kLevelCritical)
GLANCE_TRACE_LEVEL_SLOT(LogInformation, kLevelInformation)

#undef GLANCE_TRACE_LEVEL_SLOT

} // namespace ETWLogging
