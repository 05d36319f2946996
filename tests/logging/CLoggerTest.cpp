#include "logging/CLogger.h"
#include "logging/CDefaultLoggingHandler.h"
#include "logging/LogTestSeam.h"
#include "platform/SystemMessage.h"
#include "platform/WideFormatter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strato::CLogger;

struct HandlerRecord {
    uint32_t type;
    std::wstring file;
    std::wstring function;
    int32_t line;
    std::wstring message;
};

class RecordingHandler final : public Strato::ILoggingHandler {
public:
    uint32_t Log(uint32_t type, const wchar_t* file, const wchar_t* function, int32_t line,
                 const wchar_t* message) override {
        records.push_back({type, file, function, line, message});
        return 0;
    }
    std::vector<HandlerRecord> records;
};

uint32_t idOf(const Strato::ILoggingHandler* handler) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handler));
}

void expectComplaint(const HandlerRecord& record, const wchar_t* function, int32_t line,
                     const std::wstring& text) {
    EXPECT_EQ(2u, record.type);
    EXPECT_EQ(L"Logging\\internal_logging", record.file);
    EXPECT_EQ(function, record.function);
    EXPECT_EQ(line, record.line);
    EXPECT_EQ(text, record.message);
}

class CLoggerHandlers : public testing::Test {
protected:
    CLoggerHandlers() { ETWLogging::resetLogFrontEndForTesting(); }
    ~CLoggerHandlers() override { ETWLogging::resetLogFrontEndForTesting(); }

    RecordingHandler first;
    RecordingHandler second;
    const std::wstring invalidParameter = Vanta::systemMessageText(87);
    const std::wstring invalidState = Vanta::systemMessageText(5023);
};

TEST_F(CLoggerHandlers, SecondHandlerIsRefusedAndTheFirstHearsWhy) {
    EXPECT_EQ(0u, CLogger::RegisterHandler(&first));
    EXPECT_EQ(0u, CLogger::RegisterHandler(&first)); // the same again
    EXPECT_EQ(5023u, CLogger::RegisterHandler(&second));
    EXPECT_EQ(&first, CLogger::RegisteredHandler());
    ASSERT_EQ(1u, first.records.size());
    expectComplaint(
        first.records[0], L"Strato::CLogger::RegisterHandler", 72,
        Strato::formatWide(L"%s: Registered Logging Handler 0x%08X cannot be replaced with 0x%08X",
                           invalidState.c_str(), idOf(&first), idOf(&second)));
    EXPECT_TRUE(second.records.empty());
}

TEST_F(CLoggerHandlers, DefaultHandlerCanBeReplaced) {
    CLogger::Log(0, L"f", L"g", 1, L"registers the default handler");
    EXPECT_EQ(&Strato::CDefaultLoggingHandler::instance(), CLogger::RegisteredHandler());
    EXPECT_EQ(0u, CLogger::RegisterHandler(&first));
    EXPECT_EQ(&first, CLogger::RegisteredHandler());
}

TEST_F(CLoggerHandlers, NullHandlers) {
    CLogger::RegisterHandler(&first);
    EXPECT_EQ(87u, CLogger::RegisterHandler(nullptr));
    EXPECT_EQ(87u, CLogger::UnregisterHandler(nullptr));
    ASSERT_EQ(2u, first.records.size());
    expectComplaint(first.records[0], L"Strato::CLogger::RegisterHandler", 62,
                    invalidParameter + L": Cannot Register (NULL) handler");
    expectComplaint(first.records[1], L"Strato::CLogger::UnregisterHandler", 97,
                    invalidParameter + L": Cannot Unregister (NULL) handler");
    EXPECT_EQ(&first, CLogger::RegisteredHandler());
}

TEST_F(CLoggerHandlers, UnregisteringWhenNoneIsRegisteredTellsTheOfferedHandler) {
    EXPECT_EQ(5023u, CLogger::UnregisterHandler(&first));
    EXPECT_EQ(nullptr, CLogger::RegisteredHandler());
    ASSERT_EQ(1u, first.records.size());
    expectComplaint(
        first.records[0], L"Strato::CLogger::UnregisterHandler", 107,
        Strato::formatWide(
            L"%s: Request to Unregister Logging handler 0x%08X, but none are registered",
            invalidState.c_str(), idOf(&first)));
}

TEST_F(CLoggerHandlers, UnregisteringAnotherHandlerTellsBothAndKeepsTheRegisteredOne) {
    CLogger::RegisterHandler(&first);
    EXPECT_EQ(5023u, CLogger::UnregisterHandler(&second));
    EXPECT_EQ(&first, CLogger::RegisteredHandler());
    const std::wstring text =
        Strato::formatWide(L"%s: Failed to Unregister Logging handler (requested handler 0x%08X "
                           L"!= registered handler 0x%08X)",
                           invalidState.c_str(), idOf(&second), idOf(&first));
    ASSERT_EQ(1u, first.records.size());
    ASSERT_EQ(1u, second.records.size());
    expectComplaint(first.records[0], L"Strato::CLogger::UnregisterHandler", 115, text);
    expectComplaint(second.records[0], L"Strato::CLogger::UnregisterHandler", 120, text);

    EXPECT_EQ(0u, CLogger::UnregisterHandler(&first));
    EXPECT_EQ(nullptr, CLogger::RegisteredHandler());
}

TEST_F(CLoggerHandlers, LogFormatsAndPassesTheType) {
    CLogger::RegisterHandler(&first);
    EXPECT_EQ(0u, CLogger::Log(7, L"Logging\\x", L"Strato::f", 12, L"%ls %lu", L"n", 3u));
    ASSERT_EQ(1u, first.records.size());
    EXPECT_EQ(7u, first.records[0].type);
    EXPECT_EQ(L"Logging\\x", first.records[0].file);
    EXPECT_EQ(12, first.records[0].line);
    EXPECT_EQ(L"n 3", first.records[0].message);
}

} // namespace
