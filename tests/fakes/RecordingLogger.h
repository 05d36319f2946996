// A logger that keeps every record in memory, installed into the log front
// end for the life of a ScopedRecordingLogger. Tests assert level, file,
// function, line and exact text of what the code under test logged.
#pragma once

#include "logging/CLoggingIf_ex.h"
#include "logging/LogTestSeam.h"
#include "platform/WideFormatter.h"

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testfakes {

struct LogRecord {
    uint32_t level;
    std::wstring file;
    std::wstring function;
    int32_t line;
    std::wstring text;
};

class RecordingLogger final : public ETWLogging::CLoggingIf_ex {
public:
    std::vector<LogRecord> records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }
    // Texts only, in order: the common assertion.
    std::vector<std::wstring> texts() const {
        std::vector<std::wstring> out;
        for (const LogRecord& r : records()) {
            out.push_back(r.text);
        }
        return out;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        records_.clear();
    }
    void setSeverity(uint32_t level) { severity_ = level; }
    // Start answers `error` from now on, as a sink that cannot start.
    void failStartWith(uint32_t error) { startResult_ = error; }

    // What a builder did with this sink, and what its initialisation answers.
    uint32_t initializeResult = 0;
    uint32_t initializeExResult = 0;
    int initializeCalls = 0;
    int initializeExCalls = 0;
    int addRefCalls = 0;

    uint32_t Initialize(const wchar_t*, Vanta::ModuleHandle, const wchar_t*) override {
        ++initializeCalls;
        return initializeResult;
    }
    uint32_t Start() override { return startResult_; }
    const wchar_t* GetComposedName() override { return nullptr; }
    const wchar_t* GetGroupName() override { return nullptr; }
    uint32_t Uninitialize() override { return 0; }
    void SetEnabled(bool) override {}
    bool IsEnabled() override { return true; }
    uint32_t Log(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        const uint32_t result = LogV(level, file, function, line, format, args);
        va_end(args);
        return result;
    }
    uint32_t LogText(const wchar_t* file, const wchar_t* function, int32_t line, uint32_t level,
                     const wchar_t* text) override {
        return LogTextEx(level, file, function, line, text);
    }
    bool IsLevelEnabled(uint32_t level) override { return level >= severity_; }
    void SetMaxEntries(uint32_t) override {}
    uint32_t GetMaxEntries() override { return 0; }
    void SetMaxSize(uint32_t) override {}
    uint32_t GetMaxSize() override { return 0; }
    void SetSeverity(uint32_t level) override { severity_ = level; }
    uint32_t GetSeverity() override { return severity_; }
    uint32_t AddRef() override { return static_cast<uint32_t>(++addRefCalls); }
    uint32_t Release() override { return 0; }
    uint32_t LogNormal(const wchar_t* file, const wchar_t* function, int32_t line,
                       const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        logFixed(1, file, function, line, format, args);
        va_end(args);
        return 0;
    }
    uint32_t LogError(const wchar_t* file, const wchar_t* function, int32_t line,
                      const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        logFixed(4, file, function, line, format, args);
        va_end(args);
        return 0;
    }
    uint32_t LogWarning(const wchar_t* file, const wchar_t* function, int32_t line,
                        const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        logFixed(2, file, function, line, format, args);
        va_end(args);
        return 0;
    }
    uint32_t LogCritical(const wchar_t* file, const wchar_t* function, int32_t line,
                         const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        logFixed(5, file, function, line, format, args);
        va_end(args);
        return 0;
    }
    uint32_t LogInformation(const wchar_t* file, const wchar_t* function, int32_t line,
                            const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        logFixed(3, file, function, line, format, args);
        va_end(args);
        return 0;
    }

    uint32_t InitializeEx(const wchar_t*, const wchar_t*, Vanta::ModuleHandle, const wchar_t*,
                          ETWLogging::LoggingConfigListenerIf*) override {
        ++initializeExCalls;
        return initializeExResult;
    }
    uint32_t LogTextEx(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                       const wchar_t* text) override {
        std::lock_guard lock(mutex_);
        records_.push_back(
            {level, file ? file : L"", function ? function : L"", line, text ? text : L""});
        return 0;
    }
    uint32_t LogV(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, va_list args) override {
        return LogTextEx(level, file, function, line, Strato::formatWideV(format, args).c_str());
    }
    uint32_t LogEx(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                   const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        const uint32_t result = LogV(level, file, function, line, format, args);
        va_end(args);
        return result;
    }
    bool IsSameSession(uint64_t) override { return false; }
    uint32_t OnTraceControl(uint32_t, void*) override { return 0; }
    void SetTraceClassGuid() override {}
    std::wstring GetModuleName(Vanta::ModuleHandle, bool) override { return {}; }
    void ComposeName() override {}
    uint32_t UnregisterTrace() override { return 0; }
    uint32_t Stop() override { return 0; }
    uint32_t MapLevel(uint32_t level) override { return level; }
    void FillRecordHeader(const wchar_t*, const wchar_t*, int32_t, void*) override {}

private:
    void logFixed(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                  const wchar_t* format, va_list args) {
        LogText(file, function, line, level,
                Strato::formatWideFixedV(Strato::kFixedLogBufferChars, format, args).c_str());
    }

    mutable std::mutex mutex_;
    std::vector<LogRecord> records_;
    std::atomic<uint32_t> severity_{1};
    std::atomic<uint32_t> startResult_{0};
};

// Installs a RecordingLogger for one test and restores a clean front end.
class ScopedRecordingLogger {
public:
    ScopedRecordingLogger() {
        auto logger = std::make_unique<RecordingLogger>();
        logger_ = logger.get();
        ETWLogging::installLoggerForTesting(std::move(logger));
    }
    ~ScopedRecordingLogger() { ETWLogging::resetLogFrontEndForTesting(); }
    ScopedRecordingLogger(const ScopedRecordingLogger&) = delete;
    ScopedRecordingLogger& operator=(const ScopedRecordingLogger&) = delete;

    RecordingLogger& operator*() const { return *logger_; }
    RecordingLogger* operator->() const { return logger_; }

private:
    RecordingLogger* logger_;
};

} // namespace testfakes
