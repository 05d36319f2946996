#include "messagebus/ReplyImpl.h"

#include "fakes/FakeClocks.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

using Vanta::Message;
using Vanta::ReplyImpl;
using Vanta::ReplyStatus;

namespace {

using MessagePtr = std::shared_ptr<Message>;

using testfakes::ScriptedClock;

struct Pending {
    std::promise<MessagePtr> promise;
    ReplyImpl::Future future = promise.get_future().share();
};

constexpr const wchar_t* kNotOnTime = L"Reply future did not get fulfilled on time. Returning.";
constexpr const wchar_t* kInvalid = L"Reply future is in an invalid state. Returning.";

} // namespace

TEST(ReplyImpl, SettledFutureGivesItsOutcomeThroughWaitAndWaitFor) {
    struct Case {
        const char* what;
        std::function<void(std::promise<MessagePtr>&)> settle;
        ReplyStatus expected;
    };
    const auto reply = Vanta::createMessage(L"answer", L"bus", L"{}");
    const Case cases[] = {
        {"message", [&](auto& p) { p.set_value(reply); }, Vanta::ReplyReceived},
        {"empty message", [](auto& p) { p.set_value(nullptr); }, Vanta::ReplyFailed},
        {"bus time-out",
         [](auto& p) { p.set_exception(Vanta::makeReplyError(std::errc::operation_canceled)); },
         Vanta::ReplyTimedOut},
        {"other bus failure",
         [](auto& p) { p.set_exception(Vanta::makeReplyError(std::errc::no_message_available)); },
         Vanta::ReplyFailed},
        {"broken promise", [](auto& p) { p = std::promise<MessagePtr>(); }, Vanta::ReplyFailed},
        {"foreign exception",
         [](auto& p) { p.set_exception(std::make_exception_ptr(std::runtime_error("x"))); },
         Vanta::ReplyFailed},
    };
    for (const Case& c : cases) {
        for (const bool useWait : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.what << (useWait ? " / wait" : " / waitFor"));
            testfakes::ScopedRecordingLogger log;
            Pending pending;
            ReplyImpl impl(pending.future, 5000);
            EXPECT_EQ(impl.getStatus(), Vanta::ReplyPending);
            c.settle(pending.promise);
            EXPECT_EQ(useWait ? impl.wait() : impl.waitFor(0), c.expected);
            EXPECT_EQ(impl.getStatus(), c.expected);
            EXPECT_EQ(impl.getMessage(), c.expected == Vanta::ReplyReceived ? reply : nullptr);
            EXPECT_TRUE(log->records().empty());
        }
    }
}

TEST(ReplyImpl, InvalidFutureFails) {
    testfakes::ScopedRecordingLogger log;
    ReplyImpl waited(ReplyImpl::Future(), 0);
    EXPECT_EQ(waited.wait(), Vanta::ReplyFailed);
    ReplyImpl waitedFor(ReplyImpl::Future(), 0);
    EXPECT_EQ(waitedFor.waitFor(10), Vanta::ReplyFailed);
    EXPECT_EQ(waitedFor.getStatus(), Vanta::ReplyFailed);

    const auto records = log->records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, 4u);
    EXPECT_EQ(records[0].file, L"ReplyImpl");
    EXPECT_EQ(records[0].function, L"Vanta::ReplyImpl::getReplyMessage");
    EXPECT_EQ(records[0].text, kInvalid);
    EXPECT_EQ(records[1].level, 4u);
    EXPECT_EQ(records[1].function, L"Vanta::ReplyImpl::waitFor");
    EXPECT_EQ(records[1].text, kInvalid);
}

TEST(ReplyImpl, DeadlineIsTimeoutPlusOneSecondAndStaysSettled) {
    testfakes::ScopedRecordingLogger log;
    Pending pending;
    // Built at 1000 with a 50 ms timeout: the deadline is 2050. At 2050 the reply still waits
    // (for 0 ms), at 2051 it has timed out.
    auto clock = std::make_shared<ScriptedClock>(std::vector<int64_t>{1000, 2050, 2051});
    ReplyImpl impl(pending.future, 50, clock);
    EXPECT_EQ(impl.wait(), Vanta::ReplyTimedOut);
    EXPECT_EQ(clock->reads(), 3u);

    const auto records = log->records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, 4u);
    EXPECT_EQ(records[0].file, L"ReplyImpl");
    EXPECT_EQ(records[0].function, L"Vanta::ReplyImpl::getReplyMessage");
    EXPECT_EQ(records[0].text, kNotOnTime);

    // An answer after the deadline changes nothing for wait and getStatus...
    const auto late = Vanta::createMessage(L"late", L"bus", L"");
    pending.promise.set_value(late);
    EXPECT_EQ(impl.wait(), Vanta::ReplyTimedOut);
    EXPECT_EQ(impl.getStatus(), Vanta::ReplyTimedOut);
    EXPECT_EQ(impl.getMessage(), nullptr);
    // ...while waitFor looks again whenever the future is ready.
    EXPECT_EQ(impl.waitFor(0), Vanta::ReplyReceived);
    EXPECT_EQ(impl.getMessage(), late);
}

TEST(ReplyImpl, WaitForOnAPendingReplyWarnsAndStaysPending) {
    testfakes::ScopedRecordingLogger log;
    Pending pending;
    ReplyImpl impl(pending.future, 5000);
    EXPECT_EQ(impl.waitFor(0), Vanta::ReplyPending);
    EXPECT_EQ(impl.waitFor(-5), Vanta::ReplyPending);

    const auto records = log->records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, 2u);
    EXPECT_EQ(records[0].file, L"ReplyImpl");
    EXPECT_EQ(records[0].function, L"Vanta::ReplyImpl::waitFor");
    EXPECT_EQ(records[0].text, L"Reply waitFor timed out. Returning.");

    // A message that arrives later is not handed out until a wait has settled the reply.
    const auto reply = Vanta::createMessage(L"answer", L"bus", L"");
    pending.promise.set_value(reply);
    EXPECT_EQ(impl.getStatus(), Vanta::ReplyPending);
    EXPECT_EQ(impl.getMessage(), nullptr);
    EXPECT_EQ(impl.wait(), Vanta::ReplyReceived);
    EXPECT_EQ(impl.getMessage(), reply);
}

TEST(ReplyImpl, TimeoutBeyondTheClockMeansNoDeadline) {
    // A timeout of 2^64 - 1 ms must not wrap the deadline into the past: the reply keeps waiting
    // until the answer comes.
    Pending pending;
    auto clock = std::make_shared<ScriptedClock>(std::vector<int64_t>{1000, 5000, 9000});
    ReplyImpl impl(pending.future, std::numeric_limits<uint64_t>::max(), clock);
    const auto reply = Vanta::createMessage(L"answer", L"bus", L"");
    std::thread answer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pending.promise.set_value(reply);
    });
    EXPECT_EQ(impl.wait(), Vanta::ReplyReceived);
    answer.join();
}
