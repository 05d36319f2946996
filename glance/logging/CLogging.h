// The file sink: each record appended, as UTF-16LE text, to a small ring of
// files in the log folder <program data>\Talmor\TMLOGS\[<group>\]<log name>,
// with its settings read once from "log.ini" there and in the log root.
//
// Files are "<log name>[_<host>]NNN.log" with NNN from 000 to MaxEntries - 1;
// "LastLogIdx" in the log configuration holds the current one. A file that
// has reached MaxSize bytes is left for the next, emptied, on the next record.
// Records are serialised: many threads may log at once. Each record opens
// and closes its file.
#pragma once

#include "logging/CLoggingIf.h"
#include "platform/FileAPI.h"
#include "platform/ProcessAPI.h"
#include "platform/ResourceAPI.h"
#include "platform/ShlObjAPI.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ETWLogging {

class CLogging : public CLoggingIf {
public:
    static constexpr uint32_t kAlreadyInitialized = 20001;
    static constexpr uint32_t kNotInitialized = 20002;
    static constexpr uint32_t kDefaultMaxSize = 262144;
    static constexpr uint32_t kLargestMaxSize = 10485760;
    static constexpr uint32_t kDefaultMaxEntries = 3;
    static constexpr uint32_t kFewestEntries = 2;
    static constexpr uint32_t kMostEntries = 100;
    static constexpr uint32_t kDefaultSeverity = 3;
    static constexpr uint32_t kDefaultOptions = 16;

    // The system calls behind the sink; each defaults to the real one.
    struct Parts {
        std::shared_ptr<Strato::ShlObjAPI> folders;
        std::shared_ptr<Vanta::FileAPI> files;
        std::shared_ptr<Vanta::ProcessAPI> process;
        std::shared_ptr<Vanta::ResourceAPI> modules;
    };

    CLogging() : CLogging(Parts{}) {}
    explicit CLogging(Parts parts);
    ~CLogging() override = default;
    CLogging(const CLogging&) = delete;
    CLogging& operator=(const CLogging&) = delete;

    // 0; 20001 when initialised already; 87 for a group or host given but
    // empty, or no log root; 14 when a name cannot be found or held.
    uint32_t Initialize(const wchar_t* group, Vanta::ModuleHandle module,
                        const wchar_t* host) override;
    uint32_t Start() override { return 0; }
    const wchar_t* GetComposedName() override { return nullptr; }
    const wchar_t* GetGroupName() override { return nullptr; }
    uint32_t Uninitialize() override;
    void SetEnabled(bool enabled) override { enable_ = enabled; }
    bool IsEnabled() override { return enable_; }
    uint32_t Log(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* format, ...) override;
    uint32_t LogText(const wchar_t* file, const wchar_t* function, int32_t line, uint32_t level,
                     const wchar_t* text) override;
    bool IsLevelEnabled(uint32_t level) override { return level >= severity_; }
    void SetMaxEntries(uint32_t count) override;
    uint32_t GetMaxEntries() override { return maxEntries_; }
    void SetMaxSize(uint32_t bytes) override;
    uint32_t GetMaxSize() override { return maxSize_; }
    void SetSeverity(uint32_t level) override;
    uint32_t GetSeverity() override { return severity_; }
    uint32_t AddRef() override;
    uint32_t Release() override;
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
    // The log root, "<program data>\Talmor\TMLOGS\", into `buffer` with its
    // terminator; 87 when the program-data folder cannot be found, 122 when
    // the buffer is too small.
    virtual uint32_t GetLogRoot(wchar_t* buffer, uint32_t capacity);

    // Where the records go (empty before Initialize).
    const std::wstring& logFolder() const { return logFolder_; }

private:
    enum class FolderCheck { Pending, Passed, Failed };

    std::optional<std::wstring> logRoot();
    uint32_t initialize(const wchar_t* group, Vanta::ModuleHandle module, const wchar_t* host);
    void readConfiguration();
    uint32_t logFormatted(uint32_t level, const wchar_t* file, const wchar_t* function,
                          int32_t line, const wchar_t* format, va_list args);
    std::wstring ringFile(uint32_t index) const;
    uint32_t openRingFile();
    uint32_t createRingFile(uint32_t index);
    void reset();

    const Parts parts_;
    std::mutex recordLock_; // one record at a time, from any thread

    bool initialized_ = false;
    std::optional<std::wstring> group_;
    std::wstring logName_;
    std::optional<std::wstring> processName_; // only without a module
    uint32_t processId_ = 0;
    std::optional<std::wstring> host_;
    std::wstring logFolder_;
    std::unique_ptr<Vanta::WritableFile> file_; // open during one record only
    std::atomic<int32_t> references_{0};
    std::atomic<uint32_t> maxSize_{kDefaultMaxSize};
    std::atomic<uint32_t> maxEntries_{kDefaultMaxEntries};
    std::atomic<uint32_t> severity_{kDefaultSeverity};
    std::atomic<uint32_t> options_{kDefaultOptions};
    std::wstring globalConfigurationPath_;
    std::wstring logConfigurationPath_;
    std::atomic<bool> enable_{true};
    FolderCheck folderCheck_ = FolderCheck::Pending;
};

} // namespace ETWLogging
