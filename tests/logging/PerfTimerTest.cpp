#include "logging/PerfTimer.h"

#include "fakes/RecordingLogger.h"

#include <gtest/gtest.h>

#include <cwchar>

using Vanta::internal::PerfTimer;

namespace {

// name|start|end|difference, checked for consistency.
void expectOneRecord(const testfakes::RecordingLogger& logger, const wchar_t* name) {
    const auto records = logger.records();
    ASSERT_EQ(1u, records.size());
    const testfakes::LogRecord& record = records[0];
    EXPECT_EQ(1u, record.level);
    EXPECT_EQ(L"performance\\PerfTimer", record.file);
    EXPECT_EQ(L"Vanta::internal::PerfTimer::stop", record.function);
    EXPECT_EQ(54, record.line);
    const std::wstring prefix = std::wstring(L"M12NPerfTimer|") + name + L"|";
    ASSERT_EQ(prefix, record.text.substr(0, prefix.size()));
    long long start = -1;
    long long end = -1;
    long long difference = -1;
    ASSERT_EQ(3, std::swscanf(record.text.c_str() + prefix.size(), L"%lld|%lld|%lld", &start, &end,
                              &difference));
    EXPECT_LE(start, end);
    EXPECT_EQ(end - start, difference);
}

} // namespace

TEST(PerfTimer, LogsOnceWhetherStoppedOrDestroyed) {
    {
        testfakes::ScopedRecordingLogger log;
        { PerfTimer timer(L"scope"); }
        expectOneRecord(*log, L"scope");
    }
    {
        testfakes::ScopedRecordingLogger log;
        {
            PerfTimer timer(L"stopped");
            timer.stop();
            timer.stop();
        }
        expectOneRecord(*log, L"stopped");
    }
}

TEST(PerfTimer, LogsNothingWhenLevelOneIsOff) {
    testfakes::ScopedRecordingLogger log;
    log->setSeverity(2);
    {
        PerfTimer timer(L"quiet");
        timer.stop();
        log->setSeverity(1); // stopped already: destruction adds nothing
    }
    EXPECT_TRUE(log->records().empty());
}
