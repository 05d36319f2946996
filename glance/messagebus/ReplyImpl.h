// A Reply over the future that the message bus client fulfils from the bus
// library's reply thread. Used by one thread at a time; destroying it abandons
// the wait without touching the request.
#pragma once

#include "messagebus/Reply.h"

#include <exception>
#include <future>
#include <memory>
#include <system_error>

namespace Vanta {

class MonotonicClock;

// What the client stores in a reply promise when the bus reports a failure: an error with the
// generic code given (ECANCELED for a bus time-out, ENODATA otherwise). The standard library
// cannot build a future_error with a generic code everywhere, so this is a system_error.
std::exception_ptr makeReplyError(std::errc code);

class ReplyImpl : public Reply {
public:
    using Future = std::shared_future<std::shared_ptr<Message>>;

    // The deadline is timeoutMs plus one second of grace from now, on `clock` (the
    // interrupt-time clock when empty); a timeout too large for the clock means no deadline.
    ReplyImpl(Future future, uint64_t timeoutMs, std::shared_ptr<MonotonicClock> clock = {});
    ~ReplyImpl() override;

    ReplyStatus getStatus() const override { return status_; }
    std::shared_ptr<Message> getMessage() const override;
    ReplyStatus wait() override;
    ReplyStatus waitFor(int64_t milliseconds) override;

private:
    ReplyStatus getReplyMessage();

    ReplyStatus status_ = ReplyPending;
    std::shared_ptr<Message> message_;
    Future future_;
    std::shared_ptr<MonotonicClock> clock_;
    int64_t deadline_ = 0;
};

} // namespace Vanta
