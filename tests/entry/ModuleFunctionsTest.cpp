#include "entry/ModuleFunctions.h"

#include "TestPaths.h"
#include "fakes/ConduitLibrary.h"
#include "fakes/FakeBusLibrary.h"
#include "fakes/FakeLogBuilder.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ScratchRegistry.h"
#include "fakes/TestTrust.h"
#include "logging/LogTestSeam.h"
#include "module/BaseModule.h"
#include "platform/LibraryHandle.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Vanta;

namespace {

const KestrelModuleFunctions& table() {
    return *moduleFunctions();
}

// A module that is not a BaseModule: the table only initializes it.
class PlainModule final : public Module {
public:
    int initialized = 0;
    MODULE_STATUS initialize() override {
        ++initialized;
        return 0x80000004u;
    }
    MODULE_STATUS start() override { return MODULE_STATUS_SUCCESS; }
    MODULE_STATUS stop() override { return MODULE_STATUS_SUCCESS; }
    MODULE_STATUS uninitialize() override { return MODULE_STATUS_SUCCESS; }
};

// A base module that records what it was handed, and can refuse it.
class RecordingModule final : public BaseModule {
public:
    int initialized = 0;
    MODULE_STATUS refuseWith = MODULE_STATUS_SUCCESS;
    MODULE_STATUS initialize() override {
        ++initialized;
        return MODULE_STATUS_SUCCESS;
    }
    MODULE_STATUS baseInitialize(const std::wstring& givenName, const std::wstring& givenText,
                                 const Properties& props,
                                 std::shared_ptr<internal::ModuleManagerShim> givenManager,
                                 std::shared_ptr<MessageBus> givenBus) override {
        if (refuseWith != MODULE_STATUS_SUCCESS) {
            return refuseWith;
        }
        return BaseModule::baseInitialize(givenName, givenText, props, givenManager, givenBus);
    }
};

// A handle over a module the test owns: the deleter leaves it alone.
KestrelModule handleOver(Module* module) {
    return KestrelModule{[](Module*) {}, module};
}

MODULE_STATUS initializeV2(KestrelModule& handle, uint32_t count, const wchar_t* const* keys,
                           const wchar_t* const* values,
                           const KestrelMessageBusFunctions* functions, KestrelBusHandle bus) {
    return table().initializeModuleV2(&handle, L"Glance", L"text", count, keys, values, nullptr,
                                      nullptr, bus, functions);
}

class ModuleFunctionsTest : public ::testing::Test {
protected:
    testfakes::ScopedRecordingLogger log;
    testfakes::FakeBusLibrary bus;
};

} // namespace

TEST_F(ModuleFunctionsTest, HandleChecksComeFirstUnderEachTableName) {
    KestrelModule empty = handleOver(nullptr);
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, table().newModule(nullptr, nullptr));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, table().destroyModule(nullptr));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, table().startModule(&empty));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, table().stopModule(nullptr));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER, table().uninitializeModule(&empty));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              table().directMessage(&empty, nullptr, L"n", L"s", L"d"));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              table().initializeModule(&empty, L"", L"", 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(MODULE_STATUS_INVALID_PARAMETER,
              initializeV2(empty, 0, nullptr, nullptr, testfakes::FakeBusLibrary::functions(),
                           bus.handle()));
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"NewModule", L"Invalid handle address."},  {L"DestroyModule", L"Invalid handle."},
        {L"StartModule", L"Invalid handle."},        {L"StopModule", L"Invalid handle."},
        {L"UninitializeModule", L"Invalid handle."}, {L"DirectMessage", L"Invalid handle."},
        {L"InitializeModule", L"Invalid handle."},   {L"InitializeModuleV2", L"Invalid handle."},
    };
    const auto records = log->records();
    ASSERT_EQ(expected.size(), records.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(4u, records[i].level);
        EXPECT_EQ(L"ModuleFunctions", records[i].file);
        EXPECT_EQ(expected[i].first, records[i].function);
        EXPECT_EQ(expected[i].second, records[i].text);
    }
}

TEST_F(ModuleFunctionsTest, DestroyingAHandleWithoutModuleFreesIt) {
    // Allocated as NewModule does; DestroyModule frees it (the leak checker watches).
    EXPECT_EQ(MODULE_STATUS_SUCCESS, table().destroyModule(new KestrelModule{nullptr, nullptr}));
}

TEST_F(ModuleFunctionsTest, AModuleThatIsNotABaseModuleIsOnlyInitialized) {
    PlainModule plain;
    KestrelModule handle = handleOver(&plain);
    EXPECT_EQ(0x80000004u, initializeV2(handle, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, plain.initialized);
    EXPECT_EQ(MODULE_STATUS_SUCCESS, table().directMessage(&handle, nullptr, L"n", L"s", L"d"));
}

TEST_F(ModuleFunctionsTest, PropertiesKeepTheirFirstValue) {
    const wchar_t* keys[] = {L"a", L"b", L"a"};
    const wchar_t* values[] = {L"1", L"2", L"3"};
    {
        RecordingModule module;
        KestrelModule handle = handleOver(&module);
        EXPECT_EQ(MODULE_STATUS_SUCCESS,
                  initializeV2(handle, 3, keys, values, testfakes::FakeBusLibrary::functions(),
                               bus.handle()));
        EXPECT_EQ((BaseModule::Properties{{L"a", L"1"}, {L"b", L"2"}}), module.moduleProperties());
        EXPECT_EQ(1, module.initialized);
    }
    {
        RecordingModule module;
        KestrelModule handle = handleOver(&module);
        EXPECT_EQ(MODULE_STATUS_SUCCESS,
                  initializeV2(handle, 0, keys, values, testfakes::FakeBusLibrary::functions(),
                               bus.handle()));
        EXPECT_TRUE(module.moduleProperties().empty());
        EXPECT_EQ(1, module.initialized);
    }
}

TEST_F(ModuleFunctionsTest, FailedInitializationsNeverReachInitialize) {
    RecordingModule module;
    KestrelModule handle = handleOver(&module);
    EXPECT_EQ(MODULE_STATUS_UNKNOWN_EXCEPTION,
              initializeV2(handle, 0, nullptr, nullptr, nullptr, bus.handle()));
    module.refuseWith = MODULE_STATUS_UNSUCCESSFUL;
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL,
              initializeV2(handle, 0, nullptr, nullptr, testfakes::FakeBusLibrary::functions(),
                           bus.handle()));
    EXPECT_EQ(0, module.initialized);
    EXPECT_EQ(L"Failed to initialize base module. Error code 2147483650.", log->texts().back());
}

// The shipped library, loaded once and kept for the process: its logger and
// tables live as long as it does.
ModuleHandle shippedGlance() {
    static const ModuleHandle glance = loadLibraryFile(std::wstring(GLANCE_SHIPPED_FOLDER) +
                                                       GLANCE_FIXTURE_SEPARATOR + L"Glance.dll")
                                           .release();
    return glance;
}

TEST(ModuleFunctionsLogGroup, OnlyANamedGroupSetsTheLogParameters) {
    // The module finds its resource library beside Glance.dll, which must be loaded.
    ASSERT_NE(nullptr, shippedGlance());
    struct Case {
        const wchar_t* group;
        const wchar_t* built;
    } cases[] = {{nullptr, L"_no_group"}, {L"", L"_no_group"}, {L"Tiles", L"Tiles"}};
    for (const Case& c : cases) {
        ETWLogging::resetLogFrontEndForTesting();
        testfakes::FakeLogBuilder builder;
        ETWLogging::installLogBuilderForTesting(&builder);
        KestrelModuleHandle handle = nullptr;
        ASSERT_EQ(MODULE_STATUS_SUCCESS, table().newModule(&handle, c.group));
        EXPECT_EQ(MODULE_STATUS_SUCCESS, table().destroyModule(handle));
        ASSERT_FALSE(builder.calls.empty());
        EXPECT_EQ(c.built, builder.calls[0].group);
        ETWLogging::resetLogFrontEndForTesting();
    }
}

TEST(GlanceLibrary, ExportsItsVersionAndRunsOverConduit) {
    testfakes::useTestTrustStores();
    testfakes::useScratchRegistry();
    const ModuleHandle glance = shippedGlance();
    ASSERT_NE(nullptr, glance);
    const auto versionNum = reinterpret_cast<KestrelModuleGetVersionNumFn>(
        libraryExport(glance, KESTREL_MODULE_EXPORT_GET_VERSION_NUM));
    const auto versionStr = reinterpret_cast<KestrelModuleGetVersionStrFn>(
        libraryExport(glance, KESTREL_MODULE_EXPORT_GET_VERSION_STR));
    const auto release = reinterpret_cast<KestrelModuleReleaseObjectFn>(
        libraryExport(glance, KESTREL_MODULE_EXPORT_RELEASE_OBJECT));
    const auto create = reinterpret_cast<KestrelModuleCreateObjectFn>(
        libraryExport(glance, KESTREL_MODULE_EXPORT_CREATE_OBJECT));
    ASSERT_TRUE(versionNum && versionStr && release && create);
    EXPECT_EQ(2001000u, versionNum());
    EXPECT_STREQ("2.1.0", versionStr());
    release();
    const KestrelModuleFunctions* functions = create();
    ASSERT_NE(nullptr, functions);
    EXPECT_EQ(functions, create());

    // The host's order, over the real bus.
    const KestrelMessageBusFunctions& conduit = testfakes::conduit();
    KestrelBusHandle bus = nullptr;
    ASSERT_EQ(MODULE_STATUS_SUCCESS, conduit.open(&bus));
    KestrelModuleHandle module = nullptr;
    ASSERT_EQ(MODULE_STATUS_SUCCESS, functions->newModule(&module, L"Tests"));
    EXPECT_EQ(MODULE_STATUS_SUCCESS,
              functions->initializeModuleV2(module, L"Glance", L"", 0, nullptr, nullptr, nullptr,
                                            nullptr, bus, &conduit));
    EXPECT_EQ(MODULE_STATUS_SUCCESS, functions->startModule(module));
    EXPECT_EQ(MODULE_STATUS_SUCCESS,
              functions->directMessage(module, nullptr, L"Core.Firewall.State", L"",
                                       L"{\"state\":\"off\"}"));
    EXPECT_EQ(MODULE_STATUS_SUCCESS, functions->stopModule(module));
    EXPECT_EQ(MODULE_STATUS_SUCCESS, functions->uninitializeModule(module));
    EXPECT_EQ(MODULE_STATUS_SUCCESS, functions->destroyModule(module));
    EXPECT_EQ(MODULE_STATUS_SUCCESS, conduit.release(bus));
}
