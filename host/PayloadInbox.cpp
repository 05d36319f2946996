#include "PayloadInbox.h"

namespace Vanta {

MODULE_STATUS PayloadInbox::onMessage(void* context, const KestrelRawMessageHeader*,
                                      const wchar_t* name, const wchar_t*, const wchar_t* data) {
    auto* inbox = static_cast<PayloadInbox*>(context);
    if (inbox == nullptr || name == nullptr) {
        return MODULE_STATUS_INVALID_PARAMETER;
    }
    const std::wstring messageName(name);
    {
        std::lock_guard lock(inbox->mutex_);
        if (messageName == kPayloadName) {
            inbox->payloads_.emplace_back(data != nullptr ? data : L"");
        } else if (messageName == kMarkerName) {
            ++inbox->markers_;
        }
    }
    inbox->arrived_.notify_all();
    return MODULE_STATUS_SUCCESS;
}

bool PayloadInbox::waitForPayloads(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return payloads_.size() >= count; });
}

bool PayloadInbox::waitForMarkers(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return markers_ >= count; });
}

size_t PayloadInbox::payloadCount() const {
    std::lock_guard lock(mutex_);
    return payloads_.size();
}

std::wstring PayloadInbox::payload(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < payloads_.size() ? payloads_[index] : std::wstring();
}

} // namespace Vanta
