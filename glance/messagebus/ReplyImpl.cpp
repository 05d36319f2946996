#include "messagebus/ReplyImpl.h"

#include "logging/Log.h"
#include "messagebus/Message.h"
#include "platform/MonotonicClock.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

namespace Vanta {

using ETWLogging::kLevelError;
using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;

namespace {

// One second of grace beyond the request's own timeout, for the bus to deliver its time-out
// reply before the waiter gives up.
constexpr int64_t kGraceMilliseconds = 1000;

int64_t deadlineAfter(int64_t now, uint64_t timeoutMs) {
    const int64_t room = std::numeric_limits<int64_t>::max() - now - kGraceMilliseconds;
    if (room < 0 || timeoutMs > static_cast<uint64_t>(room)) {
        return std::numeric_limits<int64_t>::max();
    }
    return now + static_cast<int64_t>(timeoutMs) + kGraceMilliseconds;
}

// The longest single wait handed to the standard library; longer waits are split, since a
// wait of many years overflows its clock arithmetic and returns at once.
constexpr int64_t kLongestWaitMilliseconds = int64_t{24} * 60 * 60 * 1000;

std::chrono::milliseconds boundedWait(int64_t milliseconds) {
    return std::chrono::milliseconds(std::min(milliseconds, kLongestWaitMilliseconds));
}

bool isCancellation(const std::error_code& code) {
    return code == std::errc::operation_canceled;
}

} // namespace

std::exception_ptr makeReplyError(std::errc code) {
    return std::make_exception_ptr(std::system_error(std::make_error_code(code)));
}

ReplyImpl::ReplyImpl(Future future, uint64_t timeoutMs, std::shared_ptr<MonotonicClock> clock)
    : future_(std::move(future)),
      clock_(clock ? std::move(clock) : std::make_shared<MonotonicClock>()),
      deadline_(deadlineAfter(clock_->nowMilliseconds(), timeoutMs)) {}

ReplyImpl::~ReplyImpl() = default;

std::shared_ptr<Message> ReplyImpl::getMessage() const {
    return status_ == ReplyReceived ? message_ : nullptr;
}

ReplyStatus ReplyImpl::wait() {
    if (status_ != ReplyPending) {
        return status_;
    }
    status_ = getReplyMessage();
    return status_;
}

ReplyStatus ReplyImpl::waitFor(int64_t milliseconds) {
    if (!future_.valid()) {
        logIfEnabled(kLevelError, L"ReplyImpl", L"Vanta::ReplyImpl::waitFor", __LINE__,
                     L"Reply future is in an invalid state. Returning.");
        status_ = ReplyFailed;
        return status_;
    }
    if (future_.wait_for(boundedWait(milliseconds)) != std::future_status::ready) {
        logIfEnabled(kLevelWarning, L"ReplyImpl", L"Vanta::ReplyImpl::waitFor", __LINE__,
                     L"Reply waitFor timed out. Returning.");
        return status_;
    }
    status_ = getReplyMessage();
    return status_;
}

ReplyStatus ReplyImpl::getReplyMessage() {
    if (!future_.valid()) {
        logIfEnabled(kLevelError, L"ReplyImpl", L"Vanta::ReplyImpl::getReplyMessage", __LINE__,
                     L"Reply future is in an invalid state. Returning.");
        return ReplyFailed;
    }
    while (future_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        const int64_t remaining = deadline_ - clock_->nowMilliseconds();
        if (remaining < 0) {
            logIfEnabled(kLevelError, L"ReplyImpl", L"Vanta::ReplyImpl::getReplyMessage", __LINE__,
                         L"Reply future did not get fulfilled on time. Returning.");
            return ReplyTimedOut;
        }
        future_.wait_for(boundedWait(remaining));
    }
    try {
        message_ = future_.get();
        return message_ ? ReplyReceived : ReplyFailed;
    } catch (const std::system_error& error) {
        // The client settles a bus time-out with ECANCELED.
        return isCancellation(error.code()) ? ReplyTimedOut : ReplyFailed;
    } catch (const std::future_error& error) {
        // A broken promise, or any other failure of the future itself.
        return isCancellation(error.code()) ? ReplyTimedOut : ReplyFailed;
    } catch (...) {
        return ReplyFailed;
    }
}

} // namespace Vanta
