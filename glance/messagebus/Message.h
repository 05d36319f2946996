// One message on the bus: name, sender, user data and the raw header that the
// host's bus library reads and writes. Always held by shared ownership; the
// texts never change after construction, the header may (flags and reply
// index, when a reply is published).
#pragma once

#include <kestrel/RawMessageHeader.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Vanta {

// The name of the tile payload message.
inline constexpr const wchar_t* kProcessedMessageName = L"messaging.message.processed";

class Message {
public:
    // Flag bits of the header, as bit numbers.
    static constexpr uint32_t kReplyFlag = 0;
    static constexpr uint32_t kNoCopyFlag = 3;
    static constexpr uint32_t kCopyMadeFlag = 4;

    // Copies the texts and gives the message a default header whose size field counts the
    // header and the three texts with their terminators. Throws std::length_error when that
    // size does not fit the 32-bit field.
    Message(std::wstring name, std::wstring sender, std::wstring data);
    virtual ~Message();
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    const std::wstring& getName() const noexcept { return name_; }
    const std::wstring& getSender() const noexcept { return sender_; }
    const std::wstring& getData() const noexcept { return data_; }
    KestrelRawMessageHeader* getHeader() noexcept { return header_.get(); }
    const KestrelRawMessageHeader* getHeader() const noexcept { return header_.get(); }

    // Bits outside 0 to 31 test false and are never set.
    bool testFlag(uint32_t bit) const noexcept;
    void setFlag(uint32_t bit) noexcept;
    void clearFlag(uint32_t bit) noexcept;
    void clearReplyIndex() noexcept;

    // The session extension of a version 2 header; null for any other version.
    KestrelSessionExtension* getSessionExtension() noexcept;
    const KestrelSessionExtension* getSessionExtension() const noexcept;

private:
    std::wstring name_;
    std::wstring sender_;
    std::wstring data_;
    std::unique_ptr<KestrelRawMessageHeader> header_;
};

// The header every message starts with, its size field 0.
KestrelRawMessageHeader defaultHeader() noexcept;

// Resets destination to the default header, then copies source into it when there is one: a
// version 2 source whole, any other version only its first 100 bytes, and then the size field
// grows by the 8 bytes of the default session extension and the version becomes 2. Source and
// destination may be the same header. A null destination is left alone.
void copyHeader(KestrelRawMessageHeader* destination,
                const KestrelRawMessageHeader* source) noexcept;

// The file name of the library containing this code, computed once per process; empty when
// the path cannot be obtained.
const std::wstring& defaultSender();

// The factory for every message of the system: an empty sender becomes the default sender.
// Never throws; an empty pointer means the message could not be built.
std::shared_ptr<Message> createMessage(const std::wstring& name, const std::wstring& sender,
                                       const std::wstring& data) noexcept;
// The same for texts that come from the bus library or the host; a null text counts as empty.
std::shared_ptr<Message> createMessage(const wchar_t* name, const wchar_t* sender,
                                       const wchar_t* data) noexcept;

} // namespace Vanta
