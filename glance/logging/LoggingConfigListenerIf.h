// What the trace sink tells about its settings: the listener applies the
// session's request and the registry's overrides to the sink it is attached
// to. The slot order is fixed.
#pragma once

#include "platform/RegistryTypes.h"

#include <cstdint>
#include <string>

namespace ETWLogging {

class CLoggingIf_ex;

class LoggingConfigListenerIf {
public:
    // Sets the sink's Enabled and Severity, then lets the registry override them.
    virtual void Apply(bool enabled, uint32_t level, uint32_t flags) = 0;
    virtual ~LoggingConfigListenerIf() = default;
    // Binds the listener to its sink (not owned); true only the first time,
    // and only with a sink.
    virtual bool Attach(CLoggingIf_ex* sink) = 0;
    virtual void GetProviderKey(Strato::RegKeyHandle& hive, std::wstring& path) = 0;
    // A readable 32-bit "Enable" and "Severity" under the key override the
    // sink's settings; a missing key or value changes nothing.
    virtual void ApplyKey(Strato::RegKeyHandle hive, const std::wstring& path) = 0;
};

} // namespace ETWLogging
