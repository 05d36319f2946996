// Linux known folders: each from its own environment variable, and only when
// that folder exists.
#include "platform/ShlObjAPI.h"

#include "fakes/ScratchFolder.h"
#include "platform/KnownFolderIds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

// Sets one environment variable for a scope and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(PosixShlObjAPI, EachFolderFromItsVariable) {
    const struct {
        const char* variable;
        const Strato::Guid& id;
    } cases[] = {
        {"KESTREL_PROFILE", Strato::kFolderIdProfile},
        {"KESTREL_DESKTOP", Strato::kFolderIdDesktop},
        {"KESTREL_DOCUMENTS", Strato::kFolderIdDocuments},
        {"KESTREL_LOCALAPPDATALOW", Strato::kFolderIdLocalAppDataLow},
        {"KESTREL_LOCALAPPDATA", Strato::kFolderIdLocalAppData},
        {"KESTREL_ROAMINGAPPDATA", Strato::kFolderIdRoamingAppData},
        {"KESTREL_PROGRAMDATA", Strato::kFolderIdProgramData},
        {"KESTREL_PROGRAMFILES", Strato::kFolderIdProgramFiles},
        {"KESTREL_PROGRAMFILESX64", Strato::kFolderIdProgramFilesX64},
        {"KESTREL_PROGRAMFILESX86", Strato::kFolderIdProgramFilesX86},
        {"KESTREL_COMMONFILES", Strato::kFolderIdProgramFilesCommon},
        {"KESTREL_COMMONFILESX64", Strato::kFolderIdProgramFilesCommonX64},
        {"KESTREL_COMMONFILESX86", Strato::kFolderIdProgramFilesCommonX86},
    };
    testfakes::ScratchFolder scratch;
    const std::string folder = scratch.path().string();
    Strato::ShlObjAPI shell;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        {
            ScopedVariable set(c.variable, folder);
            std::wstring path;
            EXPECT_EQ(0, shell.SHGetKnownFolderPath(c.id, 0, nullptr, path));
            EXPECT_EQ(testfakes::widePath(scratch.path()), path);
        }
        {
            ScopedVariable set(c.variable, folder + "/missing");
            std::wstring path = L"unchanged";
            EXPECT_GT(0, shell.SHGetKnownFolderPath(c.id, 0, nullptr, path));
            EXPECT_EQ(L"unchanged", path);
        }
    }
}

} // namespace
