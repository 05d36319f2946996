// The interface of a log sink. The slot order is fixed: sinks and their users
// are built separately and meet only through this table.
#pragma once

#include "logging/LogLevel.h"
#include "platform/ModuleHandle.h"

#include <cstdint>

namespace ETWLogging {

class CLoggingIf {
public:
    virtual ~CLoggingIf() = default;
    virtual uint32_t Initialize(const wchar_t* group, Vanta::ModuleHandle module,
                                const wchar_t* host) = 0;
    virtual uint32_t Start() = 0;
    // Trace: the group, a backslash and the module name; file: null.
    virtual const wchar_t* GetComposedName() = 0;
    virtual const wchar_t* GetGroupName() = 0;
    virtual uint32_t Uninitialize() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() = 0;
    virtual uint32_t Log(uint32_t level, const wchar_t* file, const wchar_t* function, int32_t line,
                         const wchar_t* format, ...) = 0;
    virtual uint32_t LogText(const wchar_t* file, const wchar_t* function, int32_t line,
                             uint32_t level, const wchar_t* text) = 0;
    virtual bool IsLevelEnabled(uint32_t level) = 0;
    virtual void SetMaxEntries(uint32_t count) = 0;
    virtual uint32_t GetMaxEntries() = 0;
    virtual void SetMaxSize(uint32_t bytes) = 0;
    virtual uint32_t GetMaxSize() = 0;
    virtual void SetSeverity(uint32_t level) = 0;
    virtual uint32_t GetSeverity() = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // Level 1, 4, 2, 5 and 3 in turn; the message is formatted into a buffer
    // of kFixedBufferChars characters and passed to LogText.
    virtual uint32_t LogNormal(const wchar_t* file, const wchar_t* function, int32_t line,
                               const wchar_t* format, ...) = 0;
    virtual uint32_t LogError(const wchar_t* file, const wchar_t* function, int32_t line,
                              const wchar_t* format, ...) = 0;
    virtual uint32_t LogWarning(const wchar_t* file, const wchar_t* function, int32_t line,
                                const wchar_t* format, ...) = 0;
    virtual uint32_t LogCritical(const wchar_t* file, const wchar_t* function, int32_t line,
                                 const wchar_t* format, ...) = 0;
    virtual uint32_t LogInformation(const wchar_t* file, const wchar_t* function, int32_t line,
                                    const wchar_t* format, ...) = 0;
};

} // namespace ETWLogging
