#include "messagebus/MessageBusLib.h"

#include "TestPaths.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ScratchFolder.h"
#include "fakes/TestTrust.h"
#include "messagebus/MessageBusClient.h"
#include "platform/FileSystemPath.h"
#include "platform/PathSeparator.h"
#include "status/ModuleException.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace Vanta;

namespace {

const std::wstring kSigned = GLANCE_BUILT_FIXTURES;

bool logged(const testfakes::RecordingLogger& logger, const std::wstring& prefix) {
    for (const testfakes::LogRecord& record : logger.records()) {
        if (record.text.compare(0, prefix.size(), prefix) == 0) {
            return true;
        }
    }
    return false;
}

class MessageBusLibTest : public ::testing::Test {
protected:
    MessageBusLibTest() { testfakes::useTestTrustStores(); }
    testfakes::ScopedRecordingLogger log;
};

std::string thrownOver(const std::wstring& folder, const wchar_t* name) {
    try {
        MessageBusLib bus(std::make_shared<SharedLibrary>(LibraryDescriptor{name, {folder}}));
    } catch (const ModuleException& error) {
        return error.what();
    }
    return "nothing thrown";
}

} // namespace

TEST_F(MessageBusLibTest, OpensTheSignedBusLibraryBesideTheProgram) {
    {
        MessageBusLib bus;
        EXPECT_EQ(MODULE_STATUS_SUCCESS, bus.dropReplies());
    }
    EXPECT_TRUE(logged(*log, L"M12NPerfTimer|MessageBusLib::MessageBusLib|"));
    EXPECT_NO_THROW(MessageBusClient());
}

TEST_F(MessageBusLibTest, ABusThatCannotBeOpenedEndsConstruction) {
    EXPECT_EQ("Failed to get message bus functions object", thrownOver(kSigned, L"NullBus.dll"));
    EXPECT_TRUE(
        logged(*log, L"Failed to get message bus functions object. Throwing ModuleException."));
    EXPECT_EQ("Failed to get message bus handle", thrownOver(kSigned, L"FailingBus.dll"));
    EXPECT_TRUE(logged(*log, L"Failed to get message bus handle. Error code: "
                             L"MODULE_STATUS_UNSUCCESSFUL(2147483650). Throwing ModuleException."));
}

TEST_F(MessageBusLibTest, AnUnsignedOrAlteredBusLibraryIsNotLoaded) {
    testfakes::ScratchFolder scratch;
    std::ifstream original(Vanta::toFileSystemPath(GLANCE_CONDUIT_LIBRARY), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x20);
    scratch.write(L"Conduit.dll", bytes);
    EXPECT_EQ("Failed to load library",
              thrownOver(testfakes::widePath(scratch.path()), L"Conduit.dll"));
    const std::wstring unsigned_ = kSigned + GLANCE_FIXTURE_SEPARATOR + L"unsigned";
    EXPECT_EQ("Failed to load library", thrownOver(unsigned_, L"ModuleFixture.dll"));
}

TEST(MessageBusLibRegistry, TheInstallFolderComesFromTheRegistryElseCommonFiles) {
    class Wow64 final : public Strato::internal::OSInfoProxy {
    public:
        explicit Wow64(bool wow64) : wow64_(wow64) {}
        bool isWow64Process() override { return wow64_; }

    private:
        bool wow64_;
    };
    class Registry final : public RegistryAPI {
    public:
        std::wstring asked;
        std::wstring answer;
        uint32_t getStringValue(const std::wstring& key, const std::wstring& name,
                                std::wstring& value) override {
            asked = key + L"|" + name;
            if (answer.empty()) {
                return 2;
            }
            value = answer;
            return 0;
        }
    };
    class Folders final : public Strato::ShlObjAPI {
    public:
        int32_t SHGetKnownFolderPath(const Strato::Guid&, uint32_t, void*,
                                     std::wstring& path) override {
            path = L"Common";
            return 0;
        }
    };
    testfakes::ScopedRecordingLogger log;
    auto registry = std::make_shared<Registry>();
    registry->answer = L"Installed";
    LibraryDescriptor found = MessageBusLib::loadFromRegistry(
        std::make_shared<Wow64>(true), registry, std::make_shared<Folders>());
    EXPECT_EQ(L"SOFTWARE\\TALMOR\\PELLIX|Install Dir32", registry->asked);
    EXPECT_EQ(L"Conduit.dll", found.name);
    EXPECT_EQ(std::vector<std::wstring>{L"Installed"}, found.folders);

    registry->answer.clear();
    found = MessageBusLib::loadFromRegistry(std::make_shared<Wow64>(false), registry,
                                            std::make_shared<Folders>());
    EXPECT_EQ(L"SOFTWARE\\TALMOR\\PELLIX|Install Dir", registry->asked);
    const std::wstring expected =
        std::wstring(L"Common") + kPathSeparator + L"Talmor" + kPathSeparator + L"Kestrel";
    EXPECT_EQ(std::vector<std::wstring>{expected}, found.folders);
    EXPECT_TRUE(logged(*log, L"Failed to retrieve Pellix path from registry"));
    EXPECT_TRUE(logged(*log, L"Loading MesageBusLib by force from path: " + expected));
}
