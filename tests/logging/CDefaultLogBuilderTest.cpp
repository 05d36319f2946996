#include "logging/CDefaultLogBuilder.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ScratchRegistry.h"
#include "logging/CETWLogging.h"
#include "logging/CLogging.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using testfakes::RecordingLogger;

// The default builder with sinks and registry replaced, so that the choice
// of sink and the build steps can be observed.
class ObservedBuilder final : public ETWLogging::CDefaultLogBuilder {
public:
    std::optional<uint32_t> registryValue; // nothing: key or value missing
    uint32_t initializeResult = 0;
    uint32_t initializeExResult = 0;
    int fileSinksCreated = 0;
    int traceSinksCreated = 0;
    int registryReads = 0;

protected:
    std::unique_ptr<ETWLogging::CLoggingIf> createFileSink() override {
        ++fileSinksCreated;
        return makeSink();
    }
    std::unique_ptr<ETWLogging::CLoggingIf_ex> createTraceSink() override {
        ++traceSinksCreated;
        return makeSink();
    }
    bool readRegistryMechanism(uint32_t& value) override {
        ++registryReads;
        if (registryValue) {
            value = *registryValue;
        }
        return registryValue.has_value();
    }

private:
    std::unique_ptr<RecordingLogger> makeSink() {
        auto sink = std::make_unique<RecordingLogger>();
        sink->initializeResult = initializeResult;
        sink->initializeExResult = initializeExResult;
        return sink;
    }
};

class Configuration final : public ETWLogging::CLogConfigurationIf {
public:
    explicit Configuration(std::optional<uint32_t> value) : value_(value) {}
    bool readDword(const wchar_t* name, uint32_t& value) override {
        if (!value_ || std::wstring(name) != L"Logging Mechanism") {
            return false;
        }
        value = *value_;
        return true;
    }

private:
    std::optional<uint32_t> value_;
};

TEST(CDefaultLogBuilder, ChoosesTheSink) {
    struct Case {
        const char* name;
        uint32_t mechanism;
        std::optional<uint32_t> registryValue;
        std::optional<std::optional<uint32_t>> configurationValue;
        bool fileSink;
        int registryReads;
    };
    const Case cases[] = {
        {"mechanism 1 without reading the registry", 1, 0, std::nullopt, true, 0},
        {"registry 1", 0, 1, std::nullopt, true, 1},
        {"registry 0", 0, 0, std::nullopt, false, 1},
        {"registry 2", 2, 2, std::nullopt, false, 1},
        {"registry value or key missing", 0, std::nullopt, std::nullopt, false, 1},
        {"configuration 1 instead of the registry", 0, 0, std::optional<uint32_t>(1), true, 0},
        {"configuration missing the value", 0, 1, std::optional<uint32_t>(), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObservedBuilder builder;
        builder.registryValue = c.registryValue;
        std::optional<Configuration> configuration;
        if (c.configurationValue) {
            configuration.emplace(*c.configurationValue);
        }
        ETWLogging::CLoggingIf* out = nullptr;
        ASSERT_TRUE(builder.BuildEx(nullptr, L"Glance", nullptr, nullptr, c.mechanism, out,
                                    configuration ? &*configuration : nullptr));
        std::unique_ptr<ETWLogging::CLoggingIf> built(out);
        EXPECT_EQ(c.fileSink ? 1 : 0, builder.fileSinksCreated);
        EXPECT_EQ(c.fileSink ? 0 : 1, builder.traceSinksCreated);
        EXPECT_EQ(c.registryReads, builder.registryReads);
        auto* sink = static_cast<RecordingLogger*>(out);
        EXPECT_EQ(1, sink->addRefCalls);
        EXPECT_EQ(c.fileSink ? 1 : 0, sink->initializeCalls);
        EXPECT_EQ(c.fileSink ? 0 : 1, sink->initializeExCalls);
    }
}

TEST(CDefaultLogBuilder, RefusesWhatCannotBeBuilt) {
    RecordingLogger existing;
    struct Case {
        const char* name;
        const wchar_t* group;
        const wchar_t* host;
        ETWLogging::CLoggingIf* out;
    };
    const Case cases[] = {
        {"empty group", L"", nullptr, nullptr},
        {"empty host", L"Glance", L"", nullptr},
        {"out already holds a logger", L"Glance", nullptr, &existing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObservedBuilder builder;
        ETWLogging::CLoggingIf* out = c.out;
        EXPECT_FALSE(builder.Build(c.group, nullptr, c.host, 1, out, nullptr));
        EXPECT_EQ(c.out, out);
        EXPECT_EQ(0, builder.fileSinksCreated + builder.traceSinksCreated);
    }
    // A null group or host is absent, not empty.
    ObservedBuilder builder;
    ETWLogging::CLoggingIf* out = nullptr;
    EXPECT_TRUE(builder.Build(nullptr, nullptr, nullptr, 1, out, nullptr));
    delete out;
}

TEST(CDefaultLogBuilder, TraceSinkFallsBackToPlainInitialize) {
    ObservedBuilder builder;
    builder.initializeExResult = 5;
    ETWLogging::CLoggingIf* out = nullptr;
    ASSERT_TRUE(builder.BuildEx(L"app", L"Glance", nullptr, nullptr, 0, out, nullptr));
    std::unique_ptr<ETWLogging::CLoggingIf> built(out);
    auto* sink = static_cast<RecordingLogger*>(out);
    EXPECT_EQ(1, sink->initializeExCalls);
    EXPECT_EQ(1, sink->initializeCalls);

    ObservedBuilder failing;
    failing.initializeExResult = 5;
    failing.initializeResult = 6;
    ETWLogging::CLoggingIf* none = nullptr;
    EXPECT_FALSE(failing.BuildEx(nullptr, L"Glance", nullptr, nullptr, 0, none, nullptr));
    EXPECT_EQ(nullptr, none);
    // The file sink has no second way to initialise.
    EXPECT_FALSE(failing.BuildEx(nullptr, L"Glance", nullptr, nullptr, 1, none, nullptr));
    EXPECT_EQ(nullptr, none);
}

TEST(CDefaultLogBuilder, TheFileSinkIsTheTextFileLogger) {
    struct Exposed : ETWLogging::CDefaultLogBuilder {
        using CDefaultLogBuilder::createFileSink;
    };
    const std::unique_ptr<ETWLogging::CLoggingIf> sink = Exposed().createFileSink();
    EXPECT_NE(nullptr, dynamic_cast<ETWLogging::CLogging*>(sink.get()));
}

TEST(CDefaultLogBuilder, TraceSinkUnlessTheFileSinkIsChosen) {
    testfakes::useScratchRegistry();
    ETWLogging::CDefaultLogBuilder builder;
    ETWLogging::CLoggingIf* out = nullptr;
    ASSERT_TRUE(builder.BuildEx(nullptr, L"Glance", nullptr, nullptr, 0, out, nullptr));
    std::unique_ptr<ETWLogging::CLoggingIf> built(out);
    EXPECT_NE(nullptr, dynamic_cast<ETWLogging::CETWLogging*>(built.get()));
}

} // namespace
