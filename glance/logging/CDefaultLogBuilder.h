// Builds the process's logger: the file sink when asked for (mechanism 1, or
// "Logging Mechanism" 1), else the system-trace sink. Stateless.
#pragma once

#include "logging/CLogBuilderIf.h"
#include "logging/CLoggingIf_ex.h"

#include <memory>

namespace ETWLogging {

class CDefaultLogBuilder : public CLogBuilderIf_ex {
public:
    bool Build(const wchar_t* group, Vanta::ModuleHandle module, const wchar_t* host,
               uint32_t mechanism, CLoggingIf*& out, CLogConfigurationIf* configuration) override;
    // Answers true and hands the initialised sink to `out` (after AddRef);
    // false when `out` already holds a logger, when group or host is given
    // but empty, or when the sink cannot be created or initialised.
    bool BuildEx(const wchar_t* applicationKey, const wchar_t* group, Vanta::ModuleHandle module,
                 const wchar_t* host, uint32_t mechanism, CLoggingIf*& out,
                 CLogConfigurationIf* configuration) override;

protected:
    // The sinks; null when the sink is not available in this build.
    virtual std::unique_ptr<CLoggingIf> createFileSink();
    virtual std::unique_ptr<CLoggingIf_ex> createTraceSink();
    // "Logging Mechanism" from HKLM "SOFTWARE\Talmor\Logging"; false when the
    // key or the value cannot be read.
    virtual bool readRegistryMechanism(uint32_t& value);

private:
    bool useFileSink(uint32_t mechanism, CLogConfigurationIf* configuration);
};

} // namespace ETWLogging
