// The answer to a request made through the message bus client: a handle on a
// pending reply message that can be waited for, with a deadline.
#pragma once

#include <cstdint>
#include <memory>

namespace Vanta {

class Message;

enum ReplyStatus : uint32_t {
    ReplyReceived = 0, // a reply message is available
    ReplyPending = 1,  // not yet settled
    ReplyTimedOut = 2, // the deadline passed, or the bus reported a time-out
    ReplyFailed = 3,   // no usable reply: empty, broken promise or another bus failure
};

class Reply {
public:
    virtual ~Reply() = default;
    // Never waits.
    virtual ReplyStatus getStatus() const = 0;
    // Empty unless the status is ReplyReceived.
    virtual std::shared_ptr<Message> getMessage() const = 0;
    // While pending, waits up to the deadline; a settled status is returned as it is.
    virtual ReplyStatus wait() = 0;
    // Waits at most `milliseconds`; evaluates the reply again whenever it is ready.
    virtual ReplyStatus waitFor(int64_t milliseconds) = 0;
};

} // namespace Vanta
