// The trace sink's listener: applies what a trace session asks for, then the
// registry's "Enable" and "Severity" under the provider key, the group's key
// below it and the composed name's key below that, so the most specific key
// wins.
#pragma once

#include "logging/ETWAppProperties.h"
#include "logging/LoggingConfigListenerIf.h"

namespace ETWLogging {

class CETWConfigurationListener final : public LoggingConfigListenerIf {
public:
    explicit CETWConfigurationListener(const internal::ETWAppProperties& properties);

    // Without an attached sink nothing happens. The flags are not used.
    void Apply(bool enabled, uint32_t level, uint32_t flags) override;
    bool Attach(CLoggingIf_ex* sink) override;
    void GetProviderKey(Strato::RegKeyHandle& hive, std::wstring& path) override;
    void ApplyKey(Strato::RegKeyHandle hive, const std::wstring& path) override;

private:
    internal::ETWAppProperties properties_;
    CLoggingIf_ex* sink_ = nullptr; // not owned: the sink owns this listener
};

} // namespace ETWLogging
