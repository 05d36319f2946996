// Where the trace sink's configuration comes from, the module's identity in
// its events, and the fields block it builds them in.
#include "logging/ETWAppProperties.h"
#include "logging/ModuleFileIdentity.h"
#include "logging/TraceFieldsBlock.h"
#include "platform/CRegKey.h"
#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"

#include "TestPaths.h"
#include "fakes/ScratchTraceKey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ETWLogging::internal::ETWAppProperties;
using testfakes::ScratchTraceKey;

std::wstring inSeparator(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'\\') {
            c = Vanta::kPathSeparator;
        }
    }
    return path;
}

TEST(ETWAppProperties, ReadsTheApplicationKeyOnce) {
    ScratchTraceKey key;
    ETWAppProperties properties;
    ASSERT_TRUE(properties.Load(ScratchTraceKey::name().c_str()));
    std::wstring root;
    ASSERT_TRUE(properties.GetRootFolder(root));
    EXPECT_EQ(ScratchTraceKey::path(), properties.applicationKeyPath());
    EXPECT_EQ(ScratchTraceKey::path(L"Provider"), properties.providerKeyPath());
    EXPECT_EQ(ScratchTraceKey::path(L"Controller"), properties.controllerKeyPath());
    EXPECT_EQ(key.provider, properties.providerGuid());
    EXPECT_EQ(ScratchTraceKey::kSessionId, properties.sessionId());
    EXPECT_EQ(L"Test session", properties.sessionName());
    EXPECT_EQ(L"controller.exe", properties.controllerPath());
    EXPECT_EQ(L"Test mutex", properties.ownerMutexName());
    EXPECT_EQ(root + L"/logs", properties.logPath());
    // "ETL Path" is missing: its default.
    EXPECT_EQ(root + inSeparator(L"\\Talmor\\TMLOGS\\ETW"), properties.traceFileFolder());
    EXPECT_EQ(properties.traceFileFolder() + Vanta::kPathSeparator + L"tmlogs.etl",
              properties.traceFile());
    EXPECT_FALSE(properties.Load(ScratchTraceKey::name().c_str()));
}

TEST(ETWAppProperties, MissingSubkeyOrValueFailsTheLoad) {
    struct Case {
        const wchar_t* key;
        const wchar_t* value; // null: remove the whole subkey
    };
    const Case cases[] = {
        {L"Session", nullptr},
        {L"Provider", nullptr},
        {L"Controller", nullptr},
        {L"Provider", L"Provider Guid"},
        {L"Session", L"Session Name"},
        {L"Session", L"Session ID Guid"},
        {L"Controller", L"Owner Mutex Name"},
        {L"Controller", L"Controller Path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Vanta::toUtf8(c.key) << " "
                                        << (c.value ? Vanta::toUtf8(c.value) : "(key)"));
        ScratchTraceKey key;
        if (c.value == nullptr) {
            ScratchTraceKey::removeKey(L"", c.key);
        } else {
            Strato::CRegKey subkey;
            ASSERT_EQ(Strato::kErrorSuccess,
                      subkey.Open(Strato::kHKeyLocalMachine, ScratchTraceKey::path(c.key).c_str()));
            subkey.DeleteValue(c.value);
        }
        EXPECT_FALSE(ETWAppProperties().Load(ScratchTraceKey::name().c_str()));
    }
}

TEST(ETWAppProperties, DefaultsOnlyForKSQ) {
    testfakes::useScratchRegistry();
    ETWAppProperties defaults;
    ASSERT_TRUE(defaults.Load(L""));
    EXPECT_EQ(L"KSQ", defaults.applicationKeyName());
    EXPECT_EQ(L"SOFTWARE\\Talmor.logging\\KSQ", defaults.GetKeyPath());
    EXPECT_EQ(L"SOFTWARE\\Talmor\\Logging", defaults.applicationKeyPath());
    EXPECT_EQ(L"SOFTWARE\\Talmor\\Logging\\Controller", defaults.controllerKeyPath());
    EXPECT_EQ(L"Global\\Talmor.{0696D115-BE52-46c3-BFEE-D73A305B6581}", defaults.ownerMutexName());
    EXPECT_EQ(L"Talmor.{E4367DA7-2B80-47f3-86D2-7626A18FC6F4}", defaults.sessionName());
    EXPECT_EQ(L"{491FB070-54CC-11E0-B8AF-0800200C9A66}", Strato::formatGuid(defaults.sessionId()));
    EXPECT_EQ(L"{E16CA450-55CC-11E0-B8AF-0800200C9A66}",
              Strato::formatGuid(defaults.providerGuid()));
    EXPECT_TRUE(defaults.controllerPath().empty());
    EXPECT_EQ(defaults.rootFolder() + inSeparator(L"\\Talmor\\TMLOGS"), defaults.logPath());

    EXPECT_TRUE(ETWAppProperties().Load(L"kSq"));
    EXPECT_FALSE(ETWAppProperties().Load(L"Other"));
}

TEST(ModuleFileIdentity, CommaVersionsAreWrittenWithDots) {
    struct Case {
        const wchar_t* stored;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {L"1,2,3,4", L"1.2.3.4"},
        {L"1, 0, 0, 1", L"1.0.0.1"},
        {L"10,20,30,4000000000", L"10.20.30.4000000000"},
        {L"1.0.0.1", L"1.0.0.1"},
        {L"1,2,3", L"1,2,3"},
        {L"1,2,,4", L"1,2,,4"},
        {L"a,b,c,d", L"a,b,c,d"},
        {L"1,2,3,99999999999", L"1,2,3,99999999999"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Vanta::toUtf8(c.stored));
        EXPECT_EQ(c.shown, ETWLogging::dottedFileVersion(c.stored));
    }
    const auto versioned = ETWLogging::readModuleFileIdentity(GLANCE_VERSION_FIXTURE);
    EXPECT_EQ(L"VersionFixture.dll", versioned.fileName);
    EXPECT_EQ(L"1.2.3.4", versioned.version); // the first translation's
    const auto unversioned = ETWLogging::readModuleFileIdentity(GLANCE_UNVERSIONED_FIXTURE);
    EXPECT_EQ(L"UnversionedFixture.dll", unversioned.fileName);
    EXPECT_TRUE(unversioned.version.empty());
}

TEST(TraceFieldsBlock, GrowsByHalfAndKeepsWhatItHolds) {
    ETWLogging::TraceFieldsBlock block;
    block.appendU32(0x04030201);
    EXPECT_EQ(256u, block.capacity());
    const std::wstring text(200, L'x');
    block.appendCounted(text.c_str()); // 4 + 2 + 400 bytes
    EXPECT_EQ(576u, block.capacity()); // 256, 384, 576
    block.appendCounted(nullptr);
    ASSERT_EQ(408u, block.size());
    EXPECT_EQ(0x01, block.data()[0]);
    EXPECT_EQ(0x04, block.data()[3]);
    EXPECT_EQ(200, block.data()[4]);
    EXPECT_EQ('x', block.data()[6]);
    EXPECT_EQ(0, block.data()[407]);

    // A count holds at most 65535 units.
    ETWLogging::TraceFieldsBlock longest;
    const std::wstring huge(70000, L'y');
    longest.appendCounted(huge.c_str());
    EXPECT_EQ(2u + 2u * 65535u, longest.size());
    EXPECT_EQ(0xFF, longest.data()[0]);
    EXPECT_EQ(0xFF, longest.data()[1]);
}

} // namespace
