#include "module/BaseModule.h"

#include "fakes/FakeBusLibrary.h"
#include "fakes/RecordingLogger.h"
#include "messagebus/Message.h"
#include "messagebus/MessageBusClient.h"
#include "messagebus/MessageBusShimImpl.h"
#include "messagebus/Reply.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Vanta::BaseModule;
using Vanta::Completion;
using Vanta::Message;
using Vanta::MessageCallback;
using Vanta::Reply;
using Vanta::internal::ModuleManagerShim;

namespace {

// Records which slot was called and answers the slot's number as its status.
class SlotRecordingBus : public Vanta::MessageBus {
public:
    std::vector<int> slots;

    MODULE_STATUS publish(std::shared_ptr<Message>) override { return hit(1); }
    MODULE_STATUS publishEx(std::shared_ptr<Message>) override { return hit(2); }
    MODULE_STATUS request(std::shared_ptr<Message>, Completion, uint64_t) override {
        return hit(3);
    }
    MODULE_STATUS request(std::shared_ptr<Message>, std::shared_ptr<Reply>&, uint64_t) override {
        return hit(4);
    }
    MODULE_STATUS requestEx(std::shared_ptr<Message>, Completion, uint64_t) override {
        return hit(5);
    }
    MODULE_STATUS requestEx(std::shared_ptr<Message>, std::shared_ptr<Reply>&, uint64_t) override {
        return hit(6);
    }
    MODULE_STATUS subscribe(const std::wstring&, const std::wstring&, MessageCallback) override {
        return hit(7);
    }
    MODULE_STATUS subscribe(const std::wstring&, MessageCallback) override { return hit(8); }
    MODULE_STATUS subscribeSession(const std::wstring&, const std::wstring&,
                                   MessageCallback) override {
        return hit(9);
    }
    MODULE_STATUS subscribeSession(const std::wstring&, MessageCallback) override {
        return hit(10);
    }
    MODULE_STATUS subscribeFilter(const std::wstring&, const std::wstring&,
                                  MessageCallback) override {
        return hit(11);
    }
    MODULE_STATUS subscribeFilter(const std::wstring&, MessageCallback) override { return hit(12); }
    MODULE_STATUS subscribeFilterSession(const std::wstring&, const std::wstring&,
                                         MessageCallback) override {
        return hit(13);
    }
    MODULE_STATUS subscribeFilterSession(const std::wstring&, MessageCallback) override {
        return hit(14);
    }
    MODULE_STATUS unsubscribe(const std::wstring&) override { return hit(15); }

private:
    MODULE_STATUS hit(int slot) {
        slots.push_back(slot);
        return static_cast<MODULE_STATUS>(slot);
    }
};

std::shared_ptr<ModuleManagerShim> manager() {
    return std::make_shared<ModuleManagerShim>(nullptr, nullptr);
}

} // namespace

TEST(BaseModule, BaseInitializeNeedsAManagerAndABus) {
    auto bus = std::make_shared<SlotRecordingBus>();
    struct Case {
        bool withManager;
        bool withBus;
        MODULE_STATUS expected;
        std::vector<std::wstring> logged;
    };
    const Case cases[] = {
        {false,
         true,
         MODULE_STATUS_INVALID_PARAMETER,
         {L"Invalid module manager object passed to base initialize."}},
        {false,
         false,
         MODULE_STATUS_INVALID_PARAMETER,
         {L"Invalid module manager object passed to base initialize."}},
        {true,
         false,
         MODULE_STATUS_INVALID_PARAMETER,
         {L"Invalid message bus object passed to base initialize."}},
        {true, true, MODULE_STATUS_SUCCESS, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        testfakes::ScopedRecordingLogger log;
        BaseModule module;
        const auto given = c.withManager ? manager() : nullptr;
        EXPECT_EQ(c.expected, module.baseInitialize(L"Glance", L"text", {{L"k", L"v"}}, given,
                                                    c.withBus ? bus : nullptr));
        EXPECT_EQ(c.logged, log->texts());
        EXPECT_EQ(L"Glance", module.moduleName());
        EXPECT_EQ(1u, module.moduleProperties().size());
        EXPECT_EQ(given, module.manager());
        EXPECT_EQ(c.expected == 0, module.iocContainer()->isRegistered<Vanta::MessageBus>());
        for (const auto& record : log->records()) {
            EXPECT_EQ(4u, record.level);
            EXPECT_EQ(L"Vanta::BaseModule::baseInitialize", record.function);
        }
    }
}

TEST(BaseModule, ASecondInitializeReplacesTheRegisteredBus) {
    auto container = std::make_shared<Strato::IOCContainer>();
    BaseModule module(container);
    auto first = std::make_shared<SlotRecordingBus>();
    auto second = std::make_shared<SlotRecordingBus>();
    ASSERT_EQ(0u, module.baseInitialize(L"Glance", L"", {}, manager(), first));
    ASSERT_EQ(0u, module.baseInitialize(L"Glance", L"", {}, manager(), second));
    EXPECT_EQ(second, container->resolve<Vanta::MessageBus>());
    EXPECT_FALSE(container->resolve<Vanta::MessageBus>(L"other name"));
    EXPECT_FALSE(container->resolve<SlotRecordingBus>());
}

TEST(BaseModule, EveryBusOperationGoesToTheBusItHolds) {
    auto bus = std::make_shared<SlotRecordingBus>();
    BaseModule module;
    ASSERT_EQ(0u, module.baseInitialize(L"Glance", L"", {}, manager(), bus));
    Vanta::MessageBus& asBus = module;
    std::shared_ptr<Reply> reply;
    const auto m = Vanta::createMessage(L"n", L"s", L"d");
    const MODULE_STATUS answers[] = {
        asBus.publish(m),
        asBus.publishEx(m),
        asBus.request(m, Completion{}, 1),
        asBus.request(m, reply, 1),
        asBus.requestEx(m, Completion{}, 1),
        asBus.requestEx(m, reply, 1),
        asBus.subscribe(L"n", L"a", {}),
        asBus.subscribe(L"n", {}),
        asBus.subscribeSession(L"n", L"a", {}),
        asBus.subscribeSession(L"n", {}),
        asBus.subscribeFilter(L"n", L"a", {}),
        asBus.subscribeFilter(L"n", {}),
        asBus.subscribeFilterSession(L"n", L"a", {}),
        asBus.subscribeFilterSession(L"n", {}),
        asBus.unsubscribe(L"a"),
    };
    const std::vector<int> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(expected, bus->slots);
    for (size_t i = 0; i < std::size(answers); ++i) {
        EXPECT_EQ(i + 1, answers[i]);
    }
    // The life cycle of a module that overrides nothing.
    EXPECT_EQ(0u, module.initialize());
    EXPECT_EQ(0u, module.start());
    EXPECT_EQ(0u, module.stop());
    EXPECT_EQ(0u, module.uninitialize());
}

TEST(BaseModule, DirectMessagesNeedTheBusClient) {
    testfakes::ScopedRecordingLogger log;
    BaseModule plain;
    EXPECT_EQ(MODULE_STATUS_INVALID_STATE,
              plain.directMessage(Vanta::createMessage(L"n", L"", L"")));
    ASSERT_EQ(0u, plain.baseInitialize(L"Glance", L"", {}, manager(),
                                       std::make_shared<SlotRecordingBus>()));
    EXPECT_EQ(MODULE_STATUS_INVALID_STATE,
              plain.directMessage(Vanta::createMessage(L"n", L"", L"")));
    EXPECT_EQ(std::vector<std::wstring>(
                  2, L"Failed to process direct message. Invalid message bus client."),
              log->texts());

    testfakes::FakeBusLibrary library;
    auto client =
        std::make_shared<Vanta::MessageBusClient>(std::make_shared<Vanta::MessageBusShimImpl>(
            library.handle(), testfakes::FakeBusLibrary::functions()));
    BaseModule module;
    ASSERT_EQ(0u, module.baseInitialize(L"Glance", L"", {}, manager(), client));
    int delivered = 0;
    module.subscribe(L"Core.Update.State", [&delivered](std::shared_ptr<Message>) {
        ++delivered;
        return MODULE_STATUS_SUCCESS;
    });
    EXPECT_EQ(0u, module.directMessage(Vanta::createMessage(L"Core.Update.State", L"", L"")));
    EXPECT_EQ(1, delivered);
}

TEST(ModuleManagerShim, TheSecondArgumentIsAlwaysZero) {
    static void* seen[4];
    auto function = [](void* handle, void* a, void* b, void* c) -> MODULE_STATUS {
        seen[0] = handle;
        seen[1] = a;
        seen[2] = b;
        seen[3] = c;
        return 0x1234;
    };
    int handle = 0, a = 0, b = 0, c = 0;
    ModuleManagerShim shim(&handle, function);
    EXPECT_EQ(0x1234u, shim.invoke(&a, &b, &c));
    EXPECT_EQ(&handle, seen[0]);
    EXPECT_EQ(&a, seen[1]);
    EXPECT_EQ(nullptr, seen[2]);
    EXPECT_EQ(&c, seen[3]);
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              ModuleManagerShim(&handle, nullptr).invoke(&a, &b, &c));
}
