// Windows-only code belongs in this file.
// A real-time trace session behind platform/TraceSession.h.
#include "platform/TraceSession.h"

#include "kestrel/TraceEvent.h"
#include "platform/win32/WindowsGuid.h"
#include "platform/win32/WindowsInclude.h"

#include <evntcons.h>
#include <evntrace.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace Vanta {
namespace {

constexpr uint32_t kMaximumQueued = 100000;

} // namespace

struct TraceSession::State {
    GUID provider{};
    std::wstring name;
    std::vector<uint8_t> properties;
    TRACEHANDLE session = 0;
    TRACEHANDLE consumer = INVALID_PROCESSTRACE_HANDLE;
    bool started = false;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::vector<uint8_t>> events;

    EVENT_TRACE_PROPERTIES* props() {
        return reinterpret_cast<EVENT_TRACE_PROPERTIES*>(properties.data());
    }

    static void WINAPI onEvent(PEVENT_RECORD record) {
        auto* self = static_cast<State*>(record->UserContext);
        if (self == nullptr) {
            return;
        }
        // The same bytes as the Linux transport: the classic header rebuilt
        // from the record's, both descriptors as one block counted in
        // descriptor 1.
        const EVENT_HEADER& from = record->EventHeader;
        KestrelTraceEvent header{};
        header.header.size = KESTREL_TRACE_EVENT_SIZE;
        header.header.classType = from.EventDescriptor.Opcode;
        header.header.classLevel = from.EventDescriptor.Level;
        header.header.classVersion = from.EventDescriptor.Version;
        header.header.threadId = from.ThreadId;
        header.header.processId = from.ProcessId;
        header.header.timeStamp = from.TimeStamp.QuadPart;
        std::memcpy(&header.header.guid, &from.ProviderId, sizeof(header.header.guid));
        header.header.flags = KESTREL_TRACE_EVENT_FLAGS;
        header.descriptors[0].length = record->UserDataLength;
        std::vector<uint8_t> bytes(sizeof(header) + record->UserDataLength);
        std::memcpy(bytes.data(), &header, sizeof(header));
        if (record->UserDataLength != 0 && record->UserData != nullptr) {
            std::memcpy(bytes.data() + sizeof(header), record->UserData, record->UserDataLength);
        }
        std::lock_guard lock(self->mutex);
        if (self->events.size() < kMaximumQueued) {
            self->events.push_back(std::move(bytes));
            self->arrived.notify_one();
        }
    }
};

TraceSession::TraceSession() : state_(std::make_unique<State>()) {}

TraceSession::~TraceSession() {
    stop();
}

uint32_t TraceSession::start(const Strato::Guid& provider, uint8_t level, uint32_t flags) {
    State& s = *state_;
    if (s.started) {
        return ERROR_ALREADY_EXISTS;
    }
    s.provider = win32::toWindowsGuid(provider);
    s.name = L"kestrel-trace " + std::to_wstring(::GetCurrentProcessId());
    const size_t nameBytes = (s.name.size() + 1) * sizeof(wchar_t);
    s.properties.assign(sizeof(EVENT_TRACE_PROPERTIES) + nameBytes, 0);
    EVENT_TRACE_PROPERTIES* p = s.props();
    p->Wnode.BufferSize = static_cast<ULONG>(s.properties.size());
    p->Wnode.Flags = WNODE_FLAG_TRACED_GUID;
    p->Wnode.ClientContext = 1; // query performance counter time stamps
    p->LogFileMode = EVENT_TRACE_REAL_TIME_MODE;
    p->LoggerNameOffset = sizeof(EVENT_TRACE_PROPERTIES);
    ULONG result = ::StartTraceW(&s.session, s.name.c_str(), p);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    s.started = true;
    result = ::EnableTrace(TRUE, flags, level, &s.provider, s.session);
    if (result != ERROR_SUCCESS) {
        stop();
        return result;
    }
    EVENT_TRACE_LOGFILEW logFile{};
    logFile.LoggerName = s.name.data();
    logFile.ProcessTraceMode = PROCESS_TRACE_MODE_REAL_TIME | PROCESS_TRACE_MODE_EVENT_RECORD;
    logFile.EventRecordCallback = &State::onEvent;
    logFile.Context = &s;
    s.consumer = ::OpenTraceW(&logFile);
    if (s.consumer == INVALID_PROCESSTRACE_HANDLE) {
        result = ::GetLastError();
        stop();
        return result != ERROR_SUCCESS ? result : ERROR_INVALID_HANDLE;
    }
    s.reader = std::thread([&s] {
        TRACEHANDLE handle = s.consumer;
        ::ProcessTrace(&handle, 1, nullptr, nullptr);
    });
    return ERROR_SUCCESS;
}

bool TraceSession::next(std::vector<uint8_t>& event, uint32_t timeoutMs) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (!s.arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return !s.events.empty(); })) {
        return false;
    }
    event = std::move(s.events.front());
    s.events.pop_front();
    return true;
}

void TraceSession::stop() {
    State& s = *state_;
    if (!s.started) {
        return;
    }
    ::EnableTrace(FALSE, 0, 0, &s.provider, s.session);
    ::ControlTraceW(s.session, nullptr, s.props(), EVENT_TRACE_CONTROL_STOP);
    if (s.consumer != INVALID_PROCESSTRACE_HANDLE) {
        ::CloseTrace(s.consumer);
        s.consumer = INVALID_PROCESSTRACE_HANDLE;
    }
    if (s.reader.joinable()) {
        s.reader.join();
    }
    s.started = false;
}

} // namespace Vanta
