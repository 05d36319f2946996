#include "messagebus/MessageBusShimImpl.h"

#include "fakes/FakeBusLibrary.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"
#include "status/ModuleException.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

using testfakes::FakeBusLibrary;
using Vanta::Message;
using Vanta::MessageBusShimImpl;
using Vanta::MessageCallback;
using Vanta::ReplyHandler;

namespace {

std::shared_ptr<Message> message(const std::wstring& name) {
    return Vanta::createMessage(name, L"Tester", L"{}");
}

} // namespace

TEST(MessageBusShimImpl, RefusesAMissingHandleBeforeAMissingTable) {
    struct Case {
        bool handle;
        bool table;
        const wchar_t* logged;
        const char* thrown;
    };
    const Case cases[] = {
        {false, false, L"Invalid message bus handle. Throwing ModuleException.",
         "Invalid message bus handle"},
        {false, true, L"Invalid message bus handle. Throwing ModuleException.",
         "Invalid message bus handle"},
        {true, false, L"Invalid message bus functions object. Throwing ModuleException.",
         "Invalid message bus functions object"},
    };
    FakeBusLibrary bus;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.thrown);
        testfakes::ScopedRecordingLogger log;
        try {
            MessageBusShimImpl shim(c.handle ? bus.handle() : nullptr,
                                    c.table ? FakeBusLibrary::functions() : nullptr);
            ADD_FAILURE() << "constructed";
        } catch (const Vanta::ModuleException& error) {
            EXPECT_STREQ(c.thrown, error.what());
        }
        ASSERT_EQ(1u, log->records().size());
        const testfakes::LogRecord record = log->records()[0];
        EXPECT_EQ(4u, record.level);
        EXPECT_EQ(L"MessageBusShimImpl", record.file);
        EXPECT_EQ(L"Vanta::MessageBusShimImpl::MessageBusShimImpl", record.function);
        EXPECT_EQ(c.logged, record.text);
    }
}

TEST(MessageBusShimImpl, EachOperationCallsItsEntry) {
    FakeBusLibrary bus;
    {
        MessageBusShimImpl shim(bus.handle(), FakeBusLibrary::functions());
        const auto sent = message(L"Core.Update.State");
        ReplyHandler handler;
        MessageCallback callback;
        EXPECT_EQ(0u, shim.publish(sent, false));
        EXPECT_EQ(0u, shim.publish(sent, true));
        EXPECT_EQ(0u, shim.request(sent, 7, &handler, 250, false));
        EXPECT_EQ(0u, shim.request(sent, 8, &handler, 250, true));
        EXPECT_EQ(1u, shim.subscribe(L"A", &callback));
        EXPECT_EQ(2u, shim.subscribeFilter(L"B.*", &callback));
        EXPECT_EQ(0u, shim.unsubscribe(2));
        EXPECT_EQ(0u, shim.dropReplies());
        // No message, no call.
        EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, shim.publish(nullptr, false));
        EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, shim.request(nullptr, 9, &handler, 1, false));
    }
    const auto calls = bus.calls();
    using E = FakeBusLibrary::Entry;
    const E expected[] = {E::kPublish,     E::kPublishEx,   E::kRequest,
                          E::kRequestEx,   E::kSubscribe,   E::kSubscribeFilter,
                          E::kUnsubscribe, E::kDropReplies, E::kDropReplies};
    ASSERT_EQ(std::size(expected), calls.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(expected[i], calls[i].entry) << "call " << i;
    }
    EXPECT_EQ(L"Core.Update.State", calls[0].name);
    EXPECT_EQ(L"Tester", calls[0].sender);
    EXPECT_EQ(L"{}", calls[0].data);
    EXPECT_TRUE(calls[0].header.has_value());
    EXPECT_EQ(7u, calls[2].replyIndex);
    EXPECT_EQ(250u, calls[2].timeoutMs);
    EXPECT_EQ(&MessageBusShimImpl::replyTrampoline, calls[2].replyCallback);
    EXPECT_EQ(&MessageBusShimImpl::messageTrampoline, calls[4].messageCallback);
    EXPECT_EQ(L"B.*", calls[5].name);
    EXPECT_EQ(2u, calls[6].id);
    // The last drop is the destructor's.
    EXPECT_EQ(&MessageBusShimImpl::replyTrampoline, calls[8].replyCallback);
}

TEST(MessageBusShimImpl, MessageTrampolineBuildsTheMessageAndAnswersTheCallback) {
    std::shared_ptr<Message> seen;
    MessageCallback callback = [&seen](std::shared_ptr<Message> delivered) {
        seen = std::move(delivered);
        return MODULE_STATUS_NOT_FOUND;
    };
    KestrelRawMessageHeader header = FakeBusLibrary::message(L"x").header;
    header.flags = 1;
    header.session.sessionId = 9;
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND,
              MessageBusShimImpl::messageTrampoline(&callback, &header, L"Core.Firewall.State", L"",
                                                    L"{\"state\":\"on\"}"));
    ASSERT_TRUE(seen);
    EXPECT_EQ(L"Core.Firewall.State", seen->getName());
    EXPECT_EQ(Vanta::defaultSender(), seen->getSender());
    EXPECT_EQ(L"{\"state\":\"on\"}", seen->getData());
    EXPECT_TRUE(seen->testFlag(Message::kReplyFlag));
    EXPECT_EQ(9u, uint32_t{seen->getSessionExtension()->sessionId});

    // Null texts and header from the library are empty, not a crash.
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND,
              MessageBusShimImpl::messageTrampoline(&callback, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(L"", seen->getName());

    MessageCallback throwing = [](std::shared_ptr<Message>) -> MODULE_STATUS {
        throw std::runtime_error("callback failed");
    };
    EXPECT_EQ(MODULE_STATUS_UNKNOWN_EXCEPTION,
              MessageBusShimImpl::messageTrampoline(&throwing, nullptr, L"a", L"b", L"c"));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              MessageBusShimImpl::messageTrampoline(nullptr, nullptr, L"a", L"b", L"c"));
}

TEST(MessageBusShimImpl, ReplyTrampolinePassesAMessageOnlyWithStatusZero) {
    struct Seen {
        uint64_t index = 0;
        std::shared_ptr<Message> message;
        MODULE_STATUS status = 1;
        int calls = 0;
    } seen;
    ReplyHandler handler = [&seen](uint64_t index, std::shared_ptr<Message> reply,
                                   MODULE_STATUS status) {
        seen = {index, std::move(reply), status, seen.calls + 1};
        return MODULE_STATUS_SUCCESS;
    };
    const KestrelRawMessageHeader header = FakeBusLibrary::message(L"x").header;
    EXPECT_EQ(0u, MessageBusShimImpl::replyTrampoline(&handler, 3, &header, L"Answer", L"S", L"{}",
                                                      MODULE_STATUS_SUCCESS));
    EXPECT_EQ(3u, seen.index);
    ASSERT_TRUE(seen.message);
    EXPECT_EQ(L"Answer", seen.message->getName());

    EXPECT_EQ(0u, MessageBusShimImpl::replyTrampoline(&handler, 4, &header, L"Answer", L"S", L"{}",
                                                      MODULE_STATUS_TIMEOUT));
    EXPECT_EQ(4u, seen.index);
    EXPECT_FALSE(seen.message);
    EXPECT_EQ(MODULE_STATUS_TIMEOUT, seen.status);

    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              MessageBusShimImpl::replyTrampoline(nullptr, 5, &header, L"Answer", L"S", L"{}",
                                                  MODULE_STATUS_SUCCESS));
    EXPECT_EQ(2, seen.calls);
}
