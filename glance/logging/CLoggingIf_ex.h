// The extended sink interface of the system-trace sink. Slots follow those
// of CLoggingIf in this order.
#pragma once

#include "logging/CLoggingIf.h"

#include <cstdarg>
#include <cstdint>
#include <string>

namespace ETWLogging {

class LoggingConfigListenerIf;

class CLoggingIf_ex : public CLoggingIf {
public:
    virtual uint32_t InitializeEx(const wchar_t* applicationKey, const wchar_t* group,
                                  Vanta::ModuleHandle module, const wchar_t* host,
                                  LoggingConfigListenerIf* listener) = 0;
    virtual uint32_t LogTextEx(uint32_t level, const wchar_t* file, const wchar_t* function,
                               int32_t line, const wchar_t* text) = 0;
    virtual uint32_t LogV(uint32_t level, const wchar_t* file, const wchar_t* function,
                          int32_t line, const wchar_t* format, va_list args) = 0;
    virtual uint32_t LogEx(uint32_t level, const wchar_t* file, const wchar_t* function,
                           int32_t line, const wchar_t* format, ...) = 0;
    virtual bool IsSameSession(uint64_t sessionHandle) = 0;
    virtual uint32_t OnTraceControl(uint32_t request, void* buffer) = 0;
    virtual void SetTraceClassGuid() = 0;
    virtual std::wstring GetModuleName(Vanta::ModuleHandle module, bool stripExtension) = 0;
    virtual void ComposeName() = 0;
    virtual uint32_t UnregisterTrace() = 0;
    virtual uint32_t Stop() = 0;
    virtual uint32_t MapLevel(uint32_t level) = 0;
    virtual void FillRecordHeader(const wchar_t* file, const wchar_t* function, int32_t line,
                                  void* record) = 0;
};

} // namespace ETWLogging
