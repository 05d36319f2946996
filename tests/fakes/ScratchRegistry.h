// Points the registry at a scratch store for the test process (Linux reads
// KESTREL_REGISTRY; Windows ignores it and uses the prefix's registry), and
// gives each test a scratch key that is deleted with its whole tree after.
#pragma once

#include "platform/CRegKey.h"
#include "platform/ProcessAPI.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testfakes {

// The store lives for the process and is removed when it ends.
inline void useScratchRegistry() {
    struct Store {
        std::string path;
        std::string assignment;
        Store() {
            std::random_device random;
            const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            path = (std::filesystem::temp_directory_path() /
                    ("glance-registry-" + std::to_string(random()) + "-" + std::to_string(stamp) +
                     ".db"))
                       .string();
            assignment = "KESTREL_REGISTRY=" + path;
            putenv(assignment.data());
        }
        ~Store() {
            std::error_code ignored;
            for (const char* suffix : {"", "-wal", "-shm"}) {
                std::filesystem::remove(path + suffix, ignored);
            }
        }
    };
    static Store store;
}

inline constexpr const wchar_t* kScratchParent = L"Software";

// A key name that no other run uses: on Windows every run of the tests shares
// the prefix's registry, and a run that was stopped half-way leaves its key.
inline const std::wstring& scratchName() {
    static const std::wstring name = [] {
        std::random_device random;
        return L"GlanceTest-" + std::to_wstring(Vanta::ProcessAPI().GetCurrentProcessId()) + L"-" +
               std::to_wstring(random());
    }();
    return name;
}

// "Software\<scratch name>", under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
inline std::wstring scratchPath() {
    return std::wstring(kScratchParent) + L"\\" + scratchName();
}

inline void removeScratchKey(Strato::RegKeyHandle root) {
    Strato::CRegKey parent;
    if (parent.Open(root, kScratchParent) == Strato::kErrorSuccess) {
        parent.RecurseDeleteKey(scratchName().c_str());
    }
}

// A fixture whose `key` is HKEY_CURRENT_USER\Software\<scratch name>, created
// empty for each test; the same key under HKEY_LOCAL_MACHINE is removed after
// each test too.
class ScratchKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        useScratchRegistry();
        ASSERT_EQ(Strato::kErrorSuccess,
                  key.Create(Strato::kHKeyCurrentUser, scratchPath().c_str()));
    }
    void TearDown() override {
        key.Close();
        removeScratchKey(Strato::kHKeyCurrentUser);
        removeScratchKey(Strato::kHKeyLocalMachine);
    }

    Strato::CRegKey key;
};

} // namespace testfakes
