#include "messagebus/MessageBusClient.h"

#include "fakes/FakeBusLibrary.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusShimImpl.h"
#include "messagebus/Reply.h"
#include "platform/ProcessAPI.h"
#include "status/ModuleException.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using testfakes::FakeBusLibrary;
using Vanta::Message;
using Vanta::MessageBusClient;
using Vanta::Reply;

namespace {

using E = FakeBusLibrary::Entry;

class FixedSession : public Vanta::ProcessAPI {
public:
    explicit FixedSession(std::optional<uint32_t> session) : session_(session) {}
    uint32_t GetCurrentProcessId() override { return 4242; }
    bool ProcessIdToSessionId(uint32_t, uint32_t& session) override {
        if (session_) {
            session = *session_;
        }
        return session_.has_value();
    }

private:
    std::optional<uint32_t> session_;
};

std::shared_ptr<Message> message(const std::wstring& name) {
    return Vanta::createMessage(name, L"Tester", L"{}");
}

// A client over the fake library; the client goes before the library.
class MessageBusClientTest : public ::testing::Test {
protected:
    explicit MessageBusClientTest(std::optional<uint32_t> session = 1)
        : client(std::make_unique<MessageBusClient>(std::make_shared<Vanta::MessageBusShimImpl>(
                                                        bus.handle(), FakeBusLibrary::functions()),
                                                    std::make_shared<FixedSession>(session))) {}

    // A callback that counts what reaches it under `label`.
    Vanta::MessageCallback counting(std::vector<std::wstring>& seen, std::wstring label) {
        return [&seen, label](std::shared_ptr<Message>) {
            seen.push_back(label);
            return MODULE_STATUS_SUCCESS;
        };
    }

    FakeBusLibrary bus;
    std::unique_ptr<MessageBusClient> client;
};

} // namespace

TEST(MessageBusClientConstruction, LogsTheSessionOrItsAbsence) {
    struct Case {
        std::optional<uint32_t> session;
        uint32_t level;
        std::wstring text;
        uint32_t sessionId;
    };
    const Case cases[] = {
        {7, 1, L"Found session id 7 for process 4242", 7},
        {std::nullopt, 4, L"Failed to get the session id for process 4242 - defaulting to 0", 0},
    };
    FakeBusLibrary bus;
    for (const Case& c : cases) {
        testfakes::ScopedRecordingLogger log;
        MessageBusClient client(
            std::make_shared<Vanta::MessageBusShimImpl>(bus.handle(), FakeBusLibrary::functions()),
            std::make_shared<FixedSession>(c.session));
        EXPECT_EQ(c.sessionId, client.currentSessionId());
        ASSERT_EQ(1u, log->records().size());
        EXPECT_EQ(c.level, log->records()[0].level);
        EXPECT_EQ(L"MessageBusClient", log->records()[0].file);
        EXPECT_EQ(L"Vanta::MessageBusClient::MessageBusClient", log->records()[0].function);
        EXPECT_EQ(c.text, log->records()[0].text);
    }
    EXPECT_THROW(MessageBusClient(nullptr), Vanta::ModuleException);
}

TEST_F(MessageBusClientTest, AReplyIsPublishedAgainAsAPlainMessage) {
    struct Case {
        const char* what;
        uint32_t flags;
        size_t publishes;
        uint32_t flagsAfter;
        uint64_t replyIndexAfter;
    };
    const Case cases[] = {
        {"reply", 0x01, 2, 0x10, 0},
        {"reply, no copy wanted", 0x09, 1, 0x09, 5},
        {"reply, copy made", 0x11, 1, 0x11, 5},
        {"plain", 0x00, 1, 0x00, 5},
    };
    for (const bool second : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const size_t before = bus.calls().size();
            const auto sent = message(L"Answer");
            sent->getHeader()->flags = c.flags;
            sent->getHeader()->replyIndex = 5;
            EXPECT_EQ(0u, second ? client->publishEx(sent) : client->publish(sent));
            const auto calls = bus.calls();
            ASSERT_EQ(before + c.publishes, calls.size());
            EXPECT_EQ(second ? E::kPublishEx : E::kPublish, calls[before].entry);
            EXPECT_EQ(c.flagsAfter, uint32_t{sent->getHeader()->flags});
            EXPECT_EQ(c.replyIndexAfter, uint64_t{sent->getHeader()->replyIndex});
            if (c.publishes == 2) {
                // The reply itself carries its index and the copy mark; the copy neither.
                EXPECT_EQ(0x11u, uint32_t{calls[before].header->flags});
                EXPECT_EQ(5u, uint64_t{calls[before].header->replyIndex});
                EXPECT_EQ(0x10u, uint32_t{calls[before + 1].header->flags});
                EXPECT_EQ(0u, uint64_t{calls[before + 1].header->replyIndex});
                EXPECT_EQ(L"Answer", calls[before + 1].name);
            }
        }
    }
}

TEST_F(MessageBusClientTest, AFailedPublishIsLoggedAndAnswered) {
    testfakes::ScopedRecordingLogger log;
    bus.answer(E::kPublish, MODULE_STATUS_UNSUCCESSFUL);
    const auto sent = message(L"Answer");
    sent->setFlag(Message::kReplyFlag);
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, client->publish(sent));
    EXPECT_EQ(1u, bus.callsTo(E::kPublish).size());
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to publish message. Error code 2147483650."},
              log->texts());
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, client->publish(nullptr));
}

TEST_F(MessageBusClientTest, RequestIndicesCountAlsoFailedRequests) {
    testfakes::ScopedRecordingLogger log;
    bus.answer(E::kRequest, MODULE_STATUS_UNSUCCESSFUL);
    std::shared_ptr<Reply> reply;
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, client->request(message(L"Q"), reply, 100));
    EXPECT_FALSE(reply);
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to make request. Error code 2147483650."},
              log->texts());
    // The failed request left no slot behind.
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND, client->replyCallback(0, message(L"A"), 0));

    bus.answer(E::kRequest, MODULE_STATUS_SUCCESS);
    int completions = 0;
    EXPECT_EQ(0u, client->request(
                      message(L"Q"), [&](std::shared_ptr<Reply>) { ++completions; }, 100));
    EXPECT_EQ(0u, client->requestEx(message(L"Q"), reply, 100));
    const auto requests = bus.callsTo(E::kRequest);
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(0u, requests[0].replyIndex);
    EXPECT_EQ(1u, requests[1].replyIndex);
    ASSERT_EQ(1u, bus.callsTo(E::kRequestEx).size());
    EXPECT_EQ(2u, bus.callsTo(E::kRequestEx)[0].replyIndex);
    EXPECT_EQ(100u, bus.callsTo(E::kRequestEx)[0].timeoutMs);
    EXPECT_EQ(0, completions);
}

TEST_F(MessageBusClientTest, TheReplyStatusSettlesTheReply) {
    struct Case {
        const char* what;
        MODULE_STATUS status;
        bool withMessage;
        Vanta::ReplyStatus expected;
    };
    const Case cases[] = {
        {"answered", MODULE_STATUS_SUCCESS, true, Vanta::ReplyReceived},
        {"timed out", MODULE_STATUS_TIMEOUT, false, Vanta::ReplyTimedOut},
        {"failed", MODULE_STATUS_UNSUCCESSFUL, false, Vanta::ReplyFailed},
    };
    uint64_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<Reply> reply;
        ASSERT_EQ(0u, client->request(message(L"Q"), reply, 5000));
        ASSERT_TRUE(reply);
        std::optional<FakeBusLibrary::Delivery> answer;
        if (c.withMessage) {
            answer = FakeBusLibrary::message(L"Answer", L"{\"ok\":true}");
        }
        bus.postReply(index, c.status, answer);
        EXPECT_EQ(c.expected, reply->wait());
        if (c.expected == Vanta::ReplyReceived) {
            ASSERT_TRUE(reply->getMessage());
            EXPECT_EQ(L"{\"ok\":true}", reply->getMessage()->getData());
        }
        // A second answer for the same index finds nothing to settle.
        testfakes::ScopedRecordingLogger log;
        EXPECT_EQ(MODULE_STATUS_NOT_FOUND, client->replyCallback(index, message(L"Again"), 0));
        EXPECT_EQ(std::vector<std::wstring>{L"Reply index not found. Returning"}, log->texts());
        EXPECT_EQ(2u, log->records()[0].level);
        ++index;
    }
    // An answer that carries no message cannot be read as one.
    std::shared_ptr<Reply> reply;
    ASSERT_EQ(0u, client->request(message(L"Q"), reply, 5000));
    EXPECT_EQ(0u, client->replyCallback(index, nullptr, MODULE_STATUS_SUCCESS));
    EXPECT_EQ(Vanta::ReplyFailed, reply->wait());
}

TEST_F(MessageBusClientTest, AReplyFromInsideTheRequestCallIsMatched) {
    bus.onRequest([this](const FakeBusLibrary::Call& call) {
        EXPECT_EQ(0u, bus.replyNow(call.replyIndex, MODULE_STATUS_SUCCESS,
                                   FakeBusLibrary::message(L"Early")));
    });
    std::vector<Vanta::ReplyStatus> completed;
    EXPECT_EQ(0u,
              client->request(
                  message(L"Q"),
                  [&](std::shared_ptr<Reply> reply) { completed.push_back(reply->getStatus()); },
                  100));
    EXPECT_EQ(std::vector<Vanta::ReplyStatus>{Vanta::ReplyReceived}, completed);

    std::shared_ptr<Reply> reply;
    EXPECT_EQ(0u, client->request(message(L"Q"), reply, 100));
    EXPECT_EQ(Vanta::ReplyReceived, reply->waitFor(0));
    EXPECT_EQ(L"Early", reply->getMessage()->getName());
}

TEST_F(MessageBusClientTest, OneAliasGroupsSubscriptionsForOneUnsubscribe) {
    std::vector<std::wstring> seen;
    EXPECT_EQ(0u, client->subscribe(L"A", L"group", counting(seen, L"A")));
    EXPECT_EQ(0u, client->subscribeFilter(L"B.*", L"group", counting(seen, L"B")));
    EXPECT_EQ(0u, client->subscribe(L"C", L"group", counting(seen, L"C")));
    EXPECT_EQ(0u, client->subscribe(L"D", counting(seen, L"D"))); // alias "D"
    EXPECT_EQ(4u, bus.subscriptionCount());

    EXPECT_EQ(0u, client->unsubscribe(L"group"));
    std::vector<uint32_t> removed;
    for (const auto& call : bus.callsTo(E::kUnsubscribe)) {
        removed.push_back(call.id);
    }
    // Name subscriptions first, then patterns.
    EXPECT_EQ((std::vector<uint32_t>{1, 3, 2}), removed);
    EXPECT_EQ(1u, bus.subscriptionCount());

    testfakes::ScopedRecordingLogger log;
    EXPECT_EQ(0u, client->unsubscribe(L"group"));
    EXPECT_EQ(std::vector<std::wstring>{L"Subscription not found. Alias: group."}, log->texts());
    EXPECT_EQ(2u, log->records()[0].level);
}

TEST_F(MessageBusClientTest, ARefusedSubscriptionLeavesNoRecord) {
    testfakes::ScopedRecordingLogger log;
    std::vector<std::wstring> seen;
    bus.answerSubscriptions({0, 0});
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, client->subscribe(L"A", L"g", counting(seen, L"A")));
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL,
              client->subscribeFilter(L"A.*", L"p", counting(seen, L"P")));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              client->subscribeFilter(L"(unbalanced", L"q", counting(seen, L"Q")));
    EXPECT_EQ(1u, bus.callsTo(E::kSubscribeFilter).size()); // the invalid pattern never got there

    const auto texts = log->texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ(L"Failed to subscribe. Alias: g Message name: A", texts[0]);
    EXPECT_EQ(L"Failed to subscribeFilter. Alias: p Message nameRegex: A.*", texts[1]);
    EXPECT_EQ(0u, texts[2].rfind(L"subscribeFilter failed. Regex error with regex \"(unbalanced\" "
                                 L"[caught: ",
                                 0))
        << testing::PrintToString(texts[2]);
    EXPECT_EQ(L"Vanta::MessageBusClient::subscribeFilter", log->records()[2].function);

    EXPECT_EQ(0u, client->dispatchDirectMessage(message(L"A")));
    EXPECT_TRUE(seen.empty());
    // The aliases stay, empty: removing them asks the host for nothing.
    EXPECT_EQ(0u, client->unsubscribe(L"g"));
    EXPECT_TRUE(bus.callsTo(E::kUnsubscribe).empty());
}

TEST_F(MessageBusClientTest, DirectMessagesReachWholeNamesAndWholeNamePatternsOnly) {
    std::vector<std::wstring> seen;
    client->subscribe(L"Core.Update.State", counting(seen, L"exact"));
    client->subscribe(L"Core.Update", counting(seen, L"prefix"));
    client->subscribeFilter(L"Core\\.Update\\..*", counting(seen, L"pattern"));
    client->subscribeFilter(L"Update", counting(seen, L"part of the name"));
    client->subscribeFilter(L"core.*state", counting(seen, L"other case"));
    EXPECT_EQ(0u, client->dispatchDirectMessage(message(L"Core.Update.State")));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<std::wstring>{L"exact", L"pattern"}), seen);
}

TEST_F(MessageBusClientTest, AThrowingDirectCallbackStopsTheDeliveryAndFreesTheLock) {
    int later = 0;
    client->subscribe(L"Name", L"one", [](std::shared_ptr<Message>) -> MODULE_STATUS {
        throw std::runtime_error("callback failed");
    });
    client->subscribe(L"Name", L"one", [&later](std::shared_ptr<Message>) {
        ++later;
        return MODULE_STATUS_SUCCESS;
    });
    EXPECT_THROW(client->dispatchDirectMessage(message(L"Name")), std::runtime_error);
    EXPECT_EQ(0, later);
    EXPECT_EQ(0u, client->unsubscribe(L"one"));
}

TEST_F(MessageBusClientTest, PatternsAnswerForNamesOfAnyLength) {
    const std::wstring longName = L"Core." + std::wstring(1000000, L'a');
    std::vector<std::wstring> seen;
    // A backtracking matcher recurses once per character of this name and overflows the stack.
    ASSERT_EQ(0u, client->subscribeFilter(L"Core\\.(a|b)*", counting(seen, L"whole name")));
    ASSERT_EQ(0u, client->subscribeFilter(L"Core\\.b.*", counting(seen, L"other name")));
    EXPECT_EQ(0u, client->dispatchDirectMessage(message(longName)));
    EXPECT_EQ(std::vector<std::wstring>{L"whole name"}, seen);
    // Without captures a back-reference refers to nothing: the pattern is refused.
    testfakes::ScopedRecordingLogger log;
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              client->subscribeFilter(L"Core\\.(a)\\1*", counting(seen, L"back-reference")));
    EXPECT_EQ(1u, log->records().size());
}

class SessionSubscriptionTest : public MessageBusClientTest {
protected:
    SessionSubscriptionTest() : MessageBusClientTest(7) {}
};

TEST_F(SessionSubscriptionTest, MessagesOfOtherSessionsAreDropped) {
    std::vector<std::wstring> seen;
    ASSERT_EQ(0u, client->subscribeSession(L"S", counting(seen, L"S")));
    ASSERT_EQ(0u, client->subscribeFilterSession(L"S", L"pattern", counting(seen, L"P")));
    ASSERT_EQ(0u, client->subscribe(L"S", L"plain", counting(seen, L"any")));
    for (const uint32_t session : {5u, 0u, 7u}) {
        FakeBusLibrary::Delivery delivery = FakeBusLibrary::message(L"S");
        delivery.header.session.sessionId = session;
        bus.postToSubscribers(delivery);
        bus.drain();
        std::sort(seen.begin(), seen.end());
        SCOPED_TRACE(session);
        if (session == 5) {
            EXPECT_EQ(std::vector<std::wstring>{L"any"}, seen);
        } else {
            EXPECT_EQ((std::vector<std::wstring>{L"P", L"S", L"any"}), seen);
        }
        seen.clear();
    }
}

TEST_F(MessageBusClientTest, WithoutASessionTheSessionFormsDeliverEverything) {
    MessageBusClient noSession(
        std::make_shared<Vanta::MessageBusShimImpl>(bus.handle(), FakeBusLibrary::functions()),
        std::make_shared<FixedSession>(std::nullopt));
    std::vector<std::wstring> seen;
    ASSERT_EQ(0u, noSession.subscribeSession(L"S", counting(seen, L"S")));
    FakeBusLibrary::Delivery delivery = FakeBusLibrary::message(L"S");
    delivery.header.session.sessionId = 5;
    bus.postToSubscribers(delivery);
    bus.drain();
    EXPECT_EQ(std::vector<std::wstring>{L"S"}, seen);
}

TEST_F(MessageBusClientTest, DestructionRemovesEverythingAndFailsWaitingReplies) {
    std::vector<std::wstring> seen;
    client->subscribe(L"A", counting(seen, L"A"));
    client->subscribeFilter(L"B.*", counting(seen, L"B"));
    std::shared_ptr<Reply> reply;
    ASSERT_EQ(0u, client->request(message(L"Q"), reply, 60000));
    client.reset();

    EXPECT_EQ(2u, bus.callsTo(E::kUnsubscribe).size());
    EXPECT_EQ(0u, bus.subscriptionCount());
    // The client's drop, then the shim's own as it goes.
    const auto calls = bus.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(E::kDropReplies, calls[calls.size() - 2].entry);
    EXPECT_EQ(E::kDropReplies, calls.back().entry);
    EXPECT_EQ(0u, bus.pendingRequestCount());
    EXPECT_EQ(Vanta::ReplyFailed, reply->wait());
}
