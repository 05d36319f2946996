#include "messagebus/Message.h"

#include "platform/CurrentModule.h"
#include "status/ExceptionBoundary.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace Vanta {

namespace {

// 108 header bytes and three 2-byte terminators.
constexpr uint64_t kFixedMessageSize = KESTREL_RAW_MESSAGE_HEADER_SIZE + 3 * 2;

uint32_t messageSize(const std::wstring& name, const std::wstring& sender,
                     const std::wstring& data) {
    const uint64_t units = uint64_t{name.size()} + sender.size() + data.size();
    const uint64_t size = kFixedMessageSize + 2 * units;
    if (units > std::numeric_limits<uint32_t>::max() ||
        size > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("Message too large for its header");
    }
    return static_cast<uint32_t>(size);
}

} // namespace

KestrelRawMessageHeader defaultHeader() noexcept {
    return KestrelDefaultRawMessageHeader();
}

Message::Message(std::wstring name, std::wstring sender, std::wstring data)
    : name_(std::move(name)), sender_(std::move(sender)), data_(std::move(data)),
      header_(std::make_unique<KestrelRawMessageHeader>(defaultHeader())) {
    header_->size = messageSize(name_, sender_, data_);
}

Message::~Message() = default;

bool Message::testFlag(uint32_t bit) const noexcept {
    return bit < 32 && (header_->flags & (1u << bit)) != 0;
}

void Message::setFlag(uint32_t bit) noexcept {
    if (bit < 32) {
        header_->flags = header_->flags | (1u << bit);
    }
}

void Message::clearFlag(uint32_t bit) noexcept {
    if (bit < 32) {
        header_->flags = header_->flags & ~(1u << bit);
    }
}

void Message::clearReplyIndex() noexcept {
    header_->replyIndex = 0;
}

KestrelSessionExtension* Message::getSessionExtension() noexcept {
    return header_->version == KESTREL_RAW_MESSAGE_HEADER_VERSION ? &header_->session : nullptr;
}

const KestrelSessionExtension* Message::getSessionExtension() const noexcept {
    return header_->version == KESTREL_RAW_MESSAGE_HEADER_VERSION ? &header_->session : nullptr;
}

void copyHeader(KestrelRawMessageHeader* destination,
                const KestrelRawMessageHeader* source) noexcept {
    if (destination == nullptr) {
        return;
    }
    // Built aside first, so that a source that is the destination is read before it is reset.
    KestrelRawMessageHeader copy = defaultHeader();
    if (source != nullptr) {
        if (source->version == KESTREL_RAW_MESSAGE_HEADER_VERSION) {
            std::memcpy(&copy, source, KESTREL_RAW_MESSAGE_HEADER_SIZE);
        } else {
            // Older headers end where the session extension begins.
            std::memcpy(&copy, source, KESTREL_RAW_MESSAGE_HEADER_V1_SIZE);
            copy.size = copy.size + KESTREL_SESSION_EXTENSION_LENGTH;
            copy.version = KESTREL_RAW_MESSAGE_HEADER_VERSION;
        }
    }
    std::memcpy(destination, &copy, KESTREL_RAW_MESSAGE_HEADER_SIZE);
}

const std::wstring& defaultSender() {
    static const std::wstring sender = currentModuleFileName();
    return sender;
}

std::shared_ptr<Message> createMessage(const std::wstring& name, const std::wstring& sender,
                                       const std::wstring& data) noexcept {
    std::shared_ptr<Message> message;
    runInExceptionBoundary([&] {
        message = std::make_shared<Message>(name, sender.empty() ? defaultSender() : sender, data);
        return MODULE_STATUS_SUCCESS;
    });
    return message;
}

std::shared_ptr<Message> createMessage(const wchar_t* name, const wchar_t* sender,
                                       const wchar_t* data) noexcept {
    std::shared_ptr<Message> message;
    runInExceptionBoundary([&] {
        message = createMessage(std::wstring(name != nullptr ? name : L""),
                                std::wstring(sender != nullptr ? sender : L""),
                                std::wstring(data != nullptr ? data : L""));
        return MODULE_STATUS_SUCCESS;
    });
    return message;
}

} // namespace Vanta
