#include "logging/LogRecordFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ETWLogging::formatLogRecord;
using ETWLogging::LogRecordContext;

LogRecordContext contextAt(uint16_t hour, uint16_t minute, uint32_t options) {
    LogRecordContext context;
    context.options = options;
    context.time = {2026, 12, 6, hour, minute, 22};
    context.processId = 4120;
    context.threadId = 7764;
    return context;
}

TEST(LogRecordFormat, TwelveHourClock) {
    struct Case {
        uint16_t hour;
        uint16_t minute;
        const wchar_t* stamp;
    };
    const Case cases[] = {
        {0, 30, L"12/06/2026 12:30:22 AM$"},  {1, 0, L"12/06/2026 01:00:22 AM$"},
        {11, 59, L"12/06/2026 11:59:22 AM$"}, {12, 5, L"12/06/2026 12:05:22 PM$"},
        {18, 10, L"12/06/2026 06:10:22 PM$"}, {23, 59, L"12/06/2026 11:59:22 PM$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hour);
        EXPECT_EQ(std::wstring(c.stamp) + L" -- (Normal)$ m\r\n",
                  formatLogRecord(contextAt(c.hour, c.minute, 0), 1, L"f", L"g", 1, L"m"));
    }
}

TEST(LogRecordFormat, LevelNamesAndRefusals) {
    const LogRecordContext context = contextAt(9, 0, 0);
    const wchar_t* names[] = {L"Normal", L"Warning",  L"Information",
                              L"Error",  L"Critical", L"Information"};
    for (uint32_t level = 1; level <= 6; ++level) {
        EXPECT_EQ(L"12/06/2026 09:00:22 AM$ -- (" + std::wstring(names[level - 1]) + L")$ m\r\n",
                  formatLogRecord(context, level, L"f", L"g", 1, L"m"));
    }
    EXPECT_EQ(std::nullopt, formatLogRecord(context, 0, L"f", L"g", 1, L"m"));
    EXPECT_EQ(std::nullopt, formatLogRecord(context, 7, L"f", L"g", 1, L"m"));
    EXPECT_EQ(std::nullopt, formatLogRecord(context, 1, L"f", L"g", 1, L""));
    EXPECT_EQ(std::nullopt, formatLogRecord(context, 1, L"f", L"g", 1, nullptr));
}

TEST(LogRecordFormat, OptionPiecesInOrderWithCutsAndAlignment) {
    const std::wstring stamp = L"12/06/2026 06:10:22 PM$ -- (Error)$";
    struct Case {
        const char* name;
        uint32_t options;
        const wchar_t* processName;
        const wchar_t* file;
        const wchar_t* function;
        std::wstring expected;
    };
    const Case cases[] = {
        {"default options without a process name keep the blank", 16, L"", L"f", L"g",
         stamp + L"  message\r\n"},
        {"process and thread, source position", 4 | 8, L"", L"GlanceImpl", L"g",
         stamp + L" [PID: 4120 TID: 7764]$ [          GlanceImpl:   57]$ message\r\n"},
        {"file after its last backslash, cut to 20", 8, L"",
         L"src\\tiles\\AVeryLongSourceFileName.cpp", L"g",
         stamp + L" [AVeryLongSourceFileN:   57]$ message\r\n"},
        {"process name cut to 15, right-aligned", 16, L"kestrel-host-with-long-name.exe", L"f",
         L"g", stamp + L" [kestrel-host-wi]$ message\r\n"},
        {"short process name", 16, L"host.exe", L"f", L"g",
         stamp + L" [       host.exe]$ message\r\n"},
        {"function cut to 40", 32, L"", L"f", L"Vanta::GlanceImpl::createTilesAndSomethingLonger",
         stamp + L" [Vanta::GlanceImpl::createTilesAndSomethi()]$ message\r\n"},
        {"order 16, 4, 8, 32 whatever the bits", 63, L"p", L"F", L"G",
         stamp + L" [              p]$ [PID: 4120 TID: 7764]$ [                   F:   57]$ "
                 L"[                                       G()]$ message\r\n"},
        {"empty pieces keep their blanks", 16 | 8 | 32, L"", L"", L"", stamp + L"    message\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogRecordContext context = contextAt(18, 10, c.options);
        context.processName = c.processName;
        EXPECT_EQ(c.expected, formatLogRecord(context, 4, c.file, c.function, 57, L"message"));
    }
}

TEST(LogRecordFormat, LineFeedAtTheEndIsKept) {
    const LogRecordContext context = contextAt(18, 10, 0);
    EXPECT_EQ(L"12/06/2026 06:10:22 PM$ -- (Normal)$ done\n",
              formatLogRecord(context, 1, L"f", L"g", 1, L"done\n"));
    EXPECT_EQ(L"12/06/2026 06:10:22 PM$ -- (Normal)$ done\r\r\n",
              formatLogRecord(context, 1, L"f", L"g", 1, L"done\r"));
}

} // namespace
