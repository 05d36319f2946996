#include "logging/CDefaultLogBuilder.h"

#include "logging/CETWLogging.h"
#include "logging/CLogging.h"
#include "platform/CObfuscatedRegKey.h"

namespace ETWLogging {
namespace {

constexpr uint32_t kFileMechanism = 1;

bool givenButEmpty(const wchar_t* text) {
    return text != nullptr && *text == L'\0';
}

} // namespace

bool CDefaultLogBuilder::Build(const wchar_t* group, Vanta::ModuleHandle module,
                               const wchar_t* host, uint32_t mechanism, CLoggingIf*& out,
                               CLogConfigurationIf* configuration) {
    return BuildEx(nullptr, group, module, host, mechanism, out, configuration);
}

bool CDefaultLogBuilder::BuildEx(const wchar_t* applicationKey, const wchar_t* group,
                                 Vanta::ModuleHandle module, const wchar_t* host,
                                 uint32_t mechanism, CLoggingIf*& out,
                                 CLogConfigurationIf* configuration) {
    const bool fileSink = useFileSink(mechanism, configuration);
    if (out != nullptr || givenButEmpty(group) || givenButEmpty(host)) {
        return false;
    }
    std::unique_ptr<CLoggingIf> sink;
    uint32_t initialized = 1;
    if (fileSink) {
        sink = createFileSink();
        if (sink) {
            initialized = sink->Initialize(group, module, host);
        }
    } else if (std::unique_ptr<CLoggingIf_ex> traceSink = createTraceSink()) {
        initialized = traceSink->InitializeEx(applicationKey, group, module, host, nullptr);
        if (initialized != 0) {
            initialized = traceSink->Initialize(group, module, host);
        }
        sink = std::move(traceSink);
    }
    if (!sink || initialized != 0) {
        return false;
    }
    out = sink.release();
    out->AddRef();
    return true;
}

bool CDefaultLogBuilder::useFileSink(uint32_t mechanism, CLogConfigurationIf* configuration) {
    if (mechanism == kFileMechanism) {
        return true;
    }
    uint32_t value = 0;
    const bool read = configuration != nullptr
                          ? configuration->readDword(L"Logging Mechanism", value)
                          : readRegistryMechanism(value);
    return read && value == kFileMechanism;
}

std::unique_ptr<CLoggingIf> CDefaultLogBuilder::createFileSink() {
    return std::make_unique<CLogging>();
}

std::unique_ptr<CLoggingIf_ex> CDefaultLogBuilder::createTraceSink() {
    return std::make_unique<CETWLogging>();
}

// The value is stored scrambled, so only the descrambling key reads it.
bool CDefaultLogBuilder::readRegistryMechanism(uint32_t& value) {
    Strato::CObfuscatedRegKey key;
    if (key.Open(Strato::kHKeyLocalMachine, L"SOFTWARE\\Talmor\\Logging", Strato::kKeyRead) !=
        Strato::kErrorSuccess) {
        return false;
    }
    return key.QueryDWORDValue(L"Logging Mechanism", value) == Strato::kErrorSuccess;
}

} // namespace ETWLogging
