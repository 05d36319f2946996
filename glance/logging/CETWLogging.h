// The system-trace sink, the default sink of the log front end: each message
// becomes one trace event (kestrel/TraceEvent.h) sent to the trace session
// that has enabled the provider. The provider identity comes from the
// trace configuration key (ETWAppProperties); the session's level and the
// registry's "Enable" and "Severity" decide what passes.
//
// LogV takes no lock and may run on many threads at once; the control
// callback changes Enabled, Severity and the session handle on a system
// thread meanwhile, each a single atomic value. Registration and
// unregistration are serialised by the sink's lock.
#pragma once

#include "logging/CLoggingIf_ex.h"
#include "logging/ETWAppProperties.h"
#include "logging/LoggingConfigListenerIf.h"
#include "platform/Guid.h"
#include "platform/TraceAPI.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ETWLogging {

class CETWLogging final : public CLoggingIf_ex {
public:
    // Empty pointers make the system's trace calls and known folders.
    explicit CETWLogging(std::shared_ptr<Vanta::TraceAPI> trace = nullptr,
                         std::shared_ptr<Strato::ShlObjAPI> shell = nullptr);
    ~CETWLogging() override;
    CETWLogging(const CETWLogging&) = delete;
    CETWLogging& operator=(const CETWLogging&) = delete;

    uint32_t Initialize(const wchar_t* group, Vanta::ModuleHandle module,
                        const wchar_t* host) override;
    // Registers the provider on the first call; later calls answer 0.
    uint32_t Start() override;
    const wchar_t* GetComposedName() override { return composedName_.c_str(); }
    const wchar_t* GetGroupName() override { return group_ ? group_->c_str() : nullptr; }
    uint32_t Uninitialize() override;
    void SetEnabled(bool enabled) override { enabled_.store(enabled, std::memory_order_relaxed); }
    bool IsEnabled() override { return enabled_.load(std::memory_order_relaxed); }
    uint32_t Log(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* format, ...) override;
    uint32_t LogText(const wchar_t* file, const wchar_t* function, int32_t line, uint32_t level,
                     const wchar_t* text) override;
    // At least Severity; level 3 always passes.
    bool IsLevelEnabled(uint32_t level) override;
    void SetMaxEntries(uint32_t) override {}
    uint32_t GetMaxEntries() override { return 0; }
    void SetMaxSize(uint32_t) override {}
    uint32_t GetMaxSize() override { return 0; }
    // Stored clamped to 1-6.
    void SetSeverity(uint32_t level) override;
    uint32_t GetSeverity() override { return severity_.load(std::memory_order_relaxed); }
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
    uint32_t LogNormal(const wchar_t* file, const wchar_t* function, int32_t line,
                       const wchar_t* format, ...) override;
    uint32_t LogError(const wchar_t* file, const wchar_t* function, int32_t line,
                      const wchar_t* format, ...) override;
    uint32_t LogWarning(const wchar_t* file, const wchar_t* function, int32_t line,
                        const wchar_t* format, ...) override;
    uint32_t LogCritical(const wchar_t* file, const wchar_t* function, int32_t line,
                         const wchar_t* format, ...) override;
    uint32_t LogInformation(const wchar_t* file, const wchar_t* function, int32_t line,
                            const wchar_t* format, ...) override;

    // Answers 0, 20001 when the provider is registered already, 87 for an
    // empty group or host or configuration that cannot be loaded. Takes
    // ownership of `listener` (null: a listener of its own).
    uint32_t InitializeEx(const wchar_t* applicationKey, const wchar_t* group,
                          Vanta::ModuleHandle module, const wchar_t* host,
                          LoggingConfigListenerIf* listener) override;
    uint32_t LogTextEx(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                       const wchar_t* text) override;
    uint32_t LogV(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, va_list args) override;
    uint32_t LogEx(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                   const wchar_t* format, ...) override;
    bool IsSameSession(uint64_t sessionHandle) override;
    // Enable (4) and disable (5) from a trace session. The first session to
    // enable the provider keeps it: another session's enable and disable are
    // ignored until it lets go.
    uint32_t OnTraceControl(uint32_t request, void* buffer) override;
    void SetTraceClassGuid() override;
    // File name of `module` (null: the process's executable), without its
    // extension when asked.
    std::wstring GetModuleName(Vanta::ModuleHandle module, bool stripExtension) override;
    void ComposeName() override;
    uint32_t UnregisterTrace() override;
    uint32_t Stop() override;
    // Level 6 is sent as 3, and so is anything outside 1-5.
    uint32_t MapLevel(uint32_t level) override;
    // Appends the fields block up to the group to `record`, a TraceFieldsBlock.
    void FillRecordHeader(const wchar_t* file, const wchar_t* function, int32_t line,
                          void* record) override;

    const internal::ETWAppProperties& properties() const noexcept { return properties_; }

    // Largest message in UTF-16 units, terminator included, and the stack
    // buffer its UTF-8 form goes to when it fits.
    static constexpr size_t kMessageUnits = 2080;
    static constexpr size_t kMessageBufferBytes = 4160;

private:
    static uint32_t control(uint32_t request, void* context, void* buffer) noexcept;
    uint32_t logFixed(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                      const wchar_t* format, va_list args);

    std::shared_ptr<Vanta::TraceAPI> trace_;
    std::atomic<bool> registered_{false};
    std::mutex lock_;
    uint32_t processId_ = 0;
    Strato::Guid traceClassGuid_{};
    std::unique_ptr<LoggingConfigListenerIf> listener_;
    std::atomic<bool> enabled_{true};
    std::atomic<uint32_t> severity_{3};
    std::optional<std::wstring> group_;
    std::optional<std::wstring> host_;
    std::wstring processFileName_;
    std::wstring moduleBaseName_;
    std::wstring composedName_;
    std::wstring moduleFileName_;
    std::wstring moduleVersion_;
    std::atomic<Vanta::TraceHandle> session_{0};
    Vanta::TraceHandle registration_ = 0;
    internal::ETWAppProperties properties_;
};

} // namespace ETWLogging
