// The builder's choice of sink from the scrambled "Logging Mechanism" under
// HKEY_LOCAL_MACHINE "SOFTWARE\Talmor\Logging".
#include "logging/CDefaultLogBuilder.h"
#include "platform/CObfuscatedRegKey.h"

#include "fakes/RecordingLogger.h"
#include "fakes/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using namespace Strato;

// Records which sink the builder asked for.
class ObservedBuilder : public ETWLogging::CDefaultLogBuilder {
public:
    const char* chosen = "none";

protected:
    std::unique_ptr<ETWLogging::CLoggingIf> createFileSink() override {
        chosen = "file";
        return std::make_unique<testfakes::RecordingLogger>();
    }
    std::unique_ptr<ETWLogging::CLoggingIf_ex> createTraceSink() override {
        chosen = "trace";
        return std::make_unique<testfakes::RecordingLogger>();
    }
};

class LogBuilderRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        testfakes::useScratchRegistry();
        removeLoggingKey();
    }
    void TearDown() override { removeLoggingKey(); }
    static void removeLoggingKey() {
        CRegKey talmor;
        if (talmor.Open(kHKeyLocalMachine, L"SOFTWARE\\Talmor") == kErrorSuccess) {
            talmor.RecurseDeleteKey(L"Logging");
        }
    }
    static const char* choice(uint32_t mechanism = 0) {
        ObservedBuilder builder;
        ETWLogging::CLoggingIf* logger = nullptr;
        EXPECT_TRUE(
            builder.BuildEx(nullptr, L"Glance", nullptr, nullptr, mechanism, logger, nullptr));
        delete logger;
        return builder.chosen;
    }
};

TEST_F(LogBuilderRegistryTest, ScrambledMechanismOneSelectsTheFileSink) {
    struct Case {
        const char* what;
        std::function<void(CRegKey&, CObfuscatedRegKey&)> store;
        const char* expected;
    };
    const Case cases[] = {
        {"scrambled 1",
         [](CRegKey&, CObfuscatedRegKey& s) { s.SetDWORDValue(L"Logging Mechanism", 1); }, "file"},
        {"scrambled 2",
         [](CRegKey&, CObfuscatedRegKey& s) { s.SetDWORDValue(L"Logging Mechanism", 2); }, "trace"},
        {"scrambled 0",
         [](CRegKey&, CObfuscatedRegKey& s) { s.SetDWORDValue(L"Logging Mechanism", 0); }, "trace"},
        {"value missing", [](CRegKey&, CObfuscatedRegKey&) {}, "trace"},
        {"1 stored in the clear",
         [](CRegKey& plain, CObfuscatedRegKey&) { plain.SetDWORDValue(L"Logging Mechanism", 1); },
         "trace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            CRegKey plain;
            ASSERT_EQ(kErrorSuccess, plain.Create(kHKeyLocalMachine, L"SOFTWARE\\Talmor\\Logging"));
            CObfuscatedRegKey scrambled;
            ASSERT_EQ(kErrorSuccess,
                      scrambled.Open(kHKeyLocalMachine, L"SOFTWARE\\Talmor\\Logging"));
            c.store(plain, scrambled);
        }
        EXPECT_STREQ(c.expected, choice());
        removeLoggingKey();
    }
}

TEST_F(LogBuilderRegistryTest, MissingKeySelectsTraceAndMechanismOneNeedsNoRegistry) {
    EXPECT_STREQ("trace", choice());
    EXPECT_STREQ("file", choice(1));
}

} // namespace
