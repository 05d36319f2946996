// Reads one trace event of the module's trace sink (kestrel/TraceEvent.h)
// back into its fields, and writes it as one readable line.
#pragma once

#include "platform/Guid.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vanta {

struct TraceEventRecord {
    uint8_t level = 0; // the trace level of the header
    Strato::Guid traceClass;
    int64_t timeStamp = 0; // 100 ns units since 1601, 0 when not stamped
    uint32_t processId = 0;
    uint32_t threadId = 0;
    std::wstring process;
    std::wstring file;
    std::wstring function;
    int32_t line = 0;
    std::wstring module;
    std::wstring version;
    std::wstring group;
    std::string message; // UTF-8 as sent
};

// False, with `out` unspecified, for anything but one whole event: an 80-byte
// header of size 80 whose descriptors count every byte after it, a complete
// fields block, and a message of exactly the length the block gives.
bool decodeTraceEvent(const uint8_t* data, size_t size, TraceEventRecord& out);

// "pid=.. tid=.. process=.. file=.. function=.. line=.. module=.. version=..
// group=.. level=.. message=..." in UTF-8 on one line: line breaks and other
// control characters in the texts are written as \n, \r, \t or \xHH.
std::string formatTraceEventLine(const TraceEventRecord& record);

} // namespace Vanta
