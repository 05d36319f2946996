// The text record of the file sink: one message as one line of UTF-16 text,
// with time stamp, level name and the configured option pieces.
#pragma once

#include "platform/LocalClock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ETWLogging {

// Option bits of a record (the default is kOptionProcessName).
enum : uint32_t {
    kOptionDebugOutput = 1, // the sink also sends the record to the debugger output
    kOptionProcessAndThread = 4,
    kOptionSourcePosition = 8,
    kOptionProcessName = 16,
    kOptionFunction = 32,
};

using LocalTime = Vanta::LocalTime;

// The facts of the writing process and thread that a record may carry.
struct LogRecordContext {
    uint32_t options = kOptionProcessName;
    LocalTime time{};
    uint32_t processId = 0;
    uint32_t threadId = 0;
    std::wstring processName; // empty when unknown
};

// The level's name: "Normal", "Warning", "Information", "Error", "Critical",
// "Information"; null outside 1-6.
const wchar_t* logLevelName(uint32_t level) noexcept;

// The record, or nothing (the sink answers 87) when the message is null or
// empty or the level is outside 1-6.
std::optional<std::wstring> formatLogRecord(const LogRecordContext& context, uint32_t level,
                                            const wchar_t* file, const wchar_t* function,
                                            int32_t line, const wchar_t* message);

} // namespace ETWLogging
