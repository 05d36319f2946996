#include "logging/LogFrontEnd.h"
#include "fakes/FakeLogBuilder.h"
#include "fakes/RecordingLogger.h"
#include "logging/CDefaultLogBuilder.h"
#include "logging/CLogger.h"
#include "logging/CStratoLogHandler.h"
#include "logging/LogTestSeam.h"
#include "platform/CurrentModule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using testfakes::FakeLogBuilder;
using testfakes::RecordingLogger;

class LogFrontEnd : public testing::Test {
protected:
    LogFrontEnd() {
        ETWLogging::resetLogFrontEndForTesting();
        ETWLogging::installLogBuilderForTesting(&builder);
    }
    ~LogFrontEnd() override { ETWLogging::resetLogFrontEndForTesting(); }

    FakeLogBuilder builder;
};

TEST_F(LogFrontEnd, BuildsOnceFromDefaultParameters) {
    EXPECT_TRUE(IsLogEnabled(1));
    EXPECT_EQ(0u, WriteLog(1, L"Glance", L"Vanta::f", 7, L"%ls=%lu", L"x", 5u));
    SetLogParameters(L"app", L"late", nullptr, L"host", 1); // after the build: no effect
    WriteLog(4, L"Glance", L"Vanta::f", 8, L"second");

    ASSERT_EQ(1u, builder.calls.size());
    const FakeLogBuilder::Call& call = builder.calls[0];
    EXPECT_EQ(std::nullopt, call.applicationKey);
    EXPECT_EQ(L"_no_group", call.group);
    EXPECT_EQ(L"_no_host", call.host);
    EXPECT_EQ(Vanta::currentModuleHandle(), call.module);
    EXPECT_EQ(0u, call.mechanism);
    ASSERT_NE(nullptr, builder.built);
    EXPECT_EQ(builder.built, GetLogInstance().logger());
    const auto records = builder.built->records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(1u, records[0].level);
    EXPECT_EQ(L"Glance", records[0].file);
    EXPECT_EQ(L"Vanta::f", records[0].function);
    EXPECT_EQ(7, records[0].line);
    EXPECT_EQ(L"x=5", records[0].text);
    EXPECT_EQ(L"second", records[1].text);
}

TEST_F(LogFrontEnd, StoredParametersReachTheBuilder) {
    int marker = 0;
    SetLogParameters(nullptr, L"Glance", &marker, nullptr, 1);
    GetLogInstance();
    ASSERT_EQ(1u, builder.calls.size());
    EXPECT_EQ(L"Glance", builder.calls[0].group);
    EXPECT_EQ(std::nullopt, builder.calls[0].host);
    EXPECT_EQ(&marker, builder.calls[0].module);
    EXPECT_EQ(1u, builder.calls[0].mechanism);
}

TEST_F(LogFrontEnd, WithoutLoggerEverythingIsOffAndBridgeIsNotRegistered) {
    builder.succeed = false;
    EXPECT_FALSE(IsLogEnabled(4));
    EXPECT_EQ(ETWLogging::kNoLogger, WriteLog(4, L"f", L"g", 1, L"lost"));
    // BuildEx refused, then Build was tried once; never again afterwards.
    EXPECT_EQ(2u, builder.calls.size());
    EXPECT_EQ(nullptr, GetLogInstance().logger());
    EXPECT_EQ(nullptr, Strato::CLogger::RegisteredHandler());
}

TEST_F(LogFrontEnd, FilteredLevelIsNotLoggedAndStartFailureIsReturned) {
    GetLogInstance();
    builder.built->setSeverity(4);
    EXPECT_FALSE(IsLogEnabled(3));
    EXPECT_TRUE(IsLogEnabled(4));
    EXPECT_EQ(0u, WriteLog(3, L"f", L"g", 1, L"filtered"));
    EXPECT_TRUE(builder.built->records().empty());
    builder.built->failStartWith(1168);
    EXPECT_EQ(1168u, WriteLog(4, L"f", L"g", 1, L"dropped"));
    EXPECT_TRUE(builder.built->records().empty());
}

TEST_F(LogFrontEnd, UtilityLoggerReachesTheModuleLoggerThroughTheBridge) {
    GetLogInstance();
    EXPECT_EQ(&ETWLogging::CStratoLogHandler::instance(), Strato::CLogger::RegisteredHandler());
    EXPECT_EQ(&ETWLogging::CStratoLogHandler::instance(), GetLogInstance().bridgeHandler());
    Strato::CLogger::Log(0, L"u", L"Strato::x", 1, L"zero");
    Strato::CLogger::Log(1, L"u", L"Strato::x", 2, L"info %d", 1);
    Strato::CLogger::Log(2, L"u", L"Strato::x", 3, L"error");
    Strato::CLogger::Log(9, L"u", L"Strato::x", 4, L"other");
    const auto records = builder.built->records();
    ASSERT_EQ(4u, records.size());
    const uint32_t levels[] = {1, 1, 4, 2};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(levels[i], records[i].level) << i;
        EXPECT_EQ(L"Strato::x", records[i].function);
    }
    EXPECT_EQ(L"info 1", records[1].text);
}

// A file-sink-like logger without the extended interface: WriteLog formats
// the message itself and hands it to LogText.
class TextOnlyLogger final : public ETWLogging::CLoggingIf {
public:
    std::vector<std::wstring> texts;

    uint32_t Initialize(const wchar_t*, Vanta::ModuleHandle, const wchar_t*) override { return 0; }
    uint32_t Start() override { return 0; }
    const wchar_t* GetComposedName() override { return nullptr; }
    const wchar_t* GetGroupName() override { return nullptr; }
    uint32_t Uninitialize() override { return 0; }
    void SetEnabled(bool) override {}
    bool IsEnabled() override { return true; }
    uint32_t Log(uint32_t, const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
    uint32_t LogText(const wchar_t*, const wchar_t*, int32_t, uint32_t,
                     const wchar_t* text) override {
        texts.emplace_back(text);
        return 42;
    }
    bool IsLevelEnabled(uint32_t) override { return true; }
    void SetMaxEntries(uint32_t) override {}
    uint32_t GetMaxEntries() override { return 0; }
    void SetMaxSize(uint32_t) override {}
    uint32_t GetMaxSize() override { return 0; }
    void SetSeverity(uint32_t) override {}
    uint32_t GetSeverity() override { return 1; }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 0; }
    uint32_t LogNormal(const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
    uint32_t LogError(const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
    uint32_t LogWarning(const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
    uint32_t LogCritical(const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
    uint32_t LogInformation(const wchar_t*, const wchar_t*, int32_t, const wchar_t*, ...) override {
        return 0;
    }
};

TEST(LogFrontEndTextPath, LongMessagesAreCutToHalfAndTheSinkAnswerReturned) {
    auto logger = std::make_unique<TextOnlyLogger>();
    TextOnlyLogger* sink = logger.get();
    ETWLogging::installLoggerForTesting(std::move(logger));
    const std::wstring whole(4160, L'a');
    const std::wstring tooLong(5000, L'b');
    EXPECT_EQ(42u, WriteLog(1, L"f", L"g", 1, L"%ls", whole.c_str()));
    EXPECT_EQ(42u, WriteLog(1, L"f", L"g", 1, L"%ls", tooLong.c_str()));
    const std::vector<std::wstring> texts = sink->texts;
    ETWLogging::resetLogFrontEndForTesting();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(whole, texts[0]);
    EXPECT_EQ(std::wstring(2080, L'b'), texts[1]);
}

} // namespace
