#include "logging/LogRecordFormat.h"

#include "logging/CLoggingIf.h"
#include "platform/WideFormatter.h"

#include <string_view>

namespace ETWLogging {
namespace {

// 12-hour clock: hour 0 is 12 AM, 12 is 12 PM, 13-23 are 1-11 PM.
std::wstring timeStamp(const LocalTime& t) {
    const uint16_t hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    return Strato::formatWide(L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", t.month, t.day, t.year,
                              hour12, t.minute, t.second, t.hour < 12 ? L"AM" : L"PM");
}

std::wstring afterLastBackslash(const wchar_t* path) {
    const std::wstring_view view(path);
    const size_t slash = view.rfind(L'\\');
    return std::wstring(slash == std::wstring_view::npos ? view : view.substr(slash + 1));
}

bool isEmpty(const wchar_t* text) {
    return text == nullptr || *text == L'\0';
}

} // namespace

const wchar_t* logLevelName(uint32_t level) noexcept {
    switch (level) {
    case kLevelNormal:
        return L"Normal";
    case kLevelWarning:
        return L"Warning";
    case kLevelInformation:
    case kLevelInformation2:
        return L"Information";
    case kLevelError:
        return L"Error";
    case kLevelCritical:
        return L"Critical";
    default:
        return nullptr;
    }
}

std::optional<std::wstring> formatLogRecord(const LogRecordContext& context, uint32_t level,
                                            const wchar_t* file, const wchar_t* function,
                                            int32_t line, const wchar_t* message) {
    const wchar_t* levelName = logLevelName(level);
    if (isEmpty(message) || levelName == nullptr) {
        return std::nullopt;
    }
    std::wstring record =
        Strato::formatWide(L"%s -- (%s)$", timeStamp(context.time).c_str(), levelName);
    // Each configured piece is preceded by a blank, even when it is empty.
    if (context.options & kOptionProcessName) {
        record += L' ';
        if (!context.processName.empty()) {
            record += Strato::formatWide(L"[%15.15s]$", context.processName.c_str());
        }
    }
    if (context.options & kOptionProcessAndThread) {
        record += L' ';
        record += Strato::formatWide(L"[PID:%5lu TID:%5lu]$", context.processId, context.threadId);
    }
    if (context.options & kOptionSourcePosition) {
        record += L' ';
        if (!isEmpty(file)) {
            record += Strato::formatWide(L"[%20.20s:%5d]$", afterLastBackslash(file).c_str(), line);
        }
    }
    if (context.options & kOptionFunction) {
        record += L' ';
        if (!isEmpty(function)) {
            record += Strato::formatWide(L"[%40.40s()]$", function);
        }
    }
    record += L' ';
    record += message;
    if (record.back() != L'\n') {
        record += L"\r\n";
    }
    return record;
}

} // namespace ETWLogging
