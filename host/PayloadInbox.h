// What the host's own bus handle receives: every tile payload in arrival
// order, and the host's own drain marker. One pattern subscription takes
// both, so the marker arrives after every payload published before it.
#pragma once

#include <kestrel/MessageBusLibrary.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace Vanta {

class PayloadInbox {
public:
    // Without `keepPayloads` only their number and the latest arrival are
    // kept: for runs of millions of messages.
    explicit PayloadInbox(bool keepPayloads = true) : keepPayloads_(keepPayloads) {}

    static constexpr const wchar_t* kPayloadName = L"messaging.message.processed";
    static constexpr const wchar_t* kMarkerName = L"kestrel-host.drained";
    // The subscription's pattern: either name, whole.
    static constexpr const wchar_t* kPattern =
        L"messaging\\.message\\.processed|kestrel-host\\.drained";

    // The bus's delivery callback, with the inbox as context.
    static MODULE_STATUS onMessage(void* context, const KestrelRawMessageHeader* header,
                                   const wchar_t* name, const wchar_t* sender, const wchar_t* data);

    // Until `count` payloads have arrived; false when the time runs out first.
    bool waitForPayloads(size_t count, std::chrono::milliseconds timeout);
    // Until `count` markers have arrived.
    bool waitForMarkers(size_t count, std::chrono::milliseconds timeout);

    size_t payloadCount() const;
    // The payload at `index` in arrival order; empty past the last or when
    // payloads are not kept.
    std::wstring payload(size_t index) const;
    // When the latest payload arrived.
    std::chrono::steady_clock::time_point lastArrival() const;

private:
    const bool keepPayloads_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::wstring> payloads_;
    size_t payloadCount_ = 0;
    size_t awaited_ = 0; // the count a waiter needs: no wake-ups before it

    std::chrono::steady_clock::time_point lastArrival_;
    size_t markers_ = 0;
};

} // namespace Vanta
