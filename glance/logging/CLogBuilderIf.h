// Builders of the process's logger. The configuration is an optional source
// of "Logging Mechanism" that replaces the registry (the module passes none).
#pragma once

#include "logging/CLoggingIf.h"

#include <cstdint>

namespace ETWLogging {

// A registry-like source of 32-bit values.
class CLogConfigurationIf {
public:
    virtual ~CLogConfigurationIf() = default;
    // True and `value` set when `name` holds a readable 32-bit value.
    virtual bool readDword(const wchar_t* name, uint32_t& value) = 0;
};

class CLogBuilderIf {
public:
    virtual ~CLogBuilderIf() = default;
    virtual bool Build(const wchar_t* group, Vanta::ModuleHandle module, const wchar_t* host,
                       uint32_t mechanism, CLoggingIf*& out,
                       CLogConfigurationIf* configuration) = 0;
};

class CLogBuilderIf_ex : public CLogBuilderIf {
public:
    virtual bool BuildEx(const wchar_t* applicationKey, const wchar_t* group,
                         Vanta::ModuleHandle module, const wchar_t* host, uint32_t mechanism,
                         CLoggingIf*& out, CLogConfigurationIf* configuration) = 0;
};

} // namespace ETWLogging
