// Windows-only code belongs in this file.
// The classic event-tracing calls behind platform/TraceAPI.h.
#include "platform/TraceAPI.h"

#include "platform/win32/WindowsGuid.h"
#include "platform/win32/WindowsInclude.h"

#include <evntrace.h>

#include <cstddef>
#include <map>
#include <mutex>

namespace Vanta {
namespace {

static_assert(sizeof(KestrelTraceEvent) == sizeof(EVENT_TRACE_HEADER) + 2 * sizeof(MOF_FIELD));
static_assert(offsetof(EVENT_TRACE_HEADER, Guid) == offsetof(KestrelTraceEventHeader, guid));
static_assert(offsetof(EVENT_TRACE_HEADER, Flags) == offsetof(KestrelTraceEventHeader, flags));
static_assert(offsetof(EVENT_TRACE_HEADER, Class) == offsetof(KestrelTraceEventHeader, classType));

// The system calls back with its own signature; the trampoline turns the
// call into the seam's.
struct Trampoline {
    TraceControlCallback callback;
    void* context;
};

ULONG WINAPI trampoline(WMIDPREQUESTCODE request, PVOID context, ULONG*, PVOID buffer) {
    const auto* target = static_cast<const Trampoline*>(context);
    return target->callback(static_cast<uint32_t>(request), target->context, buffer);
}

} // namespace

struct TraceAPI::State {
    std::mutex mutex;
    std::map<TraceHandle, std::unique_ptr<Trampoline>> trampolines;
};

TraceAPI::TraceAPI() : state_(std::make_unique<State>()) {}

TraceAPI::~TraceAPI() = default;

uint32_t TraceAPI::RegisterTraceGuidsW(TraceControlCallback callback, void* context,
                                       const Strato::Guid& controlGuid,
                                       const Strato::Guid& traceClassGuid,
                                       TraceHandle& registration) {
    if (callback == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto target = std::make_unique<Trampoline>(Trampoline{callback, context});
    GUID control = win32::toWindowsGuid(controlGuid);
    GUID traceClass = win32::toWindowsGuid(traceClassGuid);
    TRACE_GUID_REGISTRATION traced{&traceClass, nullptr};
    TRACEHANDLE handle = 0;
    const ULONG result = ::RegisterTraceGuidsW(trampoline, target.get(), &control, 1, &traced,
                                               nullptr, nullptr, &handle);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    std::lock_guard lock(state_->mutex);
    state_->trampolines[handle] = std::move(target);
    registration = handle;
    return ERROR_SUCCESS;
}

uint32_t TraceAPI::UnregisterTraceGuids(TraceHandle registration) {
    const ULONG result = ::UnregisterTraceGuids(registration);
    std::lock_guard lock(state_->mutex);
    state_->trampolines.erase(registration);
    return result;
}

TraceHandle TraceAPI::GetTraceLoggerHandle(void* buffer) {
    return ::GetTraceLoggerHandle(buffer);
}

uint8_t TraceAPI::GetTraceEnableLevel(TraceHandle session) {
    return ::GetTraceEnableLevel(session);
}

uint32_t TraceAPI::GetTraceEnableFlags(TraceHandle session) {
    return ::GetTraceEnableFlags(session);
}

uint32_t TraceAPI::TraceEvent(TraceHandle session, const KestrelTraceEvent& event) {
    // The system only reads the header and the data it points at.
    return ::TraceEvent(
        session, reinterpret_cast<PEVENT_TRACE_HEADER>(const_cast<KestrelTraceEvent*>(&event)));
}

} // namespace Vanta
