// Version information read from a small fixture library built beside the
// tests: a version resource on Windows, the exported table on Linux.
#include "platform/FileVersionInfo.h"
#include "platform/KnownFolderIds.h"
#include "platform/SystemFileVersionInfo.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

namespace {

using Strato::FileVersionInfo;

std::wstring versionString(FileVersionInfo& info, const wchar_t* name) {
    std::wstring value = L"stale";
    info.getString(value, name);
    return value;
}

TEST(FileVersionInfo, TextsComeFromTheFirstTranslationThatHasThem) {
    FileVersionInfo info;
    ASSERT_TRUE(info.load(GLANCE_VERSION_FIXTURE));
    // The commas stay: callers that want dots rewrite the text themselves.
    EXPECT_EQ(L"1, 2, 3, 4", versionString(info, L"FileVersion"));
    EXPECT_EQ(L"1.2.3.4", versionString(info, L"ProductVersion"));
    EXPECT_EQ(L"Nur deutsch", versionString(info, L"Comments"));
    EXPECT_EQ(L"", versionString(info, L"CompanyName"));
}

TEST(FileVersionInfo, SecondLoadAnswersFalseAndKeepsTheFirstFile) {
    FileVersionInfo info;
    ASSERT_TRUE(info.load(GLANCE_VERSION_FIXTURE));
    EXPECT_FALSE(info.load(GLANCE_VERSION_FIXTURE));
    EXPECT_FALSE(info.load(L"NoSuchLibrary.dll"));
    EXPECT_EQ(L"1, 2, 3, 4", versionString(info, L"FileVersion"));
}

TEST(FileVersionInfo, ReadsTheProjectsOwnResourceLibrary) {
    // The build places OrloResources.dll beside the tests; its version comes
    // from the same .rc source on both builds.
    FileVersionInfo info;
    ASSERT_TRUE(info.load(std::wstring(GLANCE_FIXTURE_FOLDER) + GLANCE_FIXTURE_SEPARATOR +
                          L"OrloResources.dll"));
    EXPECT_EQ(L"1.0.0.1", versionString(info, L"FileVersion"));
    EXPECT_EQ(L"OrloResources.dll", versionString(info, L"OriginalFilename"));
    EXPECT_EQ(L"Glance", versionString(info, L"ProductName"));
}

TEST(FileVersionInfo, FileWithoutVersionInformationGivesEmptyTexts) {
    FileVersionInfo missing;
    EXPECT_FALSE(missing.load(L"NoSuchLibrary.dll"));
    EXPECT_EQ(L"", versionString(missing, L"FileVersion"));
    // A loadable library without version information.
    FileVersionInfo unversioned;
    EXPECT_FALSE(unversioned.load(GLANCE_UNVERSIONED_FIXTURE));
}

// A shell whose system folder is the fixture's folder.
class FixtureFolderShell : public Strato::ShlObjAPI {
public:
    int32_t SHGetKnownFolderPath(const Strato::Guid& id, uint32_t, void*,
                                 std::wstring& path) override {
        ++lookups;
        if (id != Strato::kFolderIdSystem) {
            return -1;
        }
        path = GLANCE_FIXTURE_FOLDER;
        return 0;
    }
    int lookups = 0;
};

TEST(SystemFileVersionInfo, LoadsFromTheSystemFolderLookedUpOnce) {
    auto shell = std::make_shared<FixtureFolderShell>();
    Strato::SystemFileVersionInfo info(shell);
    EXPECT_FALSE(info.load(L"NoSuchLibrary.dll"));
    ASSERT_TRUE(info.load(L"VersionFixture.dll"));
    EXPECT_EQ(L"1.2.3.4", versionString(info, L"ProductVersion"));
    EXPECT_EQ(1, shell->lookups);
}

} // namespace
