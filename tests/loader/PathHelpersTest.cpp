// Path macros over faked system facts, and the App macros over the real
// executable path.
#include "loader/PathHelpers.h"

#include "platform/ExecutablePath.h"
#include "platform/Guid.h"
#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"

#include <kestrel/ModuleStatus.h>

#include <gtest/gtest.h>

#include <map>

namespace {

using Vanta::PathHelpers;

constexpr int32_t kNotFound = static_cast<int32_t>(0x80070002u);

// Answers each folder by the text of its id, so a test sees which id was asked.
class IdEchoShell : public Strato::ShlObjAPI {
public:
    int32_t SHGetKnownFolderPath(const Strato::Guid& id, uint32_t flags, void* token,
                                 std::wstring& path) override {
        if (flags != 0 || token != nullptr || (unresolvable && *unresolvable == id)) {
            return kNotFound;
        }
        path = L"C:\\" + Strato::formatGuid(id);
        return 0;
    }
    const Strato::Guid* unresolvable = nullptr;
};

class FixedOSInfo : public Strato::internal::OSInfoProxy {
public:
    uint32_t getPlatformCode() override { return platformCode; }
    bool isWow64Process() override { return wow64; }
    uint32_t platformCode = 1;
    bool wow64 = false;
};

class StringRegistry : public Vanta::RegistryAPI {
public:
    uint32_t getStringValue(const std::wstring& keyPath, const std::wstring& valueName,
                            std::wstring& value) override {
        const auto found = values.find(valueName);
        if (keyPath != L"SOFTWARE\\TALMOR\\PELLIX" || found == values.end()) {
            return MODULE_STATUS_UNSUCCESSFUL;
        }
        value = found->second;
        return MODULE_STATUS_SUCCESS;
    }
    std::map<std::wstring, std::wstring> values;
};

class PathHelpersTest : public ::testing::Test {
protected:
    std::wstring expand(std::wstring text) {
        PathHelpers helpers(shell, osInfo, registry);
        EXPECT_TRUE(helpers.expandMacros(text));
        return text;
    }

    std::shared_ptr<IdEchoShell> shell = std::make_shared<IdEchoShell>();
    std::shared_ptr<FixedOSInfo> osInfo = std::make_shared<FixedOSInfo>();
    std::shared_ptr<StringRegistry> registry = std::make_shared<StringRegistry>();
};

TEST_F(PathHelpersTest, KnownFoldersByTheirPublishedIds) {
    const struct {
        const wchar_t* macro;
        const wchar_t* id;
    } cases[] = {
        {L"$(FOLDERID_Profile)", L"{5E6C858F-0E22-4760-9AFE-EA3317B67173}"},
        {L"$(FOLDERID_Desktop)", L"{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}"},
        {L"$(FOLDERID_Documents)", L"{FDD39AD0-238F-46AF-ADB4-6C85480369C7}"},
        {L"$(FOLDERID_LocalAppDataLow)", L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}"},
        {L"$(FOLDERID_LocalAppData)", L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}"},
        {L"$(FOLDERID_RoamingAppData)", L"{3EB685DB-65F9-4CF6-A03A-E3EF65729F3D}"},
        {L"$(FOLDERID_ProgramData)", L"{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}"},
        {L"$(FOLDERID_ProgramFiles)", L"{905E63B6-C1BF-494E-B29C-65B732D3D21A}"},
        {L"$(FOLDERID_ProgramFilesX64)", L"{6D809377-6AF0-444B-8957-A3773F02200E}"},
        {L"$(FOLDERID_ProgramFilesX86)", L"{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}"},
        {L"$(FOLDERID_ProgramFilesCommon)", L"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}"},
        {L"$(FOLDERID_ProgramFilesCommonX64)", L"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}"},
        {L"$(FOLDERID_ProgramFilesCommonX86)", L"{DE974D24-D9C6-4D3E-BF91-F4455120B917}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Vanta::toUtf8(c.macro));
        EXPECT_EQ(std::wstring(L"C:\\") + c.id + L"\\Lib",
                  expand(std::wstring(c.macro) + L"\\Lib"));
    }
}

TEST_F(PathHelpersTest, UnresolvableKnownFolderStays) {
    Strato::Guid desktop{};
    ASSERT_TRUE(Strato::parseGuid(L"{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}", desktop));
    shell->unresolvable = &desktop;
    EXPECT_EQ(L"$(FOLDERID_Desktop)\\x;C:\\{FDD39AD0-238F-46AF-ADB4-6C85480369C7}",
              expand(L"$(FOLDERID_Desktop)\\x;$(FOLDERID_Documents)"));
}

TEST_F(PathHelpersTest, PlatformCode) {
    const struct {
        uint32_t code;
        const wchar_t* expanded;
    } cases[] = {
        {0, L"bin\\win32"},
        {1, L"bin\\x64"},
        {2, L"bin\\PlatformUnknown"},
        {7, L"bin\\$(OS.Platform)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        osInfo->platformCode = c.code;
        EXPECT_EQ(c.expanded, expand(L"bin\\$(OS.Platform)"));
    }
}

TEST_F(PathHelpersTest, InstallFolderFollowsWow64) {
    const struct {
        bool wow64;
        std::map<std::wstring, std::wstring> values;
        const wchar_t* expanded;
    } cases[] = {
        {false, {{L"Install Dir", L"D:\\K64"}, {L"Install Dir32", L"D:\\K32"}}, L"D:\\K64"},
        {true, {{L"Install Dir", L"D:\\K64"}, {L"Install Dir32", L"D:\\K32"}}, L"D:\\K32"},
        {true, {{L"Install Dir", L"D:\\K64"}}, L"$(Kestrel.InstallDir)"},
        {false, {{L"Install Dir", L""}}, L"$(Kestrel.InstallDir)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "wow64 " << c.wow64 << ", " << c.values.size());
        osInfo->wow64 = c.wow64;
        registry->values = c.values;
        EXPECT_EQ(c.expanded, expand(L"$(Kestrel.InstallDir)"));
    }
}

TEST_F(PathHelpersTest, LeavesWhatIsNotAMacroWithAValue) {
    const std::wstring appName = expand(L"$(App.Name)");
    ASSERT_NE(L"$(App.Name)", appName);

    const struct {
        const wchar_t* text;
        std::wstring expanded;
    } cases[] = {
        {L"", L""},
        {L"C:\\plain\\folder", L"C:\\plain\\folder"},
        {L"$(Unknown.Macro)", L"$(Unknown.Macro)"},
        {L"$(os.platform)", L"$(os.platform)"},
        {L"$(App.Folder", L"$(App.Folder"},
        {L"$()", L"$()"},
        {L"$(A$(App.Name))", L"$(A" + appName + L")"},
        {L"$(Unknown)$(OS.Platform)$(OS.Platform", L"$(Unknown)x64$(OS.Platform"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Vanta::toUtf8(c.text));
        EXPECT_EQ(c.expanded, expand(c.text));
    }
}

TEST_F(PathHelpersTest, ValuesAreNotScannedAgain) {
    registry->values[L"Install Dir"] = L"$(OS.Platform)\\$(App.Name";
    EXPECT_EQ(L"$(OS.Platform)\\$(App.Name;x64", expand(L"$(Kestrel.InstallDir);$(OS.Platform)"));
}

// The test program's own path, split once, on the default collaborators.
TEST(PathHelpers, AppMacrosSplitTheExecutablePath) {
    const std::wstring path = Vanta::executablePath();
    ASSERT_FALSE(path.empty());
    const std::wstring binary = path.substr(path.rfind(Vanta::kPathSeparator) + 1);
    EXPECT_TRUE(binary == L"glance_tests" || binary == L"glance_tests.exe") << Vanta::toUtf8(path);

    PathHelpers helpers;
    const struct {
        const wchar_t* text;
        std::wstring expanded;
    } cases[] = {
        {L"$(App.Folder)$(App.Binary)", path},
        {L"$(App.Path)", path},
        {L"$(App.Binary)", binary},
        {L"$(App.Name)", L"glance_tests"},
        {L"$(App.Folder)", path.substr(0, path.size() - binary.size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Vanta::toUtf8(c.text));
        std::wstring text = c.text;
        EXPECT_TRUE(helpers.expandMacros(text));
        EXPECT_EQ(c.expanded, text);
    }
}

} // namespace
