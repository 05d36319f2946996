#include "loader/SharedLibrary.h"

#include "TestPaths.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ScratchFolder.h"
#include "fakes/ScratchRegistry.h"
#include "fakes/TestTrust.h"
#include "platform/CObfuscatedRegKey.h"
#include "platform/FileSystemPath.h"
#include "platform/LibraryHandle.h"
#include "platform/RegistryTypes.h"
#include "status/ModuleException.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

using namespace Vanta;

namespace {

const std::wstring kSigned = GLANCE_BUILT_FIXTURES;
const std::wstring kUnsigned =
    std::wstring(GLANCE_BUILT_FIXTURES) + GLANCE_FIXTURE_SEPARATOR + L"unsigned";

bool logged(const testfakes::RecordingLogger& logger, const std::wstring& text, int32_t line = -1) {
    for (const testfakes::LogRecord& record : logger.records()) {
        if (record.text == text && (line < 0 || record.line == line)) {
            return true;
        }
    }
    return false;
}

std::string thrownBy(LibraryDescriptor descriptor, std::shared_ptr<DllLoader> loader = nullptr) {
    try {
        SharedLibrary library(std::move(descriptor), std::move(loader));
    } catch (const ModuleException& error) {
        return error.what();
    }
    return "nothing thrown";
}

class SharedLibraryTest : public ::testing::Test {
protected:
    SharedLibraryTest() {
        testfakes::useTestTrustStores();
        testfakes::useScratchRegistry();
    }
    testfakes::ScopedRecordingLogger log;
};

// The block list of one library, written as the loader reads it and removed after.
class BlockListEntry {
public:
    BlockListEntry(const std::wstring& lowerName, const std::wstring& version,
                   const std::wstring& data)
        : name_(lowerName) {
        Strato::CObfuscatedRegKey key;
        const std::wstring path = L"SOFTWARE\\Talmor\\Pellix\\List\\" + lowerName;
        EXPECT_EQ(0u, key.Create(Strato::kHKeyLocalMachine, path.c_str()));
        EXPECT_EQ(0u, key.SetStringValue(version.c_str(), data.c_str()));
    }
    ~BlockListEntry() {
        Strato::CRegKey list;
        if (list.Open(Strato::kHKeyLocalMachine, L"SOFTWARE\\Talmor\\Pellix\\List") == 0) {
            list.RecurseDeleteKey(name_.c_str());
        }
    }

private:
    std::wstring name_;
};

} // namespace

TEST_F(SharedLibraryTest, LoadsAndImportsFromTheFirstFolderHoldingTheLibrary) {
    SharedLibrary library(
        {L"ModuleFixture.dll", {L"$(No.Such.Macro)", kUnsigned + L"-none", kSigned}});
    const ImportedFunctions* functions = library.functions();
    ASSERT_NE(nullptr, functions->getVersionNum);
    EXPECT_NE(nullptr, functions->createObject);
    EXPECT_NE(nullptr, functions->releaseObject);
    EXPECT_NE(nullptr, functions->getVersionStr);
    EXPECT_EQ(1020304u, reinterpret_cast<uint32_t (*)()>(functions->getVersionNum)());
    EXPECT_TRUE(logged(*log, L"Loading ModuleFixture.dll from " + kSigned + L".", 200));
}

TEST_F(SharedLibraryTest, FailuresEndConstructionWithTheirLogLines) {
    EXPECT_EQ("Failed to load library", thrownBy({L"Missing.dll", {kSigned}}));
    EXPECT_TRUE(logged(*log, L"Failed to find valid path for library: Missing.dll.", 196));
    EXPECT_TRUE(
        logged(*log, L"Failed to load library: Missing.dll. Throwing ModuleException.", 69));

    log->clear();
    EXPECT_EQ("Failed to load library", thrownBy({L"ModuleFixture.dll", {kUnsigned}}));
    EXPECT_TRUE(logged(
        *log, L"Failed to load library. Error code: MODULE_STATUS_UNSUCCESSFUL(2147483650).", 58));
    EXPECT_TRUE(logged(*log, L"Failed to load library: ModuleFixture.dll.", 213));

    log->clear();
    EXPECT_EQ("Failed to import functions from library",
              thrownBy({L"NoVersionNum.dll", {kSigned}}));
    EXPECT_TRUE(logged(
        *log, L"Failed to load GetVersionNum function from library: NoVersionNum.dll.", 253));
    EXPECT_TRUE(logged(
        *log,
        L"Failed to import functions from library: NoVersionNum.dll. Throwing ModuleException.",
        76));
    // Unloaded again: the process no longer holds it.
    const ModuleHandle still =
        loadedLibrary(kSigned + GLANCE_FIXTURE_SEPARATOR + L"NoVersionNum.dll");
    EXPECT_EQ(nullptr, still);
    if (still != nullptr) {
        unmapLibrary(still);
    }
}

TEST_F(SharedLibraryTest, TheBlockListNamesAFileVersion) {
    const std::wstring path = kSigned + GLANCE_FIXTURE_SEPARATOR + L"Versioned.dll";
    {
        BlockListEntry entry(L"versioned.dll", L"1.2.3.4", L"1.2.3.4");
        EXPECT_EQ("Failed to load library", thrownBy({L"Versioned.dll", {kSigned}}));
        EXPECT_TRUE(logged(*log, L"Blocked library: " + path + L".", 207));
    }
    {
        BlockListEntry entry(L"versioned.dll", L"1.2.3.4", L"1.2.3.5");
        EXPECT_NO_THROW(SharedLibrary({L"Versioned.dll", {kSigned}}));
    }
    {
        // A library without version information is never blocked.
        BlockListEntry entry(L"modulefixture.dll", L"", L"");
        EXPECT_NO_THROW(SharedLibrary({L"ModuleFixture.dll", {kSigned}}));
    }
}

TEST_F(SharedLibraryTest, HostLibrariesAreExemptWhateverTheirCase) {
    class CountingVersions final : public Strato::FileVersionInfo {
    public:
        int loads = 0;
        bool load(const std::wstring&) override {
            ++loads;
            return true;
        }
        void getString(std::wstring& out, const std::wstring&) override { out = L"1.2.3.4"; }
    };
    testfakes::ScratchFolder scratch;
    std::filesystem::copy_file(Vanta::toFileSystemPath(GLANCE_CONDUIT_LIBRARY),
                               scratch.path() / "CONDUIT.DLL");
    BlockListEntry entry(L"conduit.dll", L"1.2.3.4", L"1.2.3.4");
    auto versions = std::make_shared<CountingVersions>();
    EXPECT_NO_THROW(SharedLibrary({L"CONDUIT.DLL", {testfakes::widePath(scratch.path())}}, nullptr,
                                  nullptr, nullptr, versions));
    EXPECT_EQ(0, versions->loads);
}

TEST_F(SharedLibraryTest, ALibraryAlreadyLoadedIsNotCheckedAgain) {
    std::atomic<int> checks{0};
    auto loader = std::make_shared<DllLoader>(std::make_shared<DllAPI>([&](const std::wstring&) {
        ++checks;
        return 0u;
    }));
    SharedLibrary first({L"ModuleFixture.dll", {kSigned}}, loader);
    SharedLibrary second({L"ModuleFixture.dll", {kSigned}}, loader);
    EXPECT_EQ(1, checks.load());
    EXPECT_EQ(first.functions()->createObject, second.functions()->createObject);
}

TEST_F(SharedLibraryTest, TheLoaderRefusesAMissingHandleOut) {
    DllLoader loader;
    EXPECT_FALSE(loader.loadDLL(kSigned, nullptr));
    ASSERT_EQ(1u, log->records().size());
    EXPECT_EQ(2u, log->records()[0].level);
    EXPECT_EQ(39, log->records()[0].line);
    EXPECT_EQ(L"Invalid pHandle specified. Exiting.", log->records()[0].text);
}
