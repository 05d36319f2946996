#include "TraceEventDecoder.h"

#include "kestrel/TraceEvent.h"
#include "platform/TextCodec.h"

#include <cstdio>
#include <cstring>

namespace Vanta {
namespace {

// Reads little-endian fields, refusing to pass the end.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    template <typename T> bool number(T& value) {
        if (left_ < sizeof(T)) {
            return false;
        }
        uint64_t read = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            read |= static_cast<uint64_t>(data_[i]) << (8 * i);
        }
        value = static_cast<T>(read);
        skip(sizeof(T));
        return true;
    }

    bool counted(std::wstring& text) {
        uint16_t count = 0;
        if (!number(count) || left_ < size_t{count} * 2) {
            return false;
        }
        text.resize(count);
        for (size_t i = 0; i < count; ++i) {
            text[i] = static_cast<wchar_t>(data_[2 * i] | (data_[2 * i + 1] << 8));
        }
        skip(size_t{count} * 2);
        return true;
    }

    size_t left() const noexcept { return left_; }
    const uint8_t* here() const noexcept { return data_; }

private:
    void skip(size_t bytes) {
        data_ += bytes;
        left_ -= bytes;
    }

    const uint8_t* data_;
    size_t left_;
};

void appendEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
}

void appendField(std::string& out, const char* name, const std::string& value) {
    if (!out.empty()) {
        out += ' ';
    }
    out += name;
    out += '=';
    appendEscaped(out, value);
}

} // namespace

bool decodeTraceEvent(const uint8_t* data, size_t size, TraceEventRecord& out) {
    if (data == nullptr || size < KESTREL_TRACE_EVENT_SIZE) {
        return false;
    }
    KestrelTraceEvent event;
    std::memcpy(&event, data, sizeof(event));
    const uint64_t counted =
        uint64_t{event.descriptors[0].length} + uint64_t{event.descriptors[1].length};
    if (event.header.size != KESTREL_TRACE_EVENT_SIZE || counted != size - sizeof(event)) {
        return false;
    }
    out.level = event.header.classLevel;
    out.traceClass.data1 = event.header.guid.data1;
    out.traceClass.data2 = event.header.guid.data2;
    out.traceClass.data3 = event.header.guid.data3;
    std::memcpy(out.traceClass.data4, event.header.guid.data4, sizeof(out.traceClass.data4));
    out.timeStamp = event.header.timeStamp;

    Reader fields(data + sizeof(event), size - sizeof(event));
    uint64_t messageLength = 0;
    if (!fields.number(out.processId) || !fields.number(out.threadId) ||
        !fields.counted(out.process) || !fields.counted(out.file) ||
        !fields.counted(out.function) || !fields.number(out.line) || !fields.counted(out.module) ||
        !fields.counted(out.version) || !fields.counted(out.group) ||
        !fields.number(messageLength) || messageLength != fields.left()) {
        return false;
    }
    out.message.assign(reinterpret_cast<const char*>(fields.here()), fields.left());
    return true;
}

std::string formatTraceEventLine(const TraceEventRecord& record) {
    std::string line;
    appendField(line, "pid", std::to_string(record.processId));
    appendField(line, "tid", std::to_string(record.threadId));
    appendField(line, "process", toUtf8(record.process));
    appendField(line, "file", toUtf8(record.file));
    appendField(line, "function", toUtf8(record.function));
    appendField(line, "line", std::to_string(record.line));
    appendField(line, "module", toUtf8(record.module));
    appendField(line, "version", toUtf8(record.version));
    appendField(line, "group", toUtf8(record.group));
    appendField(line, "level", std::to_string(record.level));
    appendField(line, "message", toUtf8(fromUtf8(record.message)));
    return line;
}

} // namespace Vanta
