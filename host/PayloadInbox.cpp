#include "PayloadInbox.h"

#include <algorithm>

namespace Vanta {

MODULE_STATUS PayloadInbox::onMessage(void* context, const KestrelRawMessageHeader*,
                                      const wchar_t* name, const wchar_t*, const wchar_t* data) {
    auto* inbox = static_cast<PayloadInbox*>(context);
    if (inbox == nullptr || name == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const std::wstring messageName(name);
    bool wake = true;
    {
        std::lock_guard lock(inbox->mutex_);
        if (messageName == kPayloadName) {
            if (inbox->keepPayloads_) {
                inbox->payloads_.emplace_back(data != nullptr ? data : L"");
            }
            ++inbox->payloadCount_;
            inbox->lastArrival_ = std::chrono::steady_clock::now();
            wake = inbox->payloadCount_ >= inbox->awaited_;
        } else if (messageName == kMarkerName) {
            ++inbox->markers_;
        }
    }
    if (wake) {
        inbox->arrived_.notify_all();
    }
    return MODULE_STATUS_SUCCESS;
}

bool PayloadInbox::waitForPayloads(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    awaited_ = std::max(awaited_, count);
    const bool reached = arrived_.wait_for(lock, timeout, [&] { return payloadCount_ >= count; });
    awaited_ = 0;
    return reached;
}

bool PayloadInbox::waitForMarkers(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return markers_ >= count; });
}

size_t PayloadInbox::payloadCount() const {
    std::lock_guard lock(mutex_);
    return payloadCount_;
}

std::chrono::steady_clock::time_point PayloadInbox::lastArrival() const {
    std::lock_guard lock(mutex_);
    return lastArrival_;
}

std::wstring PayloadInbox::payload(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < payloads_.size() ? payloads_[index] : std::wstring();
}

} // namespace Vanta
