// Conduit.dll: the host's message bus library. Its four exports and the
// ten-entry table of interface version 2001000; every entry ends any
// exception of its own before it reaches the caller.
#include "Bus.h"

#include <kestrel/KestrelExport.h>
#include <kestrel/MessageBusLibrary.h>

namespace {

using conduit::Bus;

template <typename Body>
auto guarded(Body body, decltype(body()) failure) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

MODULE_STATUS openBus(KestrelBusHandle* handle) {
    return guarded([&] { return Bus::instance().open(handle); }, MODULE_STATUS_UNKNOWN_EXCEPTION);
}

MODULE_STATUS releaseBus(KestrelBusHandle handle) {
    return guarded([&] { return Bus::instance().release(handle); },
                   MODULE_STATUS_UNKNOWN_EXCEPTION);
}

MODULE_STATUS publish(KestrelBusHandle handle, KestrelRawMessageHeader* header, const wchar_t* name,
                      const wchar_t* sender, const wchar_t* data) {
    return guarded([&] { return Bus::instance().publish(handle, header, name, sender, data); },
                   MODULE_STATUS_UNKNOWN_EXCEPTION);
}

MODULE_STATUS request(KestrelBusHandle handle, uint64_t replyIndex, void* context,
                      KestrelReplyCallback callback, KestrelRawMessageHeader* header,
                      const wchar_t* name, const wchar_t* sender, const wchar_t* data,
                      uint64_t timeoutMs) {
    return guarded(
        [&] {
            return Bus::instance().request(handle, replyIndex, context, callback, header, name,
                                           sender, data, timeoutMs);
        },
        MODULE_STATUS_UNKNOWN_EXCEPTION);
}

KestrelSubscriptionId subscribe(KestrelBusHandle handle, void* context,
                                KestrelMessageCallback callback, const wchar_t* name) {
    return guarded(
        [&] { return Bus::instance().subscribe(handle, context, callback, name, false); },
        KestrelSubscriptionId{0});
}

KestrelSubscriptionId subscribeFilter(KestrelBusHandle handle, void* context,
                                      KestrelMessageCallback callback, const wchar_t* pattern) {
    return guarded(
        [&] { return Bus::instance().subscribe(handle, context, callback, pattern, true); },
        KestrelSubscriptionId{0});
}

MODULE_STATUS unsubscribe(KestrelBusHandle handle, KestrelSubscriptionId id) {
    return guarded([&] { return Bus::instance().unsubscribe(handle, id); },
                   MODULE_STATUS_UNKNOWN_EXCEPTION);
}

MODULE_STATUS dropReplies(KestrelBusHandle handle, KestrelReplyCallback callback) {
    return guarded([&] { return Bus::instance().dropReplies(handle, callback); },
                   MODULE_STATUS_UNKNOWN_EXCEPTION);
}

// The second forms: Conduit has one way to publish and one to request.
const KestrelMessageBusFunctions kFunctions{
    &openBus,         &releaseBus,  &publish,     &request, &subscribe,
    &subscribeFilter, &unsubscribe, &dropReplies, &publish, &request,
};

constexpr uint32_t kVersionNumber = 1000000; // 1.0.0, major * 1000000 + minor * 1000 + patch

} // namespace

extern "C" {

KESTREL_EXPORT const KestrelMessageBusFunctions* CreateObject(uint32_t interfaceVersion) {
    return interfaceVersion == KESTREL_MESSAGE_BUS_INTERFACE_VERSION ? &kFunctions : nullptr;
}

KESTREL_EXPORT void ReleaseObject(void) {}

KESTREL_EXPORT const char* GetVersionStr(void) {
    return "1.0.0";
}

KESTREL_EXPORT uint32_t GetVersionNum(void) {
    return kVersionNumber;
}

} // extern "C"
