// A log builder that records what the log front end asked it for and hands
// out a RecordingLogger, or nothing when told to fail.
#pragma once

#include "fakes/RecordingLogger.h"
#include "logging/CLogBuilderIf.h"

#include <optional>
#include <string>
#include <vector>

namespace testfakes {

inline std::optional<std::wstring> copyOf(const wchar_t* text) {
    return text != nullptr ? std::optional<std::wstring>(text) : std::nullopt;
}

class FakeLogBuilder final : public ETWLogging::CLogBuilderIf_ex {
public:
    struct Call {
        std::optional<std::wstring> applicationKey;
        std::optional<std::wstring> group;
        Vanta::ModuleHandle module;
        std::optional<std::wstring> host;
        uint32_t mechanism;
    };

    bool Build(const wchar_t* group, Vanta::ModuleHandle module, const wchar_t* host,
               uint32_t mechanism, ETWLogging::CLoggingIf*& out,
               ETWLogging::CLogConfigurationIf* configuration) override {
        return BuildEx(nullptr, group, module, host, mechanism, out, configuration);
    }
    bool BuildEx(const wchar_t* applicationKey, const wchar_t* group, Vanta::ModuleHandle module,
                 const wchar_t* host, uint32_t mechanism, ETWLogging::CLoggingIf*& out,
                 ETWLogging::CLogConfigurationIf*) override {
        calls.push_back({copyOf(applicationKey), copyOf(group), module, copyOf(host), mechanism});
        if (!succeed) {
            return false;
        }
        built = new RecordingLogger;
        out = built;
        return true;
    }

    bool succeed = true;
    RecordingLogger* built = nullptr;
    std::vector<Call> calls;
};

} // namespace testfakes
