// The classic event-tracing calls of a trace provider, one virtual operation
// per call, so that the trace sink can be driven by a fake session. Windows:
// the system calls. Linux: a local datagram transport that keeps the event
// layout of kestrel/TraceEvent.h; providers and sessions meet by provider GUID
// in a rendezvous folder ($KESTREL_TRACE_DIR, else $XDG_RUNTIME_DIR/kestrel-trace,
// else /tmp/kestrel-trace-<uid>), and kestrel-trace is the session.
#pragma once

#include "kestrel/TraceEvent.h"
#include "platform/Guid.h"

#include <cstdint>
#include <memory>

namespace Vanta {

using TraceHandle = uint64_t;
// What GetTraceLoggerHandle answers when the buffer names no session.
inline constexpr TraceHandle kInvalidTraceHandle = ~TraceHandle{0};

// A provider's control callback: request 4 enables, 5 disables; `buffer` is
// only meaningful to GetTraceLoggerHandle. Answers a system error code.
using TraceControlCallback = uint32_t (*)(uint32_t request, void* context, void* buffer);

class TraceAPI {
public:
    TraceAPI();
    TraceAPI(const TraceAPI&) = delete;
    TraceAPI& operator=(const TraceAPI&) = delete;
    virtual ~TraceAPI();

    // RegisterTraceGuidsW with one trace GUID registration and no resource
    // names. The callback may run before this returns (a session that is
    // already waiting enables the provider at once) and afterwards on a
    // system thread, until UnregisterTraceGuids returns.
    virtual uint32_t RegisterTraceGuidsW(TraceControlCallback callback, void* context,
                                         const Strato::Guid& controlGuid,
                                         const Strato::Guid& traceClassGuid,
                                         TraceHandle& registration);
    // No callback runs once this has returned. Never call it from the callback.
    virtual uint32_t UnregisterTraceGuids(TraceHandle registration);
    // The session of a control request's buffer; kInvalidTraceHandle with the
    // thread's last error set when there is none.
    virtual TraceHandle GetTraceLoggerHandle(void* buffer);
    // The level the session enabled the provider at; 0 with the last error set
    // when the session is unknown.
    virtual uint8_t GetTraceEnableLevel(TraceHandle session);
    virtual uint32_t GetTraceEnableFlags(TraceHandle session);
    // Sends one event whose descriptors point at its data. Safe from many
    // threads at once; an unknown or ended session answers an error.
    virtual uint32_t TraceEvent(TraceHandle session, const KestrelTraceEvent& event);

private:
    // The backend's own state (the transport's sockets and threads on Linux,
    // the callback trampolines on Windows); created on first registration.
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Vanta
