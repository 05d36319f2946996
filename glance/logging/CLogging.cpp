#include "logging/CLogging.h"

#include "logging/LogRecordFormat.h"
#include "platform/CObfuscatedIniReader.h"
#include "platform/CurrentThread.h"
#include "platform/DebugOutput.h"
#include "platform/ExecutablePath.h"
#include "platform/KnownFolderIds.h"
#include "platform/LocalClock.h"
#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"
#include "platform/WideFormatter.h"

#include <algorithm>
#include <cwchar>

namespace ETWLogging {
namespace {

constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kOutOfMemory = 14;
constexpr uint32_t kInsufficientBuffer = 122;
constexpr uint32_t kAlreadyOpen = 183;
// A log folder that cannot be made raises the threshold above every level.
constexpr uint32_t kSilencedSeverity = 10000;
constexpr uint32_t kLongestModulePath = 32768;
constexpr wchar_t kSection[] = L"Config";
constexpr wchar_t kIndexKey[] = L"LastLogIdx";
constexpr wchar_t kConfigurationName[] = L"log.ini";

bool givenButEmpty(const wchar_t* text) {
    return text != nullptr && *text == L'\0';
}

std::wstring fileNameOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(std::wstring(L"/") + Vanta::kPathSeparator);
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The text before the last dot.
std::wstring baseNameOf(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

template <typename T> std::shared_ptr<T> orDefault(std::shared_ptr<T> given) {
    return given ? std::move(given) : std::make_shared<T>();
}

} // namespace

CLogging::CLogging(Parts parts)
    : parts_{orDefault(std::move(parts.folders)), orDefault(std::move(parts.files)),
             orDefault(std::move(parts.process)), orDefault(std::move(parts.modules))} {}

uint32_t CLogging::Initialize(const wchar_t* group, Vanta::ModuleHandle module,
                              const wchar_t* host) {
    std::lock_guard lock(recordLock_);
    if (initialized_) {
        return kAlreadyInitialized;
    }
    uint32_t result = kOutOfMemory;
    try {
        result = initialize(group, module, host);
    } catch (const std::exception&) {
    }
    if (result != 0) {
        reset();
    }
    return result;
}

uint32_t CLogging::initialize(const wchar_t* group, Vanta::ModuleHandle module,
                              const wchar_t* host) {
    if (givenButEmpty(group) || givenButEmpty(host)) {
        return kInvalidParameter;
    }
    if (group != nullptr) {
        group_ = group;
    }
    const std::wstring executable = fileNameOf(Vanta::executablePath());
    if (executable.empty()) {
        return kOutOfMemory;
    }
    processName_ = executable;
    logName_ = baseNameOf(executable);
    if (module != nullptr) {
        std::wstring path(kLongestModulePath, L'\0');
        const uint32_t length = parts_.modules->getModuleFileName(
            module, path.data(), static_cast<uint32_t>(path.size()));
        if (length == 0 || length >= path.size()) {
            return kOutOfMemory;
        }
        path.resize(length);
        processName_.reset();
        logName_ = baseNameOf(fileNameOf(path));
    }
    if (logName_.empty()) {
        return kOutOfMemory;
    }
    if (host != nullptr) {
        host_ = host;
    }

    const std::optional<std::wstring> root = logRoot();
    if (!root) {
        return kInvalidParameter;
    }
    logFolder_ = group_ ? *root + *group_ + Vanta::kPathSeparator + logName_ : *root + logName_;
    logConfigurationPath_ = logFolder_ + Vanta::kPathSeparator + kConfigurationName;
    globalConfigurationPath_ = *root + kConfigurationName;

    readConfiguration();
    processId_ = parts_.process->GetCurrentProcessId();
    initialized_ = true;
    return 0;
}

std::optional<std::wstring> CLogging::logRoot() {
    std::wstring programData;
    if (parts_.folders->SHGetKnownFolderPath(
            Strato::kFolderIdProgramData, Strato::kKnownFolderCreate, nullptr, programData) != 0) {
        return std::nullopt;
    }
    constexpr wchar_t separator = Vanta::kPathSeparator;
    return programData + separator + L"Talmor" + separator + L"TMLOGS" + separator;
}

uint32_t CLogging::GetLogRoot(wchar_t* buffer, uint32_t capacity) {
    try {
        const std::optional<std::wstring> root = logRoot();
        if (!root) {
            return kInvalidParameter;
        }
        if (buffer == nullptr || capacity <= root->size()) {
            return kInsufficientBuffer;
        }
        std::copy(root->begin(), root->end(), buffer);
        buffer[root->size()] = L'\0';
        return 0;
    } catch (const std::exception&) {
        return kOutOfMemory;
    }
}

// Each key from the log configuration when it holds a valid value, else from
// the global one, else its default; an invalid value found in either file is
// replaced there by the default.
void CLogging::readConfiguration() {
    if (!parts_.files->pathExists(logConfigurationPath_) &&
        !parts_.files->pathExists(globalConfigurationPath_)) {
        return;
    }
    const Strato::CObfuscatedIniReader local(logConfigurationPath_);
    const Strato::CObfuscatedIniReader global(globalConfigurationPath_);
    struct Key {
        const wchar_t* name;
        uint32_t defaultValue;
        bool (*valid)(uint32_t);
        void (*apply)(CLogging&, uint32_t);
    };
    const auto any = [](uint32_t) {
        return true;
    };
    const Key keys[] = {
        {L"Enable", 1, any,
         [](CLogging& sink, uint32_t value) {
             sink.enable_ = value != 0;
         }},
        {L"MaxSize", kDefaultMaxSize,
         [](uint32_t value) { return value >= kDefaultMaxSize && value <= kLargestMaxSize; },
         [](CLogging& sink, uint32_t value) {
             sink.SetMaxSize(value);
         }},
        {L"MaxEntries", kDefaultMaxEntries,
         [](uint32_t value) { return value >= kFewestEntries && value <= kMostEntries; },
         [](CLogging& sink, uint32_t value) {
             sink.SetMaxEntries(value);
         }},
        {L"Severity", kDefaultSeverity, [](uint32_t value) { return value < 7; },
         [](CLogging& sink, uint32_t value) {
             sink.SetSeverity(value);
         }},
        {L"Options", kDefaultOptions, any,
         [](CLogging& sink, uint32_t value) {
             sink.options_ = value;
         }},
    };
    for (const Key& key : keys) {
        uint32_t value = 0;
        if (local.ReadDword(kSection, key.name, value)) {
            if (key.valid(value)) {
                key.apply(*this, value);
                continue;
            }
            if (!local.WriteDword(kSection, key.name, key.defaultValue)) {
                continue; // the current setting stays
            }
        }
        if (global.ReadDword(kSection, key.name, value)) {
            if (key.valid(value)) {
                key.apply(*this, value);
                continue;
            }
            if (!global.WriteDword(kSection, key.name, key.defaultValue)) {
                continue;
            }
        }
        key.apply(*this, key.defaultValue);
    }
}

std::wstring CLogging::ringFile(uint32_t index) const {
    std::wstring name = logFolder_ + Vanta::kPathSeparator + logName_;
    if (host_) {
        name += L"_" + *host_;
    }
    return name + Strato::formatWide(L"%0.3lu%s", index, L".log");
}

uint32_t CLogging::createRingFile(uint32_t index) {
    uint32_t error = 0;
    file_ = parts_.files->createFile(ringFile(index), error);
    if (!file_) {
        return error;
    }
    static constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};
    return file_->write(kByteOrderMark, sizeof kByteOrderMark);
}

uint32_t CLogging::openRingFile() {
    if (logFolder_.empty() || logName_.empty() || (host_ && host_->empty())) {
        return kInvalidParameter;
    }
    if (file_) {
        return kAlreadyOpen;
    }
    const Strato::CObfuscatedIniReader local(logConfigurationPath_);
    uint32_t index = 0;
    if (!local.ReadDword(kSection, kIndexKey, index)) {
        index = 0;
    }
    if (index >= maxEntries_) {
        local.WriteDword(kSection, kIndexKey, 0);
        return createRingFile(0);
    }
    const std::optional<uint64_t> size = parts_.files->fileSize(ringFile(index));
    if (!size) {
        return createRingFile(index);
    }
    if (*size < maxSize_) {
        uint32_t error = 0;
        file_ = parts_.files->openAtEnd(ringFile(index), error);
        return error;
    }
    const uint32_t next = index + 1 < maxEntries_ ? index + 1 : 0;
    local.WriteDword(kSection, kIndexKey, next);
    return createRingFile(next);
}

uint32_t CLogging::LogText(const wchar_t* file, const wchar_t* function, int32_t line,
                           uint32_t level, const wchar_t* text) {
    std::lock_guard lock(recordLock_);
    if (!initialized_) {
        return kInvalidParameter;
    }
    try {
        if (folderCheck_ == FolderCheck::Pending) {
            folderCheck_ =
                parts_.files->createFolders(logFolder_) ? FolderCheck::Passed : FolderCheck::Failed;
            if (folderCheck_ == FolderCheck::Failed) {
                enable_ = false;
                severity_ = kSilencedSeverity;
            }
        }
        if (folderCheck_ == FolderCheck::Failed || text == nullptr || *text == L'\0') {
            return kInvalidParameter;
        }
        // The record first: a refused one leaves no file behind.
        LogRecordContext context;
        context.options = options_;
        context.time = Vanta::localTimeNow();
        context.processId = processId_;
        context.threadId = Vanta::currentThreadId();
        context.processName = processName_.value_or(L"");
        const std::optional<std::wstring> record =
            formatLogRecord(context, level, file, function, line, text);
        if (!record) {
            return kInvalidParameter;
        }
        uint32_t result = openRingFile();
        if (result == 0 || result == kAlreadyOpen) {
            const std::string bytes = Vanta::toUtf16LeBytes(*record);
            result = file_->write(bytes.data(), static_cast<uint32_t>(bytes.size()));
            if ((context.options & kOptionDebugOutput) != 0) {
                Vanta::writeDebugOutput(*record);
            }
        }
        file_.reset();
        return result;
    } catch (const std::exception&) {
        file_.reset();
        return kOutOfMemory;
    }
}

uint32_t CLogging::logFormatted(uint32_t level, const wchar_t* file, const wchar_t* function,
                                int32_t line, const wchar_t* format, va_list args) {
    std::wstring text;
    try {
        text = Strato::formatWideFixedV(Strato::kFixedLogBufferChars, format, args);
    } catch (const std::exception&) {
        return kOutOfMemory;
    }
    return LogText(file, function, line, level, text.c_str());
}

uint32_t CLogging::Log(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                       const wchar_t* format, ...) {
    if (!enable_ || level < severity_) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const uint32_t result = logFormatted(level, file, function, line, format, args);
    va_end(args);
    return result;
}

#define GLANCE_FILE_SINK_LEVEL(name, level)                                                        \
    uint32_t CLogging::name(const wchar_t* file, const wchar_t* function, int32_t line,            \
                            const wchar_t* format, ...) {                                          \
        va_list args;                                                                              \
        va_start(args, format);                                                                    \
        const uint32_t result = logFormatted(level, file, function, line, format, args);           \
        va_end(args);                                                                              \
        return result;                                                                             \
    }
GLANCE_FILE_SINK_LEVEL(LogNormal, 1)
GLANCE_FILE_SINK_LEVEL(LogError, 4)
GLANCE_FILE_SINK_LEVEL(LogWarning, 2)
GLANCE_FILE_SINK_LEVEL(LogCritical, 5)
GLANCE_FILE_SINK_LEVEL(LogInformation, 3)
#undef GLANCE_FILE_SINK_LEVEL

void CLogging::SetMaxEntries(uint32_t count) {
    maxEntries_ = std::clamp(count, kFewestEntries, kMostEntries);
}

void CLogging::SetMaxSize(uint32_t bytes) {
    maxSize_ = std::clamp(bytes, kDefaultMaxSize, kLargestMaxSize);
}

void CLogging::SetSeverity(uint32_t level) {
    severity_ = std::clamp(level, 1u, 6u);
}

uint32_t CLogging::AddRef() {
    return static_cast<uint32_t>(++references_);
}

uint32_t CLogging::Release() {
    const int32_t left = --references_;
    if (left == 0) {
        delete this;
    }
    return static_cast<uint32_t>(left);
}

uint32_t CLogging::Uninitialize() {
    std::lock_guard lock(recordLock_);
    if (!initialized_) {
        return kNotInitialized;
    }
    reset();
    return 0;
}

void CLogging::reset() {
    initialized_ = false;
    group_.reset();
    logName_.clear();
    processName_.reset();
    processId_ = 0;
    host_.reset();
    logFolder_.clear();
    file_.reset();
    maxSize_ = kDefaultMaxSize;
    maxEntries_ = kDefaultMaxEntries;
    severity_ = kDefaultSeverity;
    options_ = kDefaultOptions;
    globalConfigurationPath_.clear();
    logConfigurationPath_.clear();
    enable_ = true;
    folderCheck_ = FolderCheck::Pending;
}

} // namespace ETWLogging
